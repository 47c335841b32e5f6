#!/usr/bin/env bash
# Screenshots of the desktop program, driven like a user would drive it.
#
#   bash scripts/screenshots.sh [OUTDIR]      (default /tmp/kolmo-shots)
#
# Starts build/kolmo under Xvfb at 1280x1024 and at 1920x1080 and, with
# xdotool: opens examples/local/d48_gk.pod and d96_tm.pod through the file
# dialogs (typing the paths), sets the coordinate types, chooses the results
# file through the save dialog, computes, opens the three plots (exporting
# one), opens the report in Kolmo's own viewer, opens the arrangement window of the start data (and its matrix
# view), the parameter window (3R, into D96, a set chosen from data/t7.par)
# and the two tool windows with both geoid surfaces.  Each window is saved as
# OUTDIR/<window>-<size>.png, cropped to the window; besides them an error
# box, the About box, the open dialog and the whole screen after the
# computation.
# Needs: xvfb xauth xdotool imagemagick (scripts/install-deps.sh).
#
# There is no window manager under Xvfb: windows have no frames and open at
# 0,0 or centred over their parent, and keyboard focus is given with
# `xdotool windowfocus`.  Controls are clicked at their fractions of the
# window's inner area, the same numbers the window's controller uses.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
kolmo=${KOLMO_BIN:-$root/build/kolmo}

if [ "${1:-}" != "--session" ]; then
  out=${1:-/tmp/kolmo-shots}
  mkdir -p "$out"
  out=$(cd "$out" && pwd)
  [ -x "$kolmo" ] || { echo "no $kolmo: build first (cmake --build build)" >&2; exit 1; }
  for size in 1280x1024 1920x1080; do
    echo "== $size"
    xvfb-run -a -s "-screen 0 ${size}x24 -dpi 96" bash "$0" --session "$out" "$size"
  done
  echo "screenshots in $out:"
  ls "$out"
  exit 0
fi

# --- one session on one X server -------------------------------------------
out=$2
size=$3
rm -f "$out/failed-$size.png"
work=$(mktemp -d /tmp/kolmo-shots-work.XXXXXX)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
# The built-in viewer, Qt's own file dialogs, no desktop theme.
unset KOLMO_EDITOR XDG_CURRENT_DESKTOP
export QT_QPA_PLATFORM=xcb

die() {
  echo "screenshots: $*" >&2
  import -window root "$out/failed-$size.png" || true
  exit 1
}

# The largest visible window whose title matches the regular expression
# of the program, or nothing.  A window without a title is named after the
# program ("Kolmo") only in _NET_WM_NAME, which `xdotool search --name` does
# not read; hence the search by class and `getwindowname`.
largest_window() {
  local id best="" area=0
  for id in $(xdotool search --onlyvisible --classname '^kolmo$' 2>/dev/null); do
    [[ "$(xdotool getwindowname "$id" 2>/dev/null)" =~ $1 ]] || continue
    eval "$(xdotool getwindowgeometry --shell "$id")"
    if [ $((WIDTH * HEIGHT)) -gt "$area" ]; then area=$((WIDTH * HEIGHT)); best=$id; fi
  done
  [ "$area" -gt 100 ] && echo "$best"
  return 0
}

# The same, waiting for it to appear.
find_window() {
  local id
  for _ in $(seq 100); do
    id=$(largest_window "$1")
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  die "no window \"$1\""
}

wait_gone() {
  for _ in $(seq 100); do
    [ -z "$(largest_window "$1")" ] && return 0
    sleep 0.1
  done
  die "window \"$1\" did not close"
}

# An error box would mean the session went wrong; show it and stop.
no_error_box() {
  if [ -n "$(largest_window '^Napaka')" ]; then
    die "an error box is open after: $1"
  fi
}

geometry() { eval "$(xdotool getwindowgeometry --shell "$1")"; }

# Clicks the middle of a control at (left bottom width height) of the inner
# area of window $1, whose menu bar is $2 pixels high.
click() {
  local wid=$1 bar=$2
  geometry "$wid"
  local ih=$((HEIGHT - bar))
  local x y
  x=$(awk -v X="$X" -v W="$WIDTH" -v l="$3" -v w="$5" 'BEGIN { printf "%d", X + (l + w / 2) * W }')
  y=$(awk -v Y="$Y" -v b="$bar" -v H="$ih" -v bo="$4" -v h="$6" 'BEGIN { printf "%d", Y + b + (1 - bo - h / 2) * H }')
  xdotool mousemove --sync "$x" "$y" click 1
  sleep 0.3
}

