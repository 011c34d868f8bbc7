#!/usr/bin/env bash
# A notification answered after the program has ended: the desktop calls the application's action
# on the bus, D-Bus starts the real program through the packaged service file (here pointed at
# the build tree, on a private bus of this test's own), and the answer acts: "Update" brings the
# program up with its window, "Later" starts nothing and the program ends by itself.
set -euo pipefail
program=$(realpath "$1")
source=$(cd "$(dirname "$0")/../.." && pwd)
. "$source/tests/e2e/windows.bash"
id=com.brenlow.talven.suite
work=$(mktemp -d)
bus=""
pid=""
trap 'kill $pid $bus 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
within() {  # within SECONDS COMMAND...: whether COMMAND succeeds before the time is up
  local end=$((SECONDS + $1)); shift
  until "$@"; do [ "$SECONDS" -lt "$end" ] || return 1; sleep 0.2; done
}

mkdir -p "$work/data/dbus-1/services"
sed -e "s|@SUITE_APP_ID@|$id|" -e "s|@SUITE_EXEC@|\"$program\"|" \
  "$source/packaging/talven-suite.service.in" >"$work/data/dbus-1/services/$id.service"
env -u DBUS_SESSION_BUS_ADDRESS XDG_DATA_DIRS="$work/data:/usr/local/share:/usr/share" \
  dbus-daemon --session --nofork --print-address=1 >"$work/address" 2>"$work/bus.log" &
bus=$!
within 20 test -s "$work/address" || fail "no private bus: $(cat "$work/bus.log")"
export DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/address")

bus() { timeout 60 gdbus call --session --timeout 50 "$@"; }
answer() {
  bus --dest "$id" --object-path /com/brenlow/talven/suite \
    --method org.freedesktop.Application.ActivateAction notification-answer "[<'$1'>]" '{}' >/dev/null
}
owner() {
  bus --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.GetConnectionUnixProcessID "$id" 2>/dev/null | sed 's/.* \([0-9]*\),.*/\1/'
}
# GDK's own window carries the application's name from the start, under the program's class.
named() { xwininfo -root -tree | grep -qF "\"TALVEN™ Suite\": (\"$id\""; }
ended() { ! kill -0 "$pid" 2>/dev/null; }

answer later || fail "\"Later\" did not reach a program started for it"
pid=$(owner)
[ "$(readlink "/proc/$pid/exe")" = "$program" ] || fail "the bus name is not the program's: $pid"
named || fail "the program does not go by its name: $(xwininfo -root -tree | grep "$id")"
within 3 shown_window && fail "a window for \"Later\""
within 30 ended || fail "the program started for \"Later\" did not end by itself"

answer update || fail "\"Update\" did not reach a program started for it"
pid=$(owner)
[ "$(readlink "/proc/$pid/exe")" = "$program" ] || fail "the bus name is not the program's: $pid"
within 60 shown_window || fail "no window for \"Update\""
kill -TERM "$pid"
within 30 ended || fail "the program did not end on SIGTERM"
echo ok
