#!/usr/bin/env bash
# The main job: builds everything, then starts the launcher KXVantor.
#   scripts/run-demo.sh                 with a display: the launcher window opens for you to use
#   scripts/run-demo.sh --screenshot F  on a virtual display: takes a picture of the window (PNG,
#                                       or the X window dump F.xwd when ImageMagick is missing)
# Without a display the launcher runs on a virtual one (xvfb-run -a) and a screenshot is taken,
# since nobody could use the window there.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default

program="$PWD/build/default/bin/KXVantor"
screenshot=""
if [[ "${1:-}" == "--screenshot" ]]; then
  screenshot="$(realpath -m "${2:?--screenshot needs a file name}")"
elif [[ -z "${DISPLAY:-}" ]]; then
  screenshot="$PWD/build/default/kxvantor-window.png"
fi

cat <<TEXT

KX Vantor starts now: the login window asks for Filer Code, Login and Password.
Its data folder is the program's folder ($(dirname "$program")); add USEPROFILE to the
command line to keep it in your own data folder instead. The remembered login is restored from,
and saved to, your settings store when the window closes (Cancel, or Esc).
Logging in needs the business-object server, which is not part of this demo yet: a Login click
does nothing so far. Closing from the title bar is refused with a message; use Cancel.
TEXT

if [[ -z "$screenshot" ]]; then
  exec "$program" "$@"
fi

# Starts the launcher on the virtual display, waits (bounded) for its window, dumps the window,
# and ends the launcher as the end of a session would (it saves the remembered login).
take_screenshot() {
  local program="$1" target="$2" window=""
  "$program" &
  local pid=$!
  for _ in $(seq 200); do
    window="$(xwininfo -root -tree 2>/dev/null | awk '/"KX Vantor, version/ {print $1; exit}')"
    if [[ -n "$window" ]]; then break; fi
    sleep 0.05
  done
  if [[ -z "$window" ]]; then
    echo "The launcher window did not appear." >&2
    kill -TERM "$pid"
    return 1
  fi
  sleep 0.5  # let the first paint finish
  xwd -silent -id "$window" >"$target.xwd"
  kill -TERM "$pid"
  wait "$pid" || true
  if command -v convert >/dev/null && convert "xwd:$target.xwd" "$target" 2>/dev/null; then
    rm -f "$target.xwd"
    echo "Screenshot of the window: $target"
  else
    echo "Screenshot of the window (X window dump; ImageMagick converts it): $target.xwd"
  fi
}
# xvfb-run is a POSIX shell script, which drops exported functions: hand the function over as text.
xvfb-run -a -s "-screen 0 640x400x24 -dpi 96" \
  bash -c "$(declare -f take_screenshot); take_screenshot \"\$0\" \"\$1\"" "$program" "$screenshot"
