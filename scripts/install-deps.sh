#!/usr/bin/env bash
# Installs everything needed to build, run and test TALVEN Suite on Debian 12.
# Safe to run again: packages already present are left as they are.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  libwebkit2gtk-4.1-dev libgtk-3-dev libwebkitgtk-6.0-dev libgtk-4-dev
  libcurl4-openssl-dev libssl-dev
  nlohmann-json3-dev libplist-dev libapt-pkg-dev librpm-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev
  xvfb xauth dbus dbus-x11 at-spi2-core python3-pyatspi gir1.2-atspi-2.0
  nodejs
  desktop-file-utils shared-mime-info
  fonts-dejavu-core fonts-noto-core
  python3 procps openssl
  pkexec polkitd iproute2 libglib2.0-bin glib-networking gsettings-desktop-schemas
  librsvg2-bin appstream locales x11-utils
  clang libclang-rt-14-dev clang-format
  lintian devscripts dpkg-dev apt-utils gpg gpg-agent gpgconf
  rpm rpmlint rpm2cpio cpio
  dnf zypper createrepo-c
)

SUDO=()
if [ "$(id -u)" -ne 0 ]; then SUDO=(sudo); fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  echo "install-deps: all packages present"
else
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${SUDO[@]}" apt-get update -qq
  "${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The accessibility checker the host tests inject into the page. It is test-only and fetched, so
# it lives in a git-ignored folder under tests/, pinned so every machine checks the same rules.
axe_version=4.14.1
axe_dir="$(cd "$(dirname "$0")/.." && pwd)/tests/.deps"
if [ "$(node -p "require('$axe_dir/node_modules/axe-core/package.json').version" 2>/dev/null)" != "$axe_version" ]; then
  echo "install-deps: installing axe-core $axe_version into $axe_dir"
  mkdir -p "$axe_dir"
  npm install --prefix "$axe_dir" --no-save --no-audit --no-fund --silent "axe-core@$axe_version"
fi

# The page's formatter and linter (tools/check-page), pinned by package.json and package-lock.json
# at the repository's root, into its git-ignored node_modules. Installed again only when the lock
# file changed since the last install.
root="$(cd "$(dirname "$0")/.." && pwd)"
lock_sum="$(sha256sum "$root/package-lock.json" | cut -d' ' -f1)"
if [ "$(cat "$root/node_modules/.installed-lock" 2>/dev/null)" != "$lock_sum" ]; then
  echo "install-deps: installing the page's dev tools (npm ci) into $root/node_modules"
  (cd "$root" && npm ci --no-audit --no-fund --silent)
  echo "$lock_sum" > "$root/node_modules/.installed-lock"
fi