# Chooses in a pop-up list: opens it, moves $7 entries (negative: up), takes it.
choose() {
  local moves=$7
  click "$1" "$2" "$3" "$4" "$5" "$6"
  local key=Down
  [ "$moves" -lt 0 ] && { key=Up; moves=$((-moves)); }
  for _ in $(seq "$moves"); do xdotool key "$key"; sleep 0.1; done
  xdotool key Return
  sleep 0.3
}

# Types a full path into the file dialog titled $1 and accepts it; with a
# third argument the dialog is saved as that picture first.
dialog_file() {
  local dlg
  dlg=$(find_window "^$1\$")
  sleep 0.5
  xdotool windowfocus --sync "$dlg"
  xdotool type --delay 15 "$2"
  sleep 0.3
  [ -n "${3:-}" ] && shot "$3" "$dlg"
  xdotool key Return
  wait_gone "^$1\$"
  sleep 0.3
}

shot() {
  local name=$1 wid=$2
  sleep 0.6
  geometry "$wid"
  import -window root "$work/screen.png"
  convert "$work/screen.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/$name-$size.png"
  echo "  $out/$name-$size.png (${WIDTH}x${HEIGHT})"
}

cd "$work"
"$kolmo" &
pid=$!
main=$(find_window '^Kolmo v3.00$')
sleep 0.5
geometry "$main"
# The window opens at its preferred inner size, 800x600, below the menu bar.
bar=$((HEIGHT - 600))
if [ "$size" = 1920x1080 ]; then
  # The larger screen gets a larger window: the layout and the texts scale.
  xdotool windowsize --sync "$main" 1280 $((960 + bar))
  sleep 0.5
fi

# Boxes: "Prikaži rezultate" before any results file gives an error box,
# "O programu" (the last entry of the menu bar) the About box.
click "$main" "$bar" 0.73 0.23 0.18 0.06
box=$(find_window '^Napaka$')
shot error "$box"
xdotool windowfocus --sync "$box" key Return
wait_gone '^Napaka$'
xdotool mousemove --sync 150 $((bar / 2)) click 1
box=$(find_window '^O programu$')
shot about "$box"
xdotool windowfocus --sync "$box" key Return
wait_gone '^O programu$'

# Start data: D48/GK from d48_gk.pod.
click "$main" "$bar" 0.08 0.77 0.18 0.05
# The files are copied first: the program writes its exports into the
# working folder, the folder of the data.
cp "$root/examples/local/d48_gk.pod" "$root/examples/local/d96_tm.pod" "$work/"
dialog_file "Podatki - zacetni datum" "$work/d48_gk.pod" open-dialog
no_error_box "start file"
choose "$main" "$bar" 0.32 0.72 0.16 0.05 2

# End data: D96/TM from d96_tm.pod.
click "$main" "$bar" 0.08 0.61 0.18 0.05
dialog_file "Podatki - koncni datum" "$work/d96_tm.pod"
no_error_box "end file"
choose "$main" "$bar" 0.32 0.56 0.16 0.05 -1

# Results file through the save dialog, then compute.
click "$main" "$bar" 0.73 0.42 0.18 0.05
dialog_file "Shrani kot" "$work/ljubljana.str"
click "$main" "$bar" 0.4 0.03 0.2 0.1
for _ in $(seq 100); do [ -s "$work/ljubljana.str" ] && break; sleep 0.2; done
[ -s "$work/ljubljana.str" ] || die "no report written"
no_error_box "computation"
shot main "$main"
import -window root "$out/screen-$size.png"

# The plots of the computation, from the menu "Prikazi" (second in the menu
# bar).  Each is shot, its PNG export is checked, and it is moved off the
# screen (without a window manager it could not be closed but by its
# program) so that it hides nothing the next steps click.
prikazi() {
  xdotool mousemove --sync 80 $((bar / 2)) click 1
  sleep 0.5
  for _ in $(seq "$1"); do xdotool key Down; sleep 0.1; done
  xdotool key Return
  local wid
  wid=$(find_window "^$2")
  no_error_box "$2"
  xdotool windowsize --sync "$wid" 900 720
  shot "$3" "$wid"
  echo "$wid"
}
away() { xdotool windowmove --sync "$1" 4000 0 || true; }
plot=$(prikazi 1 'Kolmo - Mre' mreza | tail -1)
# "Izvozi" (second in the plot's menu bar) -> "PNG" writes mreza.png here.
geometry "$plot"
xdotool mousemove --sync $((X + 75)) $((Y + bar / 2)) click 1
sleep 0.5
xdotool mousemove --sync $((X + 100)) $((Y + bar + 11)) click 1
for _ in $(seq 50); do [ -s "$work/mreza.png" ] && break; sleep 0.2; done
[ -s "$work/mreza.png" ] || die "no mreza.png exported"
away "$plot"
away "$(prikazi 2 'Kolmo - Lega' obod | tail -1)"
away "$(prikazi 3 'Kolmo - Odstopanja' odstopanja | tail -1)"

