#!/usr/bin/env bash
# The checks that hunt for memory and undefined-behaviour faults: every test again, built with
# AddressSanitizer and UndefinedBehaviorSanitizer (the asan preset), then each fuzz target for a
# short run (tools/fuzz; pass another number of seconds to run them longer).
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
cmake --preset asan
cmake --build --preset asan
ctest --preset asan
tools/fuzz "${1:-20}"
