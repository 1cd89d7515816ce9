#!/usr/bin/env bash
# The Debian packages end to end, on this machine, as root (CI runs it on a throw-away machine):
#   1. builds the default preset and both packages and checks them: lintian (no error, no
#      warning), the desktop entry, the metainfo, the polkit action, the service's sandbox;
#   2. installs them with apt, twice (the second time must change nothing), and checks the machine
#      registry (every user reads it, only root writes it) and the components registered in it;
#   3. registers the demo catalog with kxserver-admin and runs kxserver.service under systemd:
#      this machine's, or, where systemd is not running, a throw-away boot of this system in a
#      container whose writes go to memory;
#   4. starts the launcher from its menu entry as an ordinary user, then runs the installed
#      launcher as the administrator on a virtual display through the demo's login, download,
#      install and application start;
#   5. removes both packages (the components unregistered, the state kept), purges them and checks
#      that nothing they made remains: files, registry, user and group, unit links.
# Whatever happens, the packages end purged and what the test started is stopped.
#   scripts/test-packages.sh [--pictures FOLDER]     (pictures of the menu start and the demo)
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ $(id -u) -ne 0 ]]; then
  echo "scripts/test-packages.sh installs packages: run it as root" >&2
  exit 1
fi
pictures=""
if [[ "${1:-}" == "--pictures" ]]; then
  pictures="$(realpath -m "${2:?--pictures needs a folder}")"
  mkdir -p "$pictures"
fi
source scripts/default-build.sh
source scripts/demo-session.sh

packages=(kxvantor kxserver)
work="$(mktemp -d /tmp/kx-packages-XXXXXX)"
chmod 0755 "$work"
pictures="${pictures:-$work/pictures}"
mkdir -p "$pictures"
container_pid=""
mounts=()
start=$(date +%s)
step() { echo; echo "== $1 ($(($(date +%s) - start))s)"; }
fail() { echo "FAILED: $*" >&2; exit 1; }

stop_service() {
  if [[ -n "$container_pid" ]]; then
    kill -TERM "$container_pid" 2>/dev/null || true  # the container's systemd powers off
    wait "$container_pid" 2>/dev/null || true
    container_pid=""
  elif [[ -d /run/systemd/system ]]; then
    systemctl stop kxserver.service 2>/dev/null || true
  fi
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do umount "${mounts[i]}" || true; done
  mounts=()
}

finish() {
  local status=$?
  step "clean-up"
  stop_service
  for package in "${packages[@]}"; do
    if dpkg-query -W "$package" >/dev/null 2>&1; then
      apt-get purge -y -qq "$package" >/dev/null ||
        dpkg --purge --force-depends "$package" >/dev/null || echo "could not purge $package" >&2
    fi
  done
  rm -rf --one-file-system "$work"
  exit $status
}
trap finish EXIT
# A signal ends the script through exit, so that finish runs for it too.
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

# Files the packages could leave behind, and the user and group databases.
snapshot() {
  {
    find /etc /usr /opt /var -xdev \
      \( -path /var/lib/dpkg -o -path /var/lib/apt -o -path /var/cache/apt -o -path /var/log \
         -o -path /var/cache/man -o -path /var/cache/debconf -o -path /var/tmp \
         -o -path /etc/ld.so.cache -o -name __pycache__ \) -prune -o -print
    sha256sum /etc/passwd /etc/group /etc/shadow /etc/gshadow
  } | LC_ALL=C sort
}

