#!/usr/bin/env bash
# Runs a command where Debian packages really install and nothing of it survives: a private mount
# namespace with overlays over /usr, /etc, /var and /opt, and a system bus with polkit's daemon of
# its own, so the real pkexec, install helper, apt-get and dpkg run as they would for a user
# whose administrator says yes. Needs root and mount namespaces (CI has both); without them the
# command runs as it is, with SUITE_NO_SANDBOX=1 telling the tests that install to skip.
set -euo pipefail

if [ "${SUITE_IN_SANDBOX:-}" != 1 ]; then
  if [ "$(id -u)" -ne 0 ] || ! unshare -m true 2>/dev/null; then
    echo "sandbox: needs root and mount namespaces; tests that install packages will skip" >&2
    SUITE_NO_SANDBOX=1 exec "$@"
  fi
  before=$(dpkg-query -W -f '${Package} ${Version} ${Status}\n' | sha256sum)
  status=0
  SUITE_IN_SANDBOX=1 unshare -m --propagation private "$0" "$@" || status=$?
  after=$(dpkg-query -W -f '${Package} ${Version} ${Status}\n' | sha256sum)
  if [ "$before" != "$after" ]; then
    echo "sandbox: the machine's package database changed; something escaped the sandbox" >&2
    exit 1
  fi
  exit "$status"
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/talven-sandbox.XXXXXX")
daemons=()
cleanup() {
  for pid in "${daemons[@]}"; do kill "$pid" 2>/dev/null || true; done
  for d in opt var etc usr; do umount -l "/$d" 2>/dev/null || true; done
  umount -l /run 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

for d in usr etc var opt; do
  mkdir -p "$scratch/$d/upper" "$scratch/$d/work"
  mount -t overlay overlay \
    -o "lowerdir=/$d,upperdir=$scratch/$d/upper,workdir=$scratch/$d/work" "/$d"
done
# rpm keeps its database where an RPM system does, in the overlay: Debian's rpm would otherwise
# use root's home, which no overlay covers.
mkdir -p /etc/rpm
echo '%_dbpath /var/lib/rpm' > /etc/rpm/macros.talven-sandbox
# The machine's own system bus, if it has one, stays out of reach.
mount -t tmpfs -o mode=755 tmpfs /run
mkdir -p /run/dbus /run/lock

dbus-daemon --system --nofork --nopidfile >"$scratch/dbus.log" 2>&1 &
daemons+=($!)
for _ in $(seq 100); do [ -S /run/dbus/system_bus_socket ] && break; sleep 0.05; done
/usr/lib/polkit-1/polkitd --no-debug >"$scratch/polkitd.log" 2>&1 &
daemons+=($!)
for _ in $(seq 200); do
  if gdbus introspect --system --dest org.freedesktop.PolicyKit1 \
       --object-path /org/freedesktop/PolicyKit1/Authority >/dev/null 2>&1; then
    break
  fi
  sleep 0.05
done

"$@"
