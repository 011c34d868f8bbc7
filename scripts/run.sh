#!/usr/bin/env bash
# Builds and starts TALVEN Suite. With a screen, the program opens as usual (extra arguments are
# passed on, e.g. --demo). Without one, it plays the showcase in demo mode under a virtual
# display and writes its screenshots to shots/, printing their paths.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh >/dev/null
cmake --preset default >/dev/null
cmake --build --preset default --target talven-suite

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec ./build/talven-suite "$@"
fi

rm -rf shots && mkdir -p shots
echo "No display: playing the showcase under Xvfb..."
timeout 300 ./tests/with-display.sh \
  env TALVEN_SUITE_STEPS="$PWD/tools/showcase.steps" ./build/talven-suite --demo \
  >shots/showcase.log 2>&1 || {
  echo "The showcase did not finish; see shots/showcase.log" >&2
  exit 1
}
shots=(shots/*.png)
if [ ! -e "${shots[0]}" ]; then
  echo "The showcase wrote no screenshots; see shots/showcase.log" >&2
  exit 1
fi
for shot in "${shots[@]}"; do echo "$PWD/$shot"; done
