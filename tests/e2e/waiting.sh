#!/usr/bin/env bash
# Hidden with nothing to do, the real program makes way for the small waiting program in the same
# process: its web engine's processes end, and the waiting program holds the bus name. A second
# start makes it the program again, window and all. On its own, the waiting program starts the
# program hidden at the wake time and for a notification's "Update", and stays for "Later".
set -euo pipefail
program=$(realpath "$1")
waiter="$(dirname "$program")/talven-suite-wait"
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
. "$(dirname "$0")/windows.bash"
within() {  # within SECONDS COMMAND...: whether COMMAND succeeds before the time is up
  local end=$((SECONDS + $1)); shift
  until "$@"; do [ "$SECONDS" -lt "$end" ] || return 1; sleep 0.2; done
}
runs() { [ "$(readlink "/proc/$1/exe")" = "$2" ]; }
owned() {
  gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.NameHasOwner com.brenlow.talven.suite 2>/dev/null | grep -q true
}
answer() {
  gdbus call --session --dest com.brenlow.talven.suite --object-path /com/brenlow/talven/suite \
    --method org.freedesktop.Application.ActivateAction notification-answer "[<'$1'>]" '{}' >/dev/null
}

# The real program, started as at login; its check fails at once (the vendor is out of reach).
"$program" --background >"$work/program.log" 2>&1 &
pid=$!
pids+=("$pid")
within 120 runs "$pid" "$waiter" || fail "never made way: $(tail -n 20 "$work/program.log")"
within 20 eval '[ -z "$(pgrep -P "$pid")" ]' || fail "children left: $(pgrep -a -P "$pid")"
owned || fail "the waiting program does not hold the bus name"
"$program" >"$work/second.log" 2>&1
within 30 runs "$pid" "$program" || fail "a second start did not bring the program back"
within 60 shown_window || fail "no window after the second start: $(tail -n 20 "$work/program.log")"
kill -TERM "$pid"
within 30 eval '! kill -0 "$pid" 2>/dev/null' || fail "the program did not end on SIGTERM"

# The waiting program alone, with a stand-in for the program that writes down how it was started.
fake="$work/program"
printf '#!/bin/sh\necho "$$ $*" >>"%s/started"\n' "$work" >"$fake"
chmod +x "$fake"
started() { [ -s "$work/started" ]; }
"$waiter" --program "$fake" --wake-at "$(($(date +%s%3N) + 2000))" &
pids+=($!)
within 1 started && fail "started before the wake time"
within 20 started || fail "not started at the wake time"
[ "$(cat "$work/started")" = "$! --background" ] || fail "woken as: $(cat "$work/started")"
rm "$work/started"
"$waiter" --program "$fake" &
pids+=($!)
within 20 owned || fail "the waiting program did not take the bus name"
answer later
within 2 started && fail "started for \"Later\": $(cat "$work/started")"
answer update
within 20 started || fail "not started for \"Update\""
[ "$(cat "$work/started")" = "$! --notification-answer=update" ] || fail "$(cat "$work/started")"
echo ok
