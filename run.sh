#!/usr/bin/env bash
# Builds Setup and starts it against the simulated card, with the virtual
# bench beside it to turn the card's pots and wire its pins.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
# Without the tests on a first build; a tree the test command configured
# keeps its tests (and stays in step with its sources).
testing=()
[ -f build/CMakeCache.txt ] || testing=(-DBUILD_TESTING=OFF)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr "${testing[@]}" >/dev/null
cmake --build build

# The shared card's name is not guessable, so no other user can prepare it.
export TRVWDM_SIM_SHM="/rz4070-bench-$(id -u)-$(od -An -N8 -tx1 /dev/urandom | tr -d ' \n')"
export LD_LIBRARY_PATH="$PWD/build/driver/sim${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
build/bench/rz4070-bench &
bench=$!
# Closing Setup closes the bench and removes the shared card.
trap 'kill $bench 2>/dev/null || true; wait $bench 2>/dev/null || true; rm -f "/dev/shm${TRVWDM_SIM_SHM}"' EXIT
build/app/rz4070-setup
