#!/usr/bin/env bash
# The real program in demo mode plays a steps file: it resizes its window, waits, writes a
# snapshot of the page at the new size and quits with status 0.
set -euo pipefail
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat >"$work/steps" <<STEPS
size 1280 800
wait 1
js document.body.dataset.e2e = 'yes'
shot $work/page.png
  
unknown step
quit
STEPS

status=0
TALVEN_SUITE_STEPS="$work/steps" timeout 90 "$program" --demo || status=$?
[ "$status" -eq 0 ] || { echo "program exited with $status"; exit 1; }
[ -s "$work/page.png" ] || { echo "no snapshot written"; exit 1; }

python3 - "$work/page.png" <<'PY'
import struct, sys
data = open(sys.argv[1], 'rb').read()
assert data[:8] == b'\x89PNG\r\n\x1a\n', 'not a PNG'
width, height = struct.unpack('>II', data[16:24])
assert (width, height) == (1280, 800), f'snapshot is {width}x{height}, not 1280x800'
print(f'snapshot {width}x{height}, {len(data)} bytes')
PY

# Without demo mode the steps are never read: the program stays up until it is stopped.
status=0
TALVEN_SUITE_STEPS="$work/steps" timeout 8 "$program" >/dev/null 2>&1 || status=$?
[ "$status" -eq 124 ] || { echo "normal start ended by itself ($status)"; exit 1; }
echo "ok"
