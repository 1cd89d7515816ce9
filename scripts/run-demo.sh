#!/usr/bin/env bash
# The main job: builds everything, starts the reference server kxserver with its demo catalog on a
# free loopback port, sets up a demo installation of the launcher and starts it.
#   scripts/run-demo.sh                 with a display: the launcher window opens for you to use
#   scripts/run-demo.sh --screenshot F  on a virtual display: logs in as the demo user, runs the
#                                       first deployment's install and takes pictures (F the login,
#                                       F-selection.png, F-install.png during a download), kills
#                                       the launcher halfway through the data file, starts again,
#                                       which goes on where it stopped (F-resumed-install.png,
#                                       F-resumed-application.png the started demo application),
#                                       then starts again, which finds everything current
#                                       (F-second-start-application.png), publishes the next
#                                       release of the data file and the application and starts
#                                       again, which updates both by patch
#                                       (F-update-application.png); X window dumps .xwd when
#                                       ImageMagick is missing. With the demo installed by an
#                                       earlier run nothing is cut: F-application.png follows.
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
# The demo catalog signs its install lists and the demo machine trusts its key, as a vendor's
# installer would set it up: the launcher installs only what that key signed.
demo_key="$("$bin/kxserver" signing-key "$demo_dir/catalog")"
"$bin/kxreg" add 'HKLM\SOFTWARE\Kestrix\KXVantor\TrustedUpdateKeys' /v Demo /d "$demo_key" /f >/dev/null
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
The demo server signs its install lists with a key the demo machine trusts: a list changed
without the key ($demo_dir/catalog/catalog.sqlite) is refused with a message, and the installed
application starts as it is.
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
on_display() { xvfb-run -a -s "-screen 0 800x600x24 -dpi 96" "$@"; }
session() { echo "source scripts/demo-session.sh; $1 \"\$@\""; }
part="$program_dir/Temp/DemoData.dat.*.kxpart"
if compgen -G "$program_dir/*/*/DemoData.dat" >/dev/null; then
  # A demo installation from an earlier run: everything is current.
  on_display bash -c "$(session demo_start)" demo "$program" "$shot"
  echo "First start: $(gets) file(s) downloaded."
else
  # The first start is slowed to 1 MB/s so that the pictures catch a download, and cut: the
  # launcher is killed halfway through the demo's data file. The next start goes on where it
  # stopped (its install panel pictured a moment after) and starts the demo application.
  on_display env KX_DOWNLOAD_RATE_LIMIT=1000000 bash -c "$(session demo_cut)" demo "$program" \
    "$shot" "$part"
  echo "First start: $(gets) file(s) downloaded, the last one cut short."
  before="$(gets)"
  on_display env KX_DOWNLOAD_RATE_LIMIT=1000000 DEMO_INSTALL_PICTURE_AFTER=1.5 \
    bash -c "$(session demo_start)" demo "$program" "$shot-resumed"
  awk '$1 == "GET" && $2 ~ /DemoData.dat$/ && $3 == 206 {
    print "Resumed start: DemoData.dat went on where it stopped (206, " $4 " bytes)." }' \
    "$demo_dir/serve.log"
  echo "Resumed start: $(($(gets) - before)) file(s) downloaded."
fi
before="$(gets)"
on_display bash -c "$(session demo_start)" demo "$program" "" "$shot-second-start"
echo "Second start: $(($(gets) - before)) file(s) downloaded."

# The next release, published as an administrator would: the data file with every 50th record
# revised and 2,000 records of new figures added, and the application's next build. kxserver
# makes patches from the versions it kept, and the next start downloads, for each file, the patch
# that starts from the file the machine holds.
next="$demo_dir/next"
mkdir -p "$next/data" "$next/program"
sed '0~50s/\.\.\.\.\.\.\.\.\.\.$/ (revised)/' "$demo_dir/catalog/demo-source/data/DemoData.dat" \
  >"$next/data/DemoData.dat"
awk 'BEGIN { srand(23); for (record = 100001; record <= 102000; ++record) {
  printf "Demo data record %d", record
  for (i = 0; i < 6; ++i) printf " %08x", int(rand() * 4294967296)
  print "" } }' >>"$next/data/DemoData.dat"
echo 1.0.0.2 >"$next/data/DemoData.dat.ver"
cp "$bin/kxdemoapp-next" "$next/program/kxdemoapp"
"$bin/kxserver" publish "$demo_dir/catalog" --group 1 --install-type 5 --location COMMONDIR \
  "$next/data" | grep -v '^published'
"$bin/kxserver" publish "$demo_dir/catalog" --group 1 "$next/program" | grep -v '^published'
logged="$(wc -l <"$demo_dir/serve.log")"
# The patches are small: the run is over before a picture of its install panel could catch it.
on_display bash -c "$(session demo_start)" demo "$program" "" "$shot-update"
tail -n +"$((logged + 1))" "$demo_dir/serve.log" | awk -v files="$demo_dir/catalog/files/1" '
  $1 == "GET" && $2 ~ /\.kxpatch$/ {
    name = $2; sub(/.*\//, "", name); sub(/\.[0-9a-f]+\.[0-9a-f]+\.kxpatch$/, "", name)
    size = "stat -c %s " files "/" name; size | getline whole; close(size)
    printf "Update start: %s by a patch of %d bytes (the whole file: %d bytes).\n", name, $4, whole }
  $1 == "GET" && $2 !~ /\.(kxpatch|minisig)$/ { print "Update start: " $2 " downloaded whole." }'
