#!/usr/bin/env bash
# The installed program as a Debian user meets it: `cmake --install` to /usr, started normally
# (not the showcase), with the vendor's host names leading to the local vendor service on port
# 443 of a private network and its certificate trusted by the system, and pkexec answering as
# root. Older versions of three products are installed; a notification's "Update" answer, sent
# over D-Bus as the desktop sends it, updates all three: two install, the third's wrong digest is
# refused. Runs inside tests/sandbox.sh (and a display from tests/with-display.sh), which keep
# every change from outliving the test.
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)

if [ "${SUITE_IN_SANDBOX:-}" != 1 ]; then
  echo "skipped: installs packages; run inside tests/sandbox.sh as root"
  exit 0
fi
if [ "${SUITE_PRIVATE_NETWORK:-}" != 1 ]; then
  SUITE_PRIVATE_NETWORK=1 exec unshare -n "$0" "$@"
fi
ip link set lo up

work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  [ -f "$work/program.log" ] && tail -n 40 "$work/program.log" >&2
  exit 1
}
waitFor() {  # seconds, then a command that must come true
  local seconds=$1; shift
  for _ in $(seq $((seconds * 10))); do "$@" && return 0; sleep 0.1; done
  return 1
}
status() { dpkg-query -W -f '${Status} ${Version}' "$1" 2>/dev/null || true; }

cmake --install "$build" --prefix /usr >"$work/install.log"

# Older versions of three products, as a user would have them.
olderDeb() {  # name version
  local root="$work/$1-root"
  mkdir -p "$root/DEBIAN" "$root/opt/talven/$1"
  echo "$2" >"$root/opt/talven/$1/VERSION"
  printf 'Package: %s\nVersion: %s\nArchitecture: all\nMaintainer: Tests <tests@brenlow.example>\nDescription: an older version\n' \
    "$1" "$2" >"$root/DEBIAN/control"
  dpkg-deb --build --root-owner-group -Zgzip "$root" "$work/$1.deb" >/dev/null
  dpkg -i "$work/$1.deb" >/dev/null
}
olderDeb talven-presenter 4.1.0
olderDeb talven-addin-poll 1.2.0
olderDeb talven-addin-charts 2.0.0

# The vendor, where the program looks for it.
"$source_dir/tools/vendor-server/vendor-server" --dir "$work/vendor" --port 443 --large-mib 1 \
  </dev/null >"$work/vendor.json" 2>"$work/vendor.err" &
pids+=($!)
waitFor 60 test -s "$work/vendor.json" || fail "the vendor service did not start: $(cat "$work/vendor.err")"
cat "$work/vendor/ca.pem" >>/etc/ssl/certs/ca-certificates.crt
echo "127.0.0.1 brenlow.example downloads.brenlow.example mirror.brenlow.example" >>/etc/hosts

folder="TALVEN Suite"
settings="$XDG_CONFIG_HOME/$folder/settings.json"
log="$XDG_STATE_HOME/$folder/install.log"
downloads="$XDG_CACHE_HOME/$folder/downloads"
/usr/bin/talven-suite >"$work/program.log" 2>&1 &
program=$!
pids+=($program)
# A check that found the catalog and scanned the machine leaves its time in the settings.
checked() { grep -q '"lastCheck"' "$settings" 2>/dev/null; }
waitFor 60 checked || fail "no successful check: $(cat "$work/program.log")"

answer() {  # what the user clicks on the notification, or a menu command
  gdbus call --session --dest com.brenlow.talven.suite --object-path /com/brenlow/talven/suite \
    --method org.gtk.Actions.Activate "$@" >/dev/null
}
answer notification-answer "[<'update'>]" '{}'
installed() {
  kill -0 "$program" 2>/dev/null || fail "the program ended"
  [ "$(status talven-presenter)" = "install ok installed 4.2.0" ] &&
    [ "$(status talven-addin-poll)" = "install ok installed 1.4.0" ] && grep -q ' installer: ' "$log"
}
waitFor 240 installed || fail "not installed: presenter '$(status talven-presenter)', poll '$(status talven-addin-poll)'"
[ "$(status talven-addin-charts)" = "install ok installed 2.0.0" ] || fail "charts: $(status talven-addin-charts)"
[ "$(grep -c ' installer: ' "$log")" = 1 ] || fail "more than one privileged run: $(cat "$log")"
grep -q 'installer: out="HELPER:1\\nOK:0\\nOK:1\\n"' "$log" || fail "unexpected run: $(cat "$log")"
empty() { [ -z "$(ls -A "$downloads")" ]; }
waitFor 10 empty || fail "downloads left: $(ls "$downloads")"

# A new check sees both at their versions: answering "Update" again finds only the refused one
# to retry, which never reaches the administrator.
before=$(cat "$settings")
answer check-now '[]' '{}'
changed() { [ "$(cat "$settings")" != "$before" ]; }
waitFor 60 changed || fail "no second check"
answer notification-answer "[<'update'>]" '{}'
sleep 5
[ "$(grep -c ' installer: ' "$log")" = 1 ] || fail "installed again: $(cat "$log")"
echo "ok: presenter $(status talven-presenter), poll $(status talven-addin-poll), charts refused"
