# What the end-to-end scripts ask the X server about the program's windows (sourced by them, so
# not a test of its own: the tests are the .sh files here).
# GDK's own window, out of sight and never shown, carries the program's name from the start; a
# window the user sees is viewable.
shown_window() {
  local w
  for w in $(xwininfo -root -tree | awk '/"TALVEN/ {print $1}'); do
    xwininfo -id "$w" | grep -q 'Map State: IsViewable' && return 0
  done
  return 1
}
