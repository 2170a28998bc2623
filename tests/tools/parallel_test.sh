#!/usr/bin/env bash
# The many-machine recipe for real: scripts/halvane-parallel.sh spreads the
# tiles of a picture and the parts of films over GNU parallel's job slots on
# this machine, then over ssh to an sshd this test starts on the loopback
# address (its own host key, key and port, in a temporary folder; as root in
# a mount namespace of its own, where /run/sshd can be made without touching
# the machine). The joined picture and films must equal those made in one run.
# usage: parallel_test.sh HALVANE_RENDER SCRIPTS_FOLDER
set -euo pipefail
render=$1
scripts=$2
export HALVANE_RENDER=$render

place=$(mktemp -d /tmp/halvane-parallel-test.XXXXXX)
sshd_pid=""
cleanup() {
  if [ -n "$sshd_pid" ]; then
    ssh -F "$place/ssh/config" -O exit halvane-test-host 2>/dev/null || true
    kill "$sshd_pid" 2>/dev/null || true
  fi
  rm -rf "$place"
}
trap cleanup EXIT
cd "$place"
export PARALLEL_HOME=$place/parallel-home
mkdir -p "$PARALLEL_HOME"

fail() { echo "FAILED: $*"; exit 1; }
frames_of() { ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 "$1"; }
# The decoded frames' checksums: a lossless film (--crf 0) decodes to the same
# frames however it was cut into parts.
decoded() { ffmpeg -v error -i "$1" -f framemd5 - | grep -v '^#' | cut -d, -f6; }

# The settings, a picture, and a film of keys made in one run.
"$render" --size 64x48 --formula 0 --rotation 0 --center -0.6,0.2 --maxit 60 --julia -0.7,0.3 --quiet \
  --output key0.png --write-params p.vtx
"$render" --size 64x48 --formula 0 --rotation 0 --center -0.74,0.13 --magnification 20 --maxit 200 --quiet \
  --output key1.png
mkdir keys
cp key0.png key1.png keys/
printf '0 key0.png\n5 key1.png\n' > keys/film.txt
"$render" --params p.vtx --supersample 2 --quiet --output whole.tif
"$render" --keyframes keys/film.txt --crf 0 --quiet --video one.mp4
[ "$(frames_of one.mp4)" = 6 ] || fail "the one-run film has $(frames_of one.mp4) frames, not 6"

check_results() {  # label
  cmp -s whole.tif tiles.tif || fail "$1: the joined tiles differ from the picture made in one run"
  [ "$(frames_of parts.mp4)" = 6 ] || fail "$1: the joined film has $(frames_of parts.mp4) frames, not 6"
  [ "$(decoded parts.mp4)" = "$(decoded one.mp4)" ] || fail "$1: the joined film's frames differ from one run's"
  ls -A | grep -q '^\.halvane-parts' && fail "$1: the parts folder was left behind"
  rm tiles.tif parts.mp4
  echo "$1: the joined picture and film equal those made in one run"
}

# Several job slots on this machine.
"$scripts/halvane-parallel.sh" --jobs 3 --render "$render" tiles 3 tiles.tif -- --params p.vtx --supersample 2
"$scripts/halvane-parallel.sh" --jobs 3 --render "$render" frames 3 parts.mp4 -- --keyframes keys/film.txt --crf 0
check_results "local job slots"

# An ssh host on the loopback address.
start_sshd() {
  command -v sshd >/dev/null || PATH=$PATH:/usr/sbin
  command -v sshd >/dev/null || { echo "no sshd"; return 1; }
  mkdir ssh
  ssh-keygen -q -t ed25519 -N '' -f ssh/host_key
  ssh-keygen -q -t ed25519 -N '' -f ssh/user_key
  cp ssh/user_key.pub ssh/authorized_keys
  chmod 600 ssh/authorized_keys
  local port
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  mkdir remote-home remote-work
  cat > ssh/sshd_config <<EOF
Port $port
ListenAddress 127.0.0.1
HostKey $place/ssh/host_key
AuthorizedKeysFile $place/ssh/authorized_keys
PidFile $place/ssh/sshd.pid
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
StrictModes no
PermitRootLogin prohibit-password
# The sessions work in a home of their own, away from this folder.
SetEnv HOME=$place/remote-home
EOF
  cat > ssh/config <<EOF
Host halvane-test-host
  HostName 127.0.0.1
  Port $port
  User $(id -un)
  IdentityFile $place/ssh/user_key
  StrictHostKeyChecking no
  UserKnownHostsFile /dev/null
  BatchMode yes
  LogLevel ERROR
  ControlMaster auto
  ControlPath $place/ssh/control-%C
  ControlPersist 30
EOF
  local sshd
  sshd=$(command -v sshd)
  if [ "$(id -u)" -eq 0 ]; then
    unshare --mount --propagation private sh -c \
      'mount -t tmpfs -o size=1m,mode=755 halvane-test /run && mkdir -m 755 /run/sshd && exec "$0" -f "$1" -E "$2"' \
      "$sshd" "$place/ssh/sshd_config" "$place/ssh/log" || return 1
  else
    "$sshd" -f "$place/ssh/sshd_config" -E "$place/ssh/log" || return 1
  fi
  for _ in $(seq 50); do [ -s ssh/sshd.pid ] && break; sleep 0.1; done
  sshd_pid=$(cat ssh/sshd.pid 2>/dev/null) || return 1
  export PARALLEL_SSH="ssh -F $place/ssh/config"
  $PARALLEL_SSH halvane-test-host true || { cat ssh/log; return 1; }
}

if start_sshd; then
  echo "2/halvane-test-host" > hosts.txt
  # Away from this folder: the host is this machine.
  remote=(--sshloginfile hosts.txt --render "$render" --workdir "$place/remote-work")
  "$scripts/halvane-parallel.sh" "${remote[@]}" --file p.vtx tiles 2 tiles.tif -- --params p.vtx --supersample 2
  "$scripts/halvane-parallel.sh" "${remote[@]}" --file keys/film.txt --file keys/key0.png --file keys/key1.png \
    frames 2 parts.mp4 -- --keyframes keys/film.txt --crf 0
  check_results "an ssh host"
  # The jobs ran there, and GNU parallel took away what they left.
  grep -q "Accepted publickey" ssh/log || fail "no job came in through ssh"
  [ -z "$(find remote-work -type f 2>/dev/null)" ] || fail "files were left on the ssh host"
else
  echo "ssh host skipped: no sshd could be started on the loopback address"
fi
echo "PASSED"
