#!/usr/bin/env bash
# Runs one test of a test binary as the unprivileged user nobody, for tests
# of folder permissions, which do not bind the superuser. Needs root to
# change user; run by anyone else it reports a skip (77), since their own
# run of the test is already unprivileged. The binary and the sanitizer
# suppressions are copied to a fresh folder under /tmp: the build folder may
# lie where nobody cannot reach (under /root, say).
# usage: run_unprivileged.sh BINARY TEST_NAME
set -euo pipefail
binary=$1
test=$2
if [ "$(id -u)" -ne 0 ]; then
  echo "not root: this run is for the superuser only"
  exit 77
fi

place=$(mktemp -d /tmp/halvane-unprivileged.XXXXXX)
trap 'rm -rf "$place"' EXIT
chmod 755 "$place"
install -m 755 "$binary" "$place/test"
mkdir "$place/tmp"
chown nobody:"$(id -g nobody)" "$place/tmp"
if [[ "${LSAN_OPTIONS:-}" =~ (^|:)suppressions=([^:]*) ]]; then
  suppressions=${BASH_REMATCH[2]}
  install -m 644 "$suppressions" "$place/lsan.supp"
  export LSAN_OPTIONS=${LSAN_OPTIONS/suppressions=$suppressions/suppressions=$place/lsan.supp}
fi

status=0
output=$(cd "$place/tmp" && TMPDIR="$place/tmp" setpriv --reuid=nobody --regid="$(id -g nobody)" \
  --clear-groups "$place/test" --gtest_filter="$test" 2>&1) || status=$?
echo "$output"
# A skipped test exits with 0 too: require that it ran and passed.
if [ "$status" -ne 0 ] || ! grep -qF "[       OK ] $test" <<<"$output"; then
  echo "$test did not run and pass as nobody (exit status $status)"
  exit 1
fi
