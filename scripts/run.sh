#!/usr/bin/env bash
# Sets up, builds and starts Quorvel. Arguments are CMake options.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh "$@"
exec build/quorvel
