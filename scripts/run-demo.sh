#!/usr/bin/env bash
# The main job: builds everything, starts the reference server kxserver with its demo catalog on a
# free loopback port, sets up a demo installation of the launcher and starts it.
#   scripts/run-demo.sh                 with a display: the launcher window opens for you to use
#   scripts/run-demo.sh --screenshot F  on a virtual display: logs in as the demo user, runs the
#                                       first deployment's install and takes pictures (F the login,
#                                       F-selection.png, F-install.png during a download,
#                                       F-application.png the started demo application), then
#                                       starts again, which finds everything current
#                                       (F-second-start-application.png); X window dumps .xwd when ImageMagick
#                                       is missing
# Without a display the launcher runs on a virtual one (xvfb-run -a) and the pictures are taken,
# since nobody could use the window there. KX_DEMO_BIN_DIR names an existing build's bin folder
# to use instead of building.
#
# The demo installation lives in build/default/demo (kept between runs, so a second run finds
# its files current): the launcher's program folder (program/: KXVantor, its fonts, regsvr32 and
# the configuration; the install run's files land below it) and the machine it installs on
# (machine/: the registry file, the system and Windows folders), so the demo never touches the
# machine's real ones.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/default-build.sh
source scripts/serve-catalog.sh

# The demo machine and the launcher's installation on it.
demo="$(dirname "$bin")/demo"
program_dir="$demo/program"
export KX_MACHINE_REGISTRY="$demo/machine/registry.db"
export KX_SYSTEM_DIR="$demo/machine/system"
export KX_WINDOWS_DIR="$demo/machine/windows"
mkdir -p "$program_dir" "$KX_SYSTEM_DIR" "$KX_WINDOWS_DIR/Fonts"
mapfile -t launcher_fonts < launcher/fonts/font-files.txt
for file in KXVantor regsvr32 "${launcher_fonts[@]}"; do
  cp -f "$bin/$file" "$program_dir/"
done
# The component that expands compressed downloads, and the key fonts are recorded under.
"$bin/regsvr32" /s "$bin/libkxcompression.so"
"$bin/kxreg" add 'HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Fonts' /f >/dev/null

# The demo server: its catalog in a temporary folder, ended with the script.
demo_dir="$(mktemp -d)"
stop_server() {
  stop_catalog_server
  rm -rf "$demo_dir"
}
trap stop_server EXIT
"$bin/kxserver" demo "$demo_dir/catalog" >/dev/null
# The support page's account: the reports the demo sends are read there, grouped by cause.
"$bin/kxserver" add-support-user "$demo_dir/catalog" support demo
serve_catalog "$demo_dir/catalog"

# The error library, registered in the demo machine's registry, sends its reports to the demo
# server: `kxserver reports` lists them.
"$bin/regsvr32" /s "$bin/ZNErrHandler.so"
"$bin/kxreg" add 'HKLM\SOFTWARE\Kestrix\ZNErrHandler' /v ReportURL /d "$base_url/GenErrorReport.asp" /f >/dev/null

# The launcher reads its configuration beside itself: only the base URL of the service is set.
bash scripts/write-launcher-config.sh "$program_dir" "$base_url"

program="$program_dir/KXVantor"
screenshot=""
if [[ "${1:-}" == "--screenshot" ]]; then
  screenshot="$(realpath -m "${2:?--screenshot needs a file name}")"
  mkdir -p "$(dirname "$screenshot")"
elif [[ -z "${DISPLAY:-}" ]]; then
  screenshot="$PWD/build/default/kxvantor-window.png"
fi

cat <<TEXT

KX Vantor starts now: the login window asks for Filer Code, Login and Password.
Its program folder is $program_dir; the install run puts the deployment's files below it.
The demo server listens at $base_url: log in with Filer Code DEMO, Login DEMO and Password
demo. The user has two deployments, so the launcher asks which to run; the CLIENT deployment
asks whether to check for updates. The launcher then downloads and installs the files that are
out of date, with progress shown, starts the demo application (which shows the business-object
URL and the login token it was given, the demo component and the demo font) and closes.
Closing the launcher from the title bar is refused with a message; use Cancel.
A failure shows the error dialog of ZNErrHandler, whose report goes to the demo server:
"$bin/kxserver" reports "$demo_dir/catalog" lists the reports received, and the support page
$base_url/support/ (login support, password demo) shows them grouped by cause.
TEXT

if [[ -z "$screenshot" ]]; then
  "$program" "$@"
  exit
fi

gets() { grep -c '^GET ' "$demo_dir/serve.log" || true; }
shot="${screenshot%.png}"
# The first start is slowed to 1 MB/s so that the picture catches a download in progress.
xvfb-run -a -s "-screen 0 800x600x24 -dpi 96" env KX_DOWNLOAD_RATE_LIMIT=1000000 \
  bash -c 'source scripts/demo-session.sh; demo_start "$@"' demo "$program" "$shot"
first="$(gets)"
echo "First start: $first file(s) downloaded."
xvfb-run -a -s "-screen 0 800x600x24 -dpi 96" \
  bash -c 'source scripts/demo-session.sh; demo_start "$@"' demo "$program" "" "$shot-second-start"
echo "Second start: $(($(gets) - first)) file(s) downloaded."
