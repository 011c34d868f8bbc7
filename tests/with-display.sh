#!/usr/bin/env bash
# Runs a command with a display and a private session bus, making both when the machine has none,
# and with HOME and the XDG folders in a fresh temporary folder so no test touches the user's files.
set -euo pipefail

scratch=$(mktemp -d "${TMPDIR:-/tmp}/talven-test.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export HOME="$scratch/home"
export XDG_CONFIG_HOME="$scratch/config" XDG_CACHE_HOME="$scratch/cache"
export XDG_STATE_HOME="$scratch/state" XDG_DATA_HOME="$scratch/data"
export XDG_RUNTIME_DIR="$scratch/runtime"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_STATE_HOME" "$XDG_DATA_HOME"
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
export SUITE_TEST_SCRATCH="$scratch"
unset TALVEN_SUITE_DEMO TALVEN_SUITE_STEPS
export GTK_A11Y=none MESA_SHADER_CACHE_DISABLE=true
export GSK_RENDERER="${GSK_RENDERER:-cairo}"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  # Xvfb picks a free display itself and tells us which (-displayfd): several of these may start
  # at once, and guessing a free number races.
  exec {displayfd}<> <(:)
  # Larger than any window a test or a steps file asks for: the window system keeps a window
  # within its screen.
  Xvfb -displayfd "$displayfd" -screen 0 3840x2160x24 -nolisten tcp >"$scratch/xvfb.log" 2>&1 &
  xvfb=$!
  trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -rf "$scratch"' EXIT
  read -r -t 20 -u "$displayfd" number || { echo "Xvfb did not start" >&2; cat "$scratch/xvfb.log" >&2; exit 1; }
  export DISPLAY=":$number"
fi

run=("$@")
if command -v dbus-run-session >/dev/null; then run=(dbus-run-session -- "${run[@]}"); fi
"${run[@]}"
