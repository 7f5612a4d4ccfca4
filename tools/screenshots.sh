#!/usr/bin/env bash
# Takes the README's screenshot of each window under Xvfb, driving the program
# with xdotool. Needs: xvfb, imagemagick, xdotool (Debian packages).
#   tools/screenshots.sh build/default/program/orvalle docs
set -eu
app=$1; out=$2
export DISPLAY=:77
Xvfb :77 -screen 0 800x500x24 >/dev/null 2>&1 &
xvfb=$!
sleep 1
export XDG_CONFIG_HOME=$(mktemp -d)
"$app" >/dev/null 2>&1 &
pid=$!
sleep 2
# The picture of one window, cropped to its own frame: nothing of the screen
# or of a window beneath. No dates are written, so a rerun gives the same bytes.
shot() {
  eval "$(xdotool getwindowgeometry --shell "$1")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage \
    -define png:exclude-chunks=date,time "$out/$2"
}
win=$(xdotool search --name '^Orvalle$' | head -1)
xdotool windowmove "$win" 0 0; sleep 0.5
shot "$win" start-window.png
# Load the samples, then Next >
xdotool mousemove 30 110 click 1; sleep 0.5
xdotool key --window "$win" Tab; sleep 0.2
xdotool mousemove 260 150 click 1; sleep 1.5
win2=$(xdotool search --name '^Orvalle$' | tail -1)
xdotool windowmove "$win2" 0 0; sleep 0.5
shot "$win2" table-window.png
kill $pid; sleep 0.5
XDG_CONFIG_HOME=$(mktemp -d) "$app" >/dev/null 2>&1 &
pid=$!
sleep 2
win=$(xdotool search --name '^Orvalle$' | head -1)
xdotool windowmove "$win" 0 0; sleep 0.5
xdotool mousemove 505 110 click 1; sleep 1
win3=$(xdotool search --name 'Advanced Options' | head -1)
xdotool windowmove "$win3" 0 0; sleep 0.5
shot "$win3" advanced-options.png
kill $pid $xvfb