# The installed places of the machine's registry (kxreg, the launcher and the scripts use the
# defaults, which the packages are made for).
unset KX_MACHINE_REGISTRY KX_USER_REGISTRY KX_SYSTEM_DIR KX_WINDOWS_DIR KX_COMMON_FILES_DIR
registry=/var/lib/kestrix/registry/machine.db
registry_has() {  # registry_has FOLDED-KEY-PATH: whether the machine registry holds the key
  [[ -n "$(sqlite3 -readonly "$registry" "SELECT 1 FROM reg_keys WHERE path = '$1'")" ]]
}
as_user() { setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"; }

step "packages"
deb_dir="$(dirname "$bin")/packages"
rm -rf "$deb_dir"
cpack --config "$(dirname "$bin")/CPackConfig.cmake" -B "$deb_dir" >"$work/cpack.log" ||
  { cat "$work/cpack.log"; fail "cpack"; }
debs=("$deb_dir"/kxvantor_*.deb "$deb_dir"/kxserver_*.deb)
ls -l "${debs[@]}"

step "lintian, desktop entry, metainfo, polkit action, the service's sandbox"
lintian --fail-on error,warning "${debs[@]}"
mkdir -p "$work/content"
for deb in "${debs[@]}"; do dpkg-deb -x "$deb" "$work/content"; done
desktop-file-validate "$work/content/usr/share/applications/com.kestrix.KXVantor.desktop"
appstreamcli validate --no-net "$work/content/usr/share/metainfo/com.kestrix.KXVantor.metainfo.xml"
python3 -c 'import sys, xml.dom.minidom as m; m.parse(sys.argv[1])' \
  "$work/content/usr/share/polkit-1/actions/com.kestrix.KXVantor.policy"
# Exposure on systemd's scale of 0 to 10 (in tenths here): the unit must stay at 1.5 or below.
systemd-analyze security --offline=yes --threshold=15 --no-pager \
  "$work/content/lib/systemd/system/kxserver.service" | tail -n 1

for package in "${packages[@]}"; do
  if dpkg-query -W "$package" >/dev/null 2>&1; then
    echo "$package is installed already: purging it first"
    apt-get purge -y -qq "$package" >/dev/null
  fi
done
snapshot >"$work/before.txt"

step "install, and install again"
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq --no-install-recommends "${debs[@]}" >"$work/apt.log" ||
  { cat "$work/apt.log"; fail "apt-get install"; }
apt-get install -y -qq --no-install-recommends --reinstall "${debs[@]}" >"$work/apt.log" ||
  { cat "$work/apt.log"; fail "apt-get install --reinstall"; }
[[ "$(stat -c '%U %a' "$registry")" == "root 644" ]] || fail "the machine registry is not root's, rw-r--r--"
for key in 'SOFTWARE\CLASSES\ZNERRHANDLER.ERROR' 'SOFTWARE\CLASSES\KXCOMPRESSION.EXPANDER' \
           'SOFTWARE\CLASSES\KX_UTILITY_V2.WHITELABEL' \
           'SOFTWARE\MICROSOFT\WINDOWS NT\CURRENTVERSION\FONTS'; do
  registry_has "$key" || fail "the machine registry lacks $key"
done
as_user kxreg query 'HKCR\ZNErrHandler.Error\CLSID' >/dev/null || fail "a user cannot read the registry"
if as_user kxreg add 'HKLM\SOFTWARE\Kestrix' /v Probe /d 1 /f >/dev/null 2>&1; then
  fail "a user could write the machine registry"
fi
# (Captured first: grep -q closing the pipe early would fail fc-list under pipefail.)
font_files="$(fc-list : file)"
[[ "$font_files" == */usr/share/fonts/truetype/kestrix/free3of9.ttf* ]] ||
  fail "fontconfig does not see the launcher's fonts"
getent passwd kxserver >/dev/null || fail "no user kxserver"
for unit in kxserver.service kxserver-daily.timer; do
  [[ "$(systemctl --root=/ is-enabled "$unit")" == enabled ]] || fail "$unit is not enabled"
done
systemd-analyze verify --man=no /lib/systemd/system/kxserver.service \
  /lib/systemd/system/kxserver-daily.service /lib/systemd/system/kxserver-daily.timer

step "the demo catalog and the kxserver service"
kxserver-admin demo
# What the daily timer runs, as it runs it.
pruned="$(kxserver-admin prune-reports --older-than 90)"
[[ "$pruned" == "removed 0 error report"* ]] || fail "prune-reports did not run: $pruned"
port="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
sed -i "s/^KXSERVER_PORT=.*/KXSERVER_PORT=$port/" /etc/default/kxserver
if [[ -d /run/systemd/system ]]; then
  systemctl restart kxserver.service
else
  # A throw-away boot of this system: its root is this one, overlaid with memory, so that
  # nothing the container writes reaches the machine; systemd-nspawn wants an empty /dev.
  container="$work/container"
  mkdir -p "$container/layers" "$container/root"
  mount -t tmpfs -o size=1g kx-container "$container/layers" && mounts+=("$container/layers")
  mkdir -p "$container/layers/upper/dev" "$container/layers/work"
  python3 -c 'import os, sys; os.setxattr(sys.argv[1], "trusted.overlay.opaque", b"y")' \
    "$container/layers/upper/dev"
  mount -t overlay kx-container \
    -o "lowerdir=/,upperdir=$container/layers/upper,workdir=$container/layers/work" \
    "$container/root" && mounts+=("$container/root")
  systemd-nspawn --quiet --register=no --keep-unit --link-journal=no --directory="$container/root" \
    --boot -- systemd.unit=basic.target systemd.wants=kxserver.service >"$work/container.log" 2>&1 &
  container_pid=$!
fi
base_url="http://127.0.0.1:$port"
for _ in $(seq 300); do
  curl -s -o /dev/null --max-time 1 "$base_url/" && break
  sleep 0.2
done
curl -s -o /dev/null --max-time 1 "$base_url/" ||
  { tail -n 30 "$work/container.log" 2>/dev/null; fail "kxserver.service does not answer at $base_url"; }
service_pid="$(pgrep -u kxserver -x kxserver | head -n 1)"
[[ -n "$service_pid" ]] || fail "no kxserver runs as the user kxserver"
status="$(cat "/proc/$service_pid/status")"
for field in 'NoNewPrivs:\s*1' 'Seccomp:\s*2' 'CapEff:\s*0+$' 'CapBnd:\s*0+$'; do
  grep -Pq "^$field" <<<"$status" || fail "the service's process lacks $field"
done
awk '$5 == "/" && $6 ~ /(^|,)ro(,|$)/ {found = 1} END {exit !found}' "/proc/$service_pid/mountinfo" ||
  fail "the service sees the system writable"
awk '$5 == "/tmp" && $4 ~ /systemd-private-.*kxserver/ {found = 1} END {exit !found}' \
  "/proc/$service_pid/mountinfo" || fail "the service has no temporary folder of its own"
echo "kxserver.service answers at $base_url as the user kxserver, in its sandbox"

step "the menu entry, as an ordinary user"
user_home="$work/user-home"
mkdir -p "$user_home" && chown nobody:nogroup "$user_home"
xvfb-run -a -n 91 -s "-ac -screen 0 800x600x24 -dpi 96" bash -c '
  source scripts/demo-session.sh
  setpriv --reuid=nobody --regid=nogroup --clear-groups env -u XAUTHORITY HOME="$1" \
    gio launch /usr/share/applications/com.kestrix.KXVantor.desktop
  window="$(await_window "\"KX Vantor, version")" || { echo "no launcher window" >&2; exit 1; }
  sleep 1
  picture "$window" "$2"
  pid="$(xdotool getwindowpid "$window")"
  [[ "$(stat -c %U "/proc/$pid")" == nobody ]] || { echo "the launcher is not the user'"'"'s" >&2; exit 1; }
  kill -TERM "$pid"
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$pid" 2>/dev/null || true  # gone before its display is
' menu "$user_home" "$pictures/menu-entry.png"

step "the demo as the administrator: login, download, install, application start"
admin_home="$work/admin-home"
data_root="$admin_home/.local/share/Kestrix/Kestrix Vantor"
mkdir -p "$data_root" "$work/runtime" && chmod 0700 "$work/runtime"
bash scripts/write-launcher-config.sh "$data_root" "$base_url"
env -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME="$admin_home" XDG_RUNTIME_DIR="$work/runtime" \
  xvfb-run -a -n 93 -s "-screen 0 800x600x24 -dpi 96" \
  bash -c 'source scripts/demo-session.sh; demo_start "$@"' demo /usr/bin/KXVantor "$pictures/demo"
[[ -n "$(find "$data_root" -name kxdemoapp -type f -perm -u+x -print -quit)" ]] ||
  fail "the demo application is not in the data root"
[[ -f /var/lib/kestrix/windows/Fonts/KXDemo39.ttf ]] || fail "the demo font is not in the fonts folder"
[[ -f /var/lib/kestrix/system/KXDemoSetup.log ]] || fail "the demo installer did not run"
registry_has 'SOFTWARE\CLASSES\KXDEMO.GREETING' || fail "the demo component is not registered"
echo "The demo deployment is installed, its component registered, its application started."
# The launcher, run as root, cached its session's font folder (in the test's runtime folder) in
# root's font cache folder: the administrator's session data, not the packages'.
grep -lZF "$work/runtime/" /var/cache/fontconfig/*.cache-* 2>/dev/null | xargs -0 -r rm -f

step "remove"
stop_service
apt-get remove -y -qq "${packages[@]}" >"$work/apt.log" || { cat "$work/apt.log"; fail "apt-get remove"; }
for key in 'SOFTWARE\CLASSES\ZNERRHANDLER.ERROR' 'SOFTWARE\CLASSES\KXCOMPRESSION.EXPANDER' \
           'SOFTWARE\CLASSES\KX_UTILITY_V2.WHITELABEL'; do
  ! registry_has "$key" || fail "$key is still registered after removal"
done
registry_has 'SOFTWARE\CLASSES\KXDEMO.GREETING' || fail "removal unregistered what the launcher registered"
[[ -f /var/lib/kxserver/catalog.sqlite && -f /etc/default/kxserver ]] ||
  fail "removal took the catalog or the configuration"
getent passwd kxserver >/dev/null || fail "removal took the user kxserver"

step "purge, and nothing left"
apt-get purge -y -qq "${packages[@]}" >"$work/apt.log" || { cat "$work/apt.log"; fail "apt-get purge"; }
snapshot >"$work/after.txt"
# Nothing new may remain, and nothing that was there may be gone; fontconfig's trigger, which the
# purge runs, may drop other folders' stale caches.
LC_ALL=C comm -13 "$work/before.txt" "$work/after.txt" >"$work/new.txt"
LC_ALL=C comm -23 "$work/before.txt" "$work/after.txt" | grep -v '^/var/cache/fontconfig/' >"$work/gone.txt" || true
if [[ -s "$work/new.txt" || -s "$work/gone.txt" ]]; then
  sed 's/^/new: /' "$work/new.txt"; sed 's/^/gone: /' "$work/gone.txt"
  fail "the packages changed the above"
fi
! getent passwd kxserver >/dev/null && ! getent group kxserver >/dev/null ||
  fail "the user or group kxserver remains"
echo "Nothing of the packages remains. Pictures: $pictures"
step "done"
