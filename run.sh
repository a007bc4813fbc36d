#!/usr/bin/env bash
# Builds Setup and starts it against the simulated card.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build
LD_LIBRARY_PATH="$PWD/build/driver/sim${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" exec build/app/setup
