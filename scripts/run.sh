#!/usr/bin/env bash
# Builds halvane and starts it with the default picture.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j2
exec ./build/bin/halvane
