# Sourced by the scripts that drive the launcher window on a virtual display (run-demo.sh,
# test-packages.sh, test-web-server.sh): the helpers picture and await_window, demo_start, one
# demo start, and demo_cut, one cut short.
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

# Starts the launcher on the virtual display and logs in as a user would: the demo credentials, a
# double click on the first deployment; pictures of the window and the selection (prefix $2) when
# asked. Sets demo_pid and demo_window.
demo_login() {
  local program="$1" prefix="$2"
  "$program" &
  demo_pid=$!
  if ! demo_window="$(await_window '"KX Vantor, version')"; then
    echo "The launcher window did not appear." >&2; kill -TERM "$demo_pid"; return 1
  fi
  sleep 0.5  # let the first paint finish
  [[ -z "$prefix" ]] || picture "$demo_window" "$prefix.png"
  xdotool windowfocus --sync "$demo_window"
  for entry in DEMO DEMO demo; do
    xdotool key ctrl+a; xdotool type --delay 20 "$entry"; xdotool key Tab
  done
  xdotool key Return
  sleep 1
  [[ -z "$prefix" ]] || picture "$demo_window" "$prefix-selection.png"
  xdotool mousemove --window "$demo_window" 100 34 click --repeat 2 --delay 80 1
}

# One demo start: demo_login, a picture of the install panel (prefix-install.png) after
# DEMO_INSTALL_PICTURE_AFTER seconds (8: the first start is then amid the demo's large data file);
# then waits (bounded) for the demo application's window, pictures it ($3 when there is no
# prefix) and closes it, and waits for the launcher to end.
demo_start() {
  local program="$1" prefix="$2" app=""
  demo_login "$program" "$prefix" || return 1
  sleep "${DEMO_INSTALL_PICTURE_AFTER:-8}"
  [[ -z "$prefix" ]] || picture "$demo_window" "$prefix-install.png"
  if ! app="$(await_window '"KX Vantor demo application"')"; then
    echo "The demo application did not appear." >&2; kill -TERM "$demo_pid" 2>/dev/null; return 1
  fi
  sleep 0.5
  picture "$app" "${prefix:-$3}-application.png"
  xdotool windowfocus --sync "$app" key Return
  wait "$demo_pid" || true
}

# A demo start cut short: demo_login, then, once the download part file $3 (a glob) holds half of
# the demo's data file, a picture of the install panel (prefix-install.png) and the launcher
# killed (SIGKILL), as a dropped line or a crash would end it.
demo_cut() {
  local program="$1" prefix="$2" part="$3" held=0
  demo_login "$program" "$prefix" || return 1
  for _ in $(seq 600); do
    held="$(stat -c %s $part 2>/dev/null || echo 0)"
    ((held < 3200000)) || break
    sleep 0.1
  done
  picture "$demo_window" "$prefix-install.png"
  kill -KILL "$demo_pid"
  wait "$demo_pid" 2>/dev/null || true
  held="$(stat -c %s $part 2>/dev/null || echo 0)"
  echo "Cut: the launcher was killed with $held bytes of the demo's data file downloaded."
}
