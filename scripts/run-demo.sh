#!/usr/bin/env bash
# The main job: builds everything, starts the reference server kxserver with its demo catalog on a
# free loopback port, points the launcher's configuration at it and starts the launcher KXVantor.
#   scripts/run-demo.sh                 with a display: the launcher window opens for you to use
#   scripts/run-demo.sh --screenshot F  on a virtual display: logs in as the demo user and takes
#                                       pictures of the window (F, F-selection.png, F-install.png;
#                                       X window dumps .xwd when ImageMagick is missing)
# Without a display the launcher runs on a virtual one (xvfb-run -a) and the pictures are taken,
# since nobody could use the window there. KX_DEMO_BIN_DIR names an existing build's bin folder
# to use instead of building.
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ -z "${KX_DEMO_BIN_DIR:-}" ]]; then
  bash scripts/install-deps.sh
  cmake --preset default >/dev/null
  cmake --build --preset default
fi
bin="${KX_DEMO_BIN_DIR:-$PWD/build/default/bin}"

# The demo server: its catalog in a temporary folder, ended with the script.
demo_dir="$(mktemp -d)"
server_pid=""
stop_server() {
  if [[ -n "$server_pid" ]]; then kill -TERM "$server_pid" 2>/dev/null || true; wait "$server_pid" || true; fi
  rm -rf "$demo_dir"
}
trap stop_server EXIT
"$bin/kxserver" demo "$demo_dir/catalog" >/dev/null
"$bin/kxserver" serve "$demo_dir/catalog" --port 0 >"$demo_dir/serve.out" 2>"$demo_dir/serve.log" &
server_pid=$!
base_url=""
for _ in $(seq 200); do
  base_url="$(head -n 1 "$demo_dir/serve.out")"
  if [[ -n "$base_url" ]]; then break; fi
  sleep 0.05
done
if [[ -z "$base_url" ]]; then
  echo "kxserver did not start:" >&2
  cat "$demo_dir/serve.log" >&2
  exit 1
fi

# The error library, registered in a machine registry of the demo's own (so that nothing of the
# machine changes), sends its reports to the demo server: `kxserver reports` lists them.
export KX_MACHINE_REGISTRY="${KX_MACHINE_REGISTRY:-$demo_dir/machine.db}"
"$bin/regsvr32" /s "$bin/ZNErrHandler.so"
"$bin/kxreg" add 'HKLM\SOFTWARE\Kestrix\ZNErrHandler' /v ReportURL /d "$base_url/GenErrorReport.asp" /f >/dev/null

# The launcher reads its configuration beside itself: only the base URL of the service is set.
cat >"$bin/KXVantorConfig.XML" <<XML
<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882'
	xmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882'
	xmlns:rs='urn:schemas-microsoft-com:rowset'
	xmlns:z='#RowsetSchema'>
<s:Schema id='RowsetSchema'>
	<s:ElementType name='row' content='eltOnly'>
		<s:AttributeType name='PropName' rs:number='1' rs:nullable='true'>
			<s:datatype dt:type='string' rs:dbtype='str' dt:maxLength='255'/>
		</s:AttributeType>
		<s:AttributeType name='PropValue' rs:number='2' rs:nullable='true'>
			<s:datatype dt:type='string' rs:dbtype='str' dt:maxLength='4000'/>
		</s:AttributeType>
		<s:extends type='rs:rowbase'/>
	</s:ElementType>
</s:Schema>
<rs:data>
	<z:row PropName='BaseURL' PropValue='$base_url'/>
</rs:data>
</xml>
XML

program="$bin/KXVantor"
screenshot=""
if [[ "${1:-}" == "--screenshot" ]]; then
  screenshot="$(realpath -m "${2:?--screenshot needs a file name}")"
  mkdir -p "$(dirname "$screenshot")"
elif [[ -z "${DISPLAY:-}" ]]; then
  screenshot="$PWD/build/default/kxvantor-window.png"
fi

cat <<TEXT

KX Vantor starts now: the login window asks for Filer Code, Login and Password.
Its data folder is the program's folder ($(dirname "$program")); add USEPROFILE to the
command line to keep it in your own data folder instead. The remembered login is restored from,
and saved to, your settings store when the window closes (Cancel, or Esc).
The demo server listens at $base_url: log in with Filer Code DEMO, Login DEMO and Password
demo. The user has two deployments, so the launcher asks which to run; the CLIENT deployment
asks whether to check for updates. The install run itself is not part of the launcher yet: the
install panel stays. Closing from the title bar is refused with a message; use Cancel.
A failure shows the error dialog of ZNErrHandler, whose report goes to the demo server:
"$bin/kxserver" reports "$demo_dir/catalog" lists the reports received.
TEXT

if [[ -z "$screenshot" ]]; then
  "$program" "$@"
  exit
fi

# Starts the launcher on the virtual display, waits (bounded) for its window, dumps the window,
# and ends the launcher as the end of a session would (it saves the remembered login).
take_screenshot() {
  local program="$1" target="$2" window=""
  # ImageMagick's own convert (a wrapper of that name may stand earlier in PATH).
  local convert=/usr/bin/convert
  [[ -x "$convert" ]] || convert=convert
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
  # As a user would: the demo credentials and Enter, then a double click on the first deployment.
  xdotool windowfocus --sync "$window"
  xdotool type --delay 20 "DEMO"; xdotool key Tab; xdotool type --delay 20 "DEMO"
  xdotool key Tab; xdotool type --delay 20 "demo"; xdotool key Return
  sleep 1
  xwd -silent -id "$window" >"${target%.png}-selection.xwd"
  xdotool mousemove --window "$window" 100 34 click --repeat 2 --delay 80 1
  sleep 1
  xwd -silent -id "$window" >"${target%.png}-install.xwd"
  kill -TERM "$pid"
  wait "$pid" || true
  local dump
  for dump in "$target.xwd" "${target%.png}-selection.xwd" "${target%.png}-install.xwd"; do
    local picture="${dump%.xwd}"
    [[ "$picture" == *.png ]] || picture="$picture.png"
    if "$convert" "xwd:$dump" "$picture" 2>/dev/null; then
      rm -f "$dump"
      echo "Screenshot of the window: $picture"
    else
      echo "Screenshot of the window (X window dump; ImageMagick converts it): $dump"
    fi
  done
}
# xvfb-run is a POSIX shell script, which drops exported functions: hand the function over as text.
xvfb-run -a -s "-screen 0 640x400x24 -dpi 96" \
  bash -c "$(declare -f take_screenshot); take_screenshot \"\$0\" \"\$1\"" "$program" "$screenshot"
