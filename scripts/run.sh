#!/usr/bin/env bash
# Builds halvane and starts it with the default picture.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j2
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting halvane on a virtual X server (xvfb-run); it is not visible." >&2
  exec xvfb-run -a -s "-screen 0 1280x1024x24" ./build/bin/halvane
fi
exec ./build/bin/halvane
