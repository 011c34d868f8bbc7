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

run=("$@")
if command -v dbus-run-session >/dev/null; then run=(dbus-run-session -- "${run[@]}"); fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  run=(xvfb-run -a -s "-screen 0 1920x1200x24" "${run[@]}")
fi
"${run[@]}"
