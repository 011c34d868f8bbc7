#!/usr/bin/env bash
# The program as a command: --version answers and ends, an unknown option is one line on standard
# error and status 2 (what each option means is the unit tests'); and a running program asked to
# end with SIGTERM keeps its window size, as Quit does.
set -euo pipefail
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

version=$(timeout 20 "$program" --version) || fail "--version ended with $?"
[[ "$version" =~ ^TALVEN™\ Suite\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "version: $version"

status=0
timeout 20 "$program" --bogus --help >"$work/out" 2>"$work/err" || status=$?
[ "$status" = 2 ] || fail "--bogus ended with $status"
[ ! -s "$work/out" ] || fail "--bogus wrote to standard output: $(cat "$work/out")"
[ "$(wc -l <"$work/err")" = 1 ] && grep -q -- '"--bogus"' "$work/err" || fail "--bogus said: $(cat "$work/err")"

# A normal start (the vendor is out of reach here; that does not matter), ended by SIGTERM once it
# is on the session bus and its window is up.
frame="$XDG_STATE_HOME/TALVEN Suite/window.json"
"$program" >"$work/program.log" 2>&1 &
pid=$!
owned() {
  gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.NameHasOwner com.brenlow.talven.suite 2>/dev/null | grep -q true
}
for _ in $(seq 300); do owned && break; sleep 0.1; done
owned || { kill "$pid"; fail "the program never took its bus name: $(cat "$work/program.log")"; }
sleep 2
[ ! -e "$frame" ] || fail "the window size was written before the end"
kill -TERM "$pid"
status=0
timeout 30 tail --pid="$pid" -f /dev/null || fail "the program did not end on SIGTERM"
wait "$pid" || status=$?
[ "$status" = 0 ] || fail "SIGTERM ended the program with status $status: $(tail -n 20 "$work/program.log")"
grep -q '"width"' "$frame" || fail "no window size after SIGTERM"
echo ok
