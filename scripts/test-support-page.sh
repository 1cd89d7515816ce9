#!/usr/bin/env bash
# The support pages in a real browser: starts kxserver on a free loopback port with a support
# account and a few error reports (one of them carrying a script in every field), then drives
# Debian's headless Chromium through the login, the causes, a cause and two reports
# (scripts/support-page-browser.py), with a picture of each page. Fails when a page is wrong or
# any part of the script payload runs.
#   scripts/test-support-page.sh [PICTURE-FOLDER]     (default build/default/support-page)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/default-build.sh
source scripts/serve-catalog.sh
pictures="$(realpath -m "${1:-build/default/support-page}")"

work="$(mktemp -d /tmp/kx-support-page-XXXXXX)"
finish() {
  stop_catalog_server
  rm -rf "$work"
}
trap finish EXIT

"$bin/kxserver" init "$work/catalog" --password-memory 8 --password-passes 1
"$bin/kxserver" add-support-user "$work/catalog" staff "support pass"
serve_catalog "$work/catalog"

# A context as the launcher sends it: its variable dump, then the machine's diagnostics.
context() {
  printf '<Variables>\r\n<LocalVariables>\r\n<FileToWrite>%s</FileToWrite>\r\n<buf>\r\n' "$1"
  for i in 0 1 2 3; do printf '  <buf Index="%d">%d</buf>\r\n' "$i" $((i * 17)); done
  printf '</buf>\r\n</LocalVariables>\r\n<ModuleVariables>\r\n{None}</ModuleVariables>\r\n'
  printf '<GlobalVariables>\r\n<mLogin>DEMO</mLogin>\r\n<mPassword>PASS**********</mPassword>\r\n'
  printf '<KestrixDir>/home/demo/.local/share/Kestrix/Kestrix Vantor</KestrixDir>\r\n'
  printf '<qtrErrorNumber>53</qtrErrorNumber>\r\n</GlobalVariables>\r\n</Variables>\r\n'
  printf '<Parameters>\r\n<FileName>%s</FileName>\r\n</Parameters>\r\n\r\n' "$1"
  printf 'Error Handler Version = 9.0.3\r\nAvailable Physical Memory = 8,364,281,856\r\n'
  printf 'Memory Load = %%%d\r\nWindows Version: unknown - GetVerExA failed\r\n' 37
  printf 'MDAC Components: MDAC CHECK\r\n'
  for i in $(seq 12); do
    printf '** Registry Value Missing: HKEY_CLASSES_ROOT\\CLSID\\{00000507-0000-0010-8000-00AA006D2EA%d}\\InProcServer32 - \r\n' "$i"
  done
  printf 'CRYSTAL + VSFLEX: Crystal + VSFlex Checks\r\n'
}

# Posts one report as the error library does: a URL-encoded form of "name=value" pairs.
report() {
  local args=()
  while (($# > 1)); do args+=(--data-urlencode "$1=$2"); shift 2; done
  local answer
  answer="$(curl -sS "${args[@]}" "$base_url/GenErrorReport.asp")"
  [[ "$answer" == 1 ]] || { echo "a report was not stored: $answer" >&2; exit 1; }
}

common=(ProjectName KXVantor Module Module1 Routine InstallFile LineNumber 40 ErrorNumber 53
        Token 0f3c1e2d4b5a69788796a5b4c3d2e1f0 AppPath /usr/lib/kestrix/vantor AppName KXVantor
        ParentProcess /usr/lib/kestrix/vantor/KXVantor)
for n in 1 2 3; do
  file="C:\\Users\\user$n\\AppData\\Local\\Temp\\kx$((n * 4711)).tmp"
  report "${common[@]}" ProjectVersion "300.1100.$((n + 1))" \
    ErrorDescription "File not found: $file" Context "$(context "$file")"
done
report ProjectName KXVantor ProjectVersion 300.1100.3 Module frmLogin Routine StartUpInit \
  LineNumber 12 ErrorNumber 20 ErrorDescription "Invalid Login Token" Context "$(context none)"
payload='<script>window.kxPayloadRan=1;document.title="payload ran"</script><img src=x onerror="window.kxPayloadRan=2">'
report ProjectName "KXVantor$payload" ProjectVersion "3$payload" Module "<b onmouseover=\"window.kxPayloadRan=3\">m</b>" \
  Routine "$payload" LineNumber 7 ErrorNumber 5 ErrorDescription "$payload" \
  Context "$(context "$payload")" Token "$payload" AppPath "$payload" AppName "$payload" \
  ParentProcess "$payload" Extra "$payload"

/usr/bin/python3 scripts/support-page-browser.py "$base_url" staff "support pass" "$pictures"
