#!/usr/bin/env bash
# The program's own RPM installed by the real rpm, as on an RPM system, inside tests/sandbox.sh:
# rpm takes it, says it is installed, puts the programs where the desktop entry and the polkit
# action name them, with the modes they need, and the installed program runs; erasing it takes
# away everything it put there.
#
#     tests/sandbox.sh tests/system/own_rpm_install.sh FOLDER    (FOLDER holds the .rpm)
set -euo pipefail
shopt -s nullglob
packages=("$1"/talven-suite-[0-9]*.rpm)
[ ${#packages[@]} -eq 1 ] || { echo "want one talven-suite .rpm in $1, found ${#packages[@]}"; exit 1; }
package=${packages[0]}
if [ "${SUITE_NO_SANDBOX:-}" = 1 ]; then echo "skipped: installing needs the sandbox"; exit 77; fi
fail() { echo "FAIL: $*" >&2; exit 1; }

# rpm's database where the sandbox's /var keeps it; Debian's rpm would keep it in root's home,
# which outlives the sandbox.
db=(--dbpath /var/lib/rpm)
rpm "${db[@]}" --initdb
before=$(mktemp)
trap 'rm -f "$before"' EXIT
find /usr /etc /opt | sort >"$before"
# Debian's libraries are not in rpm's database, so the sonames rpm found it needs are unknown to it.
rpm "${db[@]}" -i --nodeps "$package"

want=$(rpm "${db[@]}" -qp --qf '%{NAME}-%{VERSION}-%{RELEASE}.%{ARCH}' "$package")
[ "$(rpm "${db[@]}" -q talven-suite)" = "$want" ] || fail "rpm -q says: $(rpm "${db[@]}" -q talven-suite)"
# Every file as the package says: digest, size, mode, owner (its requirements, as above, unknown).
rpm "${db[@]}" -V --nodeps talven-suite || fail "rpm -V found files unlike the package's"

# pkexec runs only a helper root owns and no one else may change, at the path its polkit action
# names (tests/e2e/installed_program.sh checks the action names it).
for program in /usr/bin/talven-suite /usr/libexec/talven-suite/install-helper \
    /usr/libexec/talven-suite/wait; do
  [ "$(stat -c '%U:%G %a' "$program")" = "root:root 755" ] ||
    fail "$program is $(stat -c '%U:%G %a' "$program")"
done

# The installed program finds its libraries and is the package's version.
version=$(timeout 20 /usr/bin/talven-suite --version) || fail "--version ended with $?"
[ "$version" = "TALVEN™ Suite $(rpm "${db[@]}" -qp --qf '%{VERSION}' "$package")" ] || fail "version: $version"

# Erasing leaves nothing behind, which holds only if the package owns each folder it made.
rpm "${db[@]}" -e talven-suite
if rpm "${db[@]}" -q talven-suite >/dev/null; then fail "still installed after rpm -e"; fi
diff -u "$before" <(find /usr /etc /opt | sort) || fail "rpm -e left these (+) behind"
echo "installed, checked and erased $(basename "$package")"
