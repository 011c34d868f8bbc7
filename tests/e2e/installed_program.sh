#!/usr/bin/env bash
# `cmake --install` into a fresh prefix (with a blank in its path) gives a program that runs from
# there and serves its page from the installed web folder, with a valid desktop entry and icon.
# The page is drawn by a steps file in demo mode: the real window takes the size step, runs the
# script step and writes the snapshot at that size before it quits with status 0.
set -euo pipefail
program=$1
build=$(dirname "$program")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/a prefix"

cmake --install "$build" --prefix "$prefix" >"$work/install.log"
entry="$prefix/share/applications/com.brenlow.talven.suite.desktop"
desktop-file-validate "$entry"
grep -qxF "Exec=\"$prefix/bin/talven-suite\"" "$entry" || { echo "Exec does not name the installed program"; cat "$entry"; exit 1; }
grep -qxF "Icon=com.brenlow.talven.suite" "$entry"
grep -qxF "StartupWMClass=com.brenlow.talven.suite" "$entry"
# The desktop starts it through D-Bus, by the service file that names the installed program.
grep -qxF "DBusActivatable=true" "$entry"
grep -qxF "Exec=\"$prefix/bin/talven-suite\" --gapplication-service" \
  "$prefix/share/dbus-1/services/com.brenlow.talven.suite.service"
[ -s "$prefix/share/icons/hicolor/scalable/apps/com.brenlow.talven.suite.svg" ]
pngSize() { od -An -tu1 -j16 -N8 "$1" | awk '{print $3*256+$4 "x" $7*256+$8}'; }
# Drawn icons at every size a dock or menu asks for, each really that size.
for size in 16 24 32 48 64 128 256 512; do
  icon="$prefix/share/icons/hicolor/${size}x${size}/apps/com.brenlow.talven.suite.png"
  [ "$(pngSize "$icon")" = "${size}x${size}" ] ||
    { echo "icon $icon is not ${size}x${size}"; exit 1; }
done
appstreamcli validate --no-net "$prefix/share/metainfo/com.brenlow.talven.suite.metainfo.xml"
grep -q '<launchable type="desktop-id">com.brenlow.talven.suite.desktop</launchable>' \
  "$prefix/share/metainfo/com.brenlow.talven.suite.metainfo.xml"
zgrep -q '^\.SH OPTIONS' "$prefix/share/man/man1/talven-suite.1.gz"
# The install helper and the waiting program, and the polkit action that names the helper where
# this install put it.
helper="$prefix/libexec/talven-suite/install-helper"
[ -x "$helper" ] || { echo "no install helper at $helper"; exit 1; }
[ -x "$prefix/libexec/talven-suite/wait" ] || { echo "no waiting program beside the helper"; exit 1; }
[ -x "$prefix/libexec/talven-suite/restore-helper" ] || { echo "no restore helper beside the helper"; exit 1; }
python3 - "$prefix/share/polkit-1/actions/com.brenlow.talven.suite.policy" "$helper" <<'PY'
import sys, xml.etree.ElementTree as tree
actions = {a.get("id"): a for a in tree.parse(sys.argv[1]).getroot().findall("action")}
path = lambda a: a.find("annotate[@key='org.freedesktop.policykit.exec.path']").text
assert path(actions["com.brenlow.talven.suite.install"]) == sys.argv[2]
restore = actions["com.brenlow.talven.suite.restore"]
assert path(restore) == sys.argv[2].replace("install-helper", "restore-helper"), path(restore)
assert restore.find("defaults/allow_active").text == "auth_admin"
PY

# The installed helper trusts only the vendor's keys: a catalog signed with the repository's test
# key vouches for nothing, not even a package whose digest it gives rightly. (Root runs it in the
# sandbox, though it installs nothing.)
if [ "$(id -u)" = 0 ]; then
  source=$(cd "$(dirname "$0")/../.." && pwd)
  printf x >"$work/p.deb"
  printf '{"generated":"2026-01-01T00:00:00Z","expires":"2099-01-01T00:00:00Z","products":[{"id":"p","packages":{"deb":{"arch":"all","sha256":"%s","size":1}}}]}' \
    "$(sha256sum "$work/p.deb" | cut -c1-64)" >"$work/catalog.json"
  "$source/tools/sign-catalog" sign "$source/tests/fixtures/catalog-test-key.pem" "$work/catalog.json"
  records=$("$source/tests/sandbox.sh" "$helper" "$work/catalog.json" "$work/catalog.json.sig" p "$work/p.deb")
  grep -qx 'SIGNATURE:0' <<<"$records" || { echo "the installed helper took a test-key catalog: $records"; exit 1; }
fi

# The installed program, started from somewhere else, draws its page.
shoot() {
  cat >"$work/steps" <<STEPS
size 1280 800
wait 1.5
js document.body.dataset.e2e = 'yes'
shot $1
quit
STEPS
  (cd / && TALVEN_SUITE_STEPS="$work/steps" timeout 90 "$prefix/bin/talven-suite" --demo 2>"$2")
}
shoot "$work/page.png" "$work/page.err"
if grep -q 'folder "web" was not found' "$work/page.err"; then echo "installed page not found"; exit 1; fi

# Without the installed web folder the same run finds no page at all (and says so), so the page
# above came from the prefix and not from the build tree.
rm -rf "$prefix/share/talven-suite/web"
shoot "$work/blank.png" "$work/blank.err"
grep -q 'folder "web" was not found' "$work/blank.err" || { echo "no warning without a page"; exit 1; }

[ "$(pngSize "$work/page.png")" = 1280x800 ] || { echo "snapshot is $(pngSize "$work/page.png")"; exit 1; }
page=$(stat -c %s "$work/page.png")
blank=$(stat -c %s "$work/blank.png")
echo "page snapshot $page bytes, without a page $blank bytes"
[ "$page" -gt $((blank * 4)) ] || { echo "the installed program showed no page"; exit 1; }
echo ok
