#!/usr/bin/env bash
# Sets up, builds and runs every test, then the fuzz target for about a minute.
# Arguments are CMake options for both builds, for example -DQUORVEL_WERROR=ON.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh "$@"
ctest --test-dir build --output-on-failure -j "$(nproc)"
fuzz/run.sh "${QUORVEL_FUZZ_SECONDS:-60}" "$@"