# The report in the built-in viewer.
click "$main" "$bar" 0.73 0.23 0.18 0.06
viewer=$(find_window '^Kolmo - ljubljana.str$')
shot viewer "$viewer"
click "$viewer" 0 0.84 0.01 0.14 0.06
wait_gone '^Kolmo - ljubljana.str$'

# The arrangement window of the start data, applied, and its matrix view.
click "$main" "$bar" 0.57 0.73 0.08 0.08
uredi=$(find_window '^Kolmo - Urejanje podatkov')
shot uredi "$uredi"
click "$uredi" 0 0.15 0.3 0.15 0.08
no_error_box "UVELJAVI"
click "$uredi" 0 0.4 0.3 0.15 0.08
# The matrix box has no title: it shows the program's name.
pogled=$(find_window '^Kolmo$')
shot pogled "$pogled"
xdotool windowfocus --sync "$pogled" key Return
wait_gone '^Kolmo$'
click "$uredi" 0 0.75 0.05 0.2 0.08
wait_gone '^Kolmo - Urejanje podatkov'

# The parameter window: 3R into D96 (the results type is D96/TM), a set
# chosen from the list.
click "$main" "$bar" 0.21 0.34 0.1 0.05
no_error_box "Izberi par."
izberi=$(find_window '^Kolmo - Izbira transformacijskih parametrov$')
sleep 0.3
choose "$izberi" 0 0.3 0.73 0.4 0.05 1
shot izberi "$izberi"
click "$izberi" 0 0.55 0.12 0.2 0.08
wait_gone '^Kolmo - Izbira transformacijskih parametrov$'

# The tool windows, from the menu "Orodja" (its first entry at the left of
# the menu bar): "Pretvorba koordinat" and "Interpolacija modela geoida".
tool() {
  xdotool mousemove --sync 25 $((bar / 2)) click 1
  sleep 0.5
  for _ in $(seq "$1"); do xdotool key Down; sleep 0.1; done
  xdotool key Return
  local wid
  wid=$(find_window "^$2\$")
  shot "$3" "$wid"
  click "$wid" 0 0.75 0.05 0.2 0.08
  wait_gone "^$2\$"
}
tool 1 'Kolmo - Pretvorba koordinat' pretvorba

# The geoid tool: one point computed, then both model surfaces.
xdotool mousemove --sync 25 $((bar / 2)) click 1
sleep 0.5
for _ in $(seq 3); do xdotool key Down; sleep 0.1; done
xdotool key Return
geoid=$(find_window '^Kolmo - Interpolacija modela geoida$')
click "$geoid" 0 0.26 0.81 0.2 0.05
xdotool type --delay 15 "46,05"
click "$geoid" 0 0.26 0.74 0.2 0.05
xdotool type --delay 15 "14.5"
click "$geoid" 0 0.68 0.81 0.12 0.05
xdotool type --delay 15 "400"
click "$geoid" 0 0.16 0.31 0.2 0.08
no_error_box "Izracunaj"
shot geoid "$geoid"
for button in "0.1 0.05 0.2 0.08 AMG2000 amg2000" "0.36 0.05 0.2 0.08 VRP2016 vrp2016"; do
  set -- $button
  click "$geoid" 0 "$1" "$2" "$3" "$4"
  surface=$(find_window "^Kolmo - Prikaz modela geoida $5\$")
  no_error_box "$5"
  xdotool windowsize --sync "$surface" 900 720
  shot "$6" "$surface"
  away "$surface"
done
click "$geoid" 0 0.75 0.05 0.2 0.08
wait_gone '^Kolmo - Interpolacija modela geoida$'

# "Izhod" closes the main window; the plot windows (moved off the screen)
# keep the program running, as they should, until it is ended here.
click "$main" "$bar" 0.8 0.03 0.15 0.07
wait_gone '^Kolmo v3.00$'
kill -0 "$pid" 2>/dev/null || die "kolmo ended while plot windows were open"
kill "$pid"
wait "$pid" 2>/dev/null || true
pid=
