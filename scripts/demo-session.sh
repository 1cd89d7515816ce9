# Sourced by the scripts that drive the launcher window on a virtual display (run-demo.sh,
# test-packages.sh): the helpers picture and await_window, and demo_start, one demo start.
# Needs xdotool, xwininfo, xwd and (for PNG pictures) ImageMagick.

picture() {  # picture WINDOW FILE: an X window dump, converted to PNG when possible
  local convert=/usr/bin/convert  # ImageMagick's own (a wrapper of that name may come first)
  [[ -x "$convert" ]] || convert=convert
  xwd -silent -id "$1" >"$2.xwd"
  if "$convert" "xwd:$2.xwd" "$2" 2>/dev/null; then
    rm -f "$2.xwd"; echo "Picture: $2"
  else
    echo "Picture (X window dump; ImageMagick converts it): $2.xwd"
  fi
}

await_window() {  # await_window TITLE-PATTERN: the window id, after at most 60 s
  local id=""
  for _ in $(seq 1200); do
    id="$(xwininfo -root -tree 2>/dev/null | awk -v p="$1" '$0 ~ p {print $1; exit}')"
    if [[ -n "$id" ]]; then echo "$id"; return 0; fi
    sleep 0.05
  done
  return 1
}

# Runs one start of the launcher on the virtual display as a user would: the demo credentials,
# a double click on the first deployment; pictures of each step (prefix $2) when asked; waits
# (bounded) for the demo application's window and closes it, and for the launcher to end.
demo_start() {
  local program="$1" prefix="$2" window="" app=""
  "$program" &
  local pid=$!
  if ! window="$(await_window '"KX Vantor, version')"; then
    echo "The launcher window did not appear." >&2; kill -TERM "$pid"; return 1
  fi
  sleep 0.5  # let the first paint finish
  [[ -z "$prefix" ]] || picture "$window" "$prefix.png"
  xdotool windowfocus --sync "$window"
  for entry in DEMO DEMO demo; do
    xdotool key ctrl+a; xdotool type --delay 20 "$entry"; xdotool key Tab
  done
  xdotool key Return
  sleep 1
  [[ -z "$prefix" ]] || picture "$window" "$prefix-selection.png"
  xdotool mousemove --window "$window" 100 34 click --repeat 2 --delay 80 1
  sleep 8  # the launcher is then amid the demo's large data file
  [[ -z "$prefix" ]] || picture "$window" "$prefix-install.png"
  if ! app="$(await_window '"KX Vantor demo application"')"; then
    echo "The demo application did not appear." >&2; kill -TERM "$pid" 2>/dev/null; return 1
  fi
  sleep 0.5
  picture "$app" "${prefix:-$3}-application.png"
  xdotool windowfocus --sync "$app" key Return
  wait "$pid" || true
}
