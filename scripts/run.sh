#!/usr/bin/env bash
# Sets up, builds and starts Quorvel.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
sample=tests/fixtures/cbr128.mp3
build/quorvel-cli info "$sample"
