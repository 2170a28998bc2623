#!/usr/bin/env bash
# Installs what halvane needs on Debian 12: to build and run it, and with
# --test also what the tests use. Safe to repeat: nothing is downloaded when
# every package is already there.
set -euo pipefail

# Building and running halvane and halvane-render (help2man makes their
# manual pages from --help).
packages=(
  build-essential
  cmake
  ninja-build
  pkg-config
  git
  qt6-base-dev
  libgl-dev
  libjpeg62-turbo-dev
  libpng-dev
  libtiff-dev
  zlib1g-dev
  libgmp-dev
  libmpfr-dev
  libmpfrc++-dev
  ffmpeg
  help2man
)

# The tests: sanitizers and fuzzers, a virtual X server and its tools, the
# programs whose files halvane must read and whose checks its files must
# pass, and the job runners of the many-machine recipes.
test_packages=(
  clang-14
  libclang-rt-14-dev
  libgtest-dev
  libgmock-dev
  locales
  fonts-dejavu-core
  xvfb
  xauth
  x11-utils
  xdotool
  xclip
  imagemagick
  netpbm
  python3-pil
  libimage-exiftool-perl
  parallel
  rsync
  openssh-server
  openssh-client
  desktop-file-utils
  appstream
  shared-mime-info
  xdg-utils
  libglib2.0-bin
  libfile-mimeinfo-perl
  man-db
  bash-completion
)

with_tests=0
[ "${1:-}" = "--test" ] && with_tests=1
[ "$with_tests" -eq 1 ] && packages+=("${test_packages[@]}")

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  as_root apt-get update -qq
  # Services that packages bring (sshd) are started by the tests that need
  # them, on their own ports, never at install time.
  as_root env DEBIAN_FRONTEND=noninteractive RUNLEVEL=1 \
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The parameter-file tests write and read numbers under a comma-decimal locale.
if [ "$with_tests" -eq 1 ] && ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  as_root sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
  as_root locale-gen >/dev/null
fi
