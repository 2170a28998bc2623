#!/usr/bin/env bash
# Runs every fuzz target in the given folder for a bounded time on its seed
# corpus; fails on the first finding.
set -euo pipefail
bin=$(cd "${1:?usage: run_fuzzers.sh BIN_DIR [SECONDS]}" && pwd)
seconds=${2:-20}
root=$(cd "$(dirname "$0")/.." && pwd)
shopt -s nullglob
targets=("$bin"/fuzz_*)
if [ ${#targets[@]} -eq 0 ]; then
  echo "no fuzz targets in $bin" >&2
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for target in "${targets[@]}"; do
  name=$(basename "$target")
  seeds="$root/fuzz/corpus/${name#fuzz_}"
  corpus="$work/$name"
  mkdir -p "$corpus"
  [ -d "$seeds" ] && cp -r "$seeds"/. "$corpus"/
  # The files of faults found before seed the search too.
  regressions="$root/fuzz/regressions/${name#fuzz_}"
  [ -d "$regressions" ] && cp -r "$regressions"/. "$corpus"/
  echo "-- $name (${seconds}s)"
  if ! (cd "$work" && "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
          -print_final_stats=0 "$corpus" > "$work/$name.log" 2>&1); then
    tail -n 60 "$work/$name.log" >&2
    echo "fuzz target $name found a fault" >&2
    exit 1
  fi
  grep -E '^(#[0-9]+ *DONE|Done [0-9]+ runs)' "$work/$name.log" | tail -n 1 || true
done
echo "fuzzing: ${#targets[@]} targets ran clean"
