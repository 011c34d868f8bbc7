#!/usr/bin/env bash
# Builds TALVEN Suite from scratch if needed and runs every test: unit, host, page and
# whole-program tests (the latter under a virtual display when there is no screen).
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
cmake --preset default
cmake --build --preset default
ctest --preset default "$@"
