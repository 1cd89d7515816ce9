#!/usr/bin/env bash
# The install files behind a real web server: Debian's nginx set up from the site the kxserver
# package ships (packaging/kxserver/nginx-site.conf) on loopback, with TLS from a throw-away CA
# (KX_CA_FILE), the install files from the catalog's files folder and everything else passed on to
# `kxserver serve --public-url`; and the real launcher driven through three starts on a virtual
# display, as a user would:
#   1. slowed down, killed once half of the large file is downloaded;
#   2. goes on with it (Range and If-Range under nginx's ETag: 206), installs a file that nginx
#      redirects (302) to a second location, and downloads one whose placement fails (a folder is
#      in the way): the install error;
#   3. the folder gone, installs that file from the download it kept (nginx: 416), without
#      transferring it again.
# Then it checks every placed file's digest and what nginx and kxserver were asked.
# nginx runs as this user's process, not as a daemon, with its configuration, prefix and logs in a
# temporary folder: the machine's nginx is never touched. KX_DEMO_BIN_DIR names an existing build's
# bin folder to use instead of building.
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ "${KX_WEB_TEST_DISPLAY:-}" != 1 ]]; then
  exec env KX_WEB_TEST_DISPLAY=1 xvfb-run -a -s "-screen 0 800x600x24" bash "$0" "$@"
fi
source scripts/default-build.sh
source scripts/demo-session.sh

work="$(mktemp -d /tmp/kx-web-XXXXXX)"
pids=()
finish() {
  local status=$?
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill -TERM "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
  if ((status != 0)); then
    echo "--- nginx error log"; cat "$work/nginx/error.log" 2>/dev/null || true
    echo "--- nginx access log"; cat "$work/nginx/access.log" 2>/dev/null || true
  fi
  rm -rf "$work"
  exit $status
}
trap finish EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
# nginx's workers may run as another user: they read the files below.
chmod 0755 "$work"

echo "== a throw-away CA, and a certificate it signs for 127.0.0.1"
ca="$work/ca"
mkdir -p "$ca"
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 1 -subj /CN=KX-test-CA \
  -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign \
  -keyout "$ca/ca.key" -out "$ca/ca.pem" 2>/dev/null
openssl req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -subj /CN=127.0.0.1 \
  -keyout "$ca/server.key" -out "$ca/server.csr" 2>/dev/null
printf 'subjectAltName=IP:127.0.0.1\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' >"$ca/ext"
openssl x509 -req -in "$ca/server.csr" -CA "$ca/ca.pem" -CAkey "$ca/ca.key" -CAcreateserial \
  -days 1 -extfile "$ca/ext" -out "$ca/server.pem" 2>/dev/null

echo "== the catalog: three files for one deployment"
catalog="$work/catalog"
files="$work/published"
mkdir -p "$files"
head -c $((16 << 20)) /dev/urandom >"$files/big.bin"
head -c $((256 << 10)) /dev/urandom >"$files/moved.bin"
head -c $((1 << 20)) /dev/urandom >"$files/busy.bin"
"$bin/kxserver" init "$catalog" --password-memory 8 --password-passes 1 >/dev/null
"$bin/kxserver" add-server "$catalog" Web /bo/web >/dev/null
"$bin/kxserver" add-user "$catalog" WEB TESTER secret >/dev/null
id="$("$bin/kxserver" add-deployment "$catalog" --type BROKER --description Web --path /bo/web \
      --check-for-updates Y --group 1)"
"$bin/kxserver" grant "$catalog" WEB TESTER "$id" >/dev/null
# In this order, each with a version side file once installed (so that a start after a complete
# one finds it current).
sequence=10
for name in big.bin moved.bin busy.bin; do
  mkdir -p "$work/one"; rm -f "$work/one"/*; cp "$files/$name" "$work/one/"
  "$bin/kxserver" publish "$catalog" --group 1 --install-type 5 --version 1.0 \
    --sequence "$sequence" "$work/one" >/dev/null
  sequence=$((sequence + 10))
done
chmod -R a+rX "$work"
# The catalog signs its list (after the line above: the secret key stays its owner's), and the
# launcher below trusts its key: the list's signature comes through nginx, from kxserver.
key="$("$bin/kxserver" signing-key "$catalog")"

echo "== kxserver behind nginx"
port="$(free_port)"
kx_port="$(free_port)"
public="https://127.0.0.1:$port"
"$bin/kxserver" serve "$catalog" --address 127.0.0.1 --port "$kx_port" --public-url "$public" \
  --trusted-proxy 127.0.0.1 >/dev/null 2>"$work/kxserver.log" &
pids+=($!)
nginx_dir="$work/nginx"
mkdir -p "$nginx_dir/tmp" "$work/elsewhere"
cp "$files/moved.bin" "$work/elsewhere/"
site="$nginx_dir/site.conf"
cp packaging/kxserver/nginx-site.conf "$site"
replace() {  # replace TEXT BY: in the site, where the example must have TEXT
  grep -qF -- "$1" "$site" || fail "the example site has no \"$1\""
  FROM="$1" TO="$2" python3 -c 'import os, sys; p = sys.argv[1]; s = open(p).read()
open(p, "w").write(s.replace(os.environ["FROM"], os.environ["TO"]))' "$site"
}
replace "listen 443 ssl;" "listen 127.0.0.1:$port ssl;"
replace "listen [::]:443 ssl;" ""
replace "server_name kx.example.com;" "server_name 127.0.0.1;
    # The test's own: a file moved elsewhere.
    location = /bo/web/BROKER/InstallFiles/1/moved.bin { return 302 /elsewhere/moved.bin; }
    location /elsewhere/ { alias $work/elsewhere/; }"
replace "/etc/ssl/certs/kx.example.com.pem" "$ca/server.pem"
replace "/etc/ssl/private/kx.example.com.key" "$ca/server.key"
replace "/var/lib/kxserver/files/" "$catalog/files/"
replace "http://127.0.0.1:8470" "http://127.0.0.1:$kx_port"
cat >"$nginx_dir/nginx.conf" <<CONF
worker_processes 1;
pid $nginx_dir/nginx.pid;
error_log $nginx_dir/error.log;
events { worker_connections 64; }
http {
    log_format kx escape=none '\$request_method \$uri \$status \$body_bytes_sent "\$http_range" "\$http_if_range"';
    access_log $nginx_dir/access.log kx;
    client_body_temp_path $nginx_dir/tmp/body;
    proxy_temp_path $nginx_dir/tmp/proxy;
    fastcgi_temp_path $nginx_dir/tmp/fastcgi;
    uwsgi_temp_path $nginx_dir/tmp/uwsgi;
    scgi_temp_path $nginx_dir/tmp/scgi;
    include $site;
}
CONF
nginx -e "$nginx_dir/error.log" -p "$nginx_dir/" -c "$nginx_dir/nginx.conf" -t -q
nginx -e "$nginx_dir/error.log" -p "$nginx_dir/" -c "$nginx_dir/nginx.conf" -g "daemon off;" &
pids+=($!)
for _ in $(seq 100); do
  curl -s --cacert "$ca/ca.pem" -o /dev/null "$public/" && break
  sleep 0.1
done

echo "== the launcher"
program="$work/program"
mkdir -p "$program"
mapfile -t launcher_fonts < launcher/fonts/font-files.txt
for file in KXVantor "${launcher_fonts[@]}"; do cp -f "$bin/$file" "$program/"; done
bash scripts/write-launcher-config.sh "$program" "$public"
export KX_CA_FILE="$ca/ca.pem" KX_MACHINE_REGISTRY="$work/machine.db" KX_USER_REGISTRY="$work/user.db"
export KX_SYSTEM_DIR="$work/system" KX_WINDOWS_DIR="$work/windows"
mkdir -p "$KX_SYSTEM_DIR" "$KX_WINDOWS_DIR"
"$bin/kxreg" add 'HKLM\SOFTWARE\Kestrix\KXVantor\TrustedUpdateKeys' /v Web /d "$key" /f >/dev/null
# Something the placement cannot replace: a folder where busy.bin goes.
mkdir -p "$program/busy.bin/in-the-way"

launcher_pid=""
start_launcher() {  # the launcher, logged in as TESTER; sets launcher_pid
  "$program/KXVantor" >>"$work/launcher.log" 2>&1 &
  launcher_pid=$!
  local window
  window="$(await_window '"KX Vantor, version')" || fail "the launcher window did not appear"
  sleep 0.5
  xdotool windowfocus --sync "$window"
  for entry in WEB TESTER secret; do
    xdotool key ctrl+a; xdotool type --delay 20 "$entry"; xdotool key Tab
  done
  xdotool key Return
}
await_end() {  # await_end: the launcher ended by itself, within a minute
  for _ in $(seq 600); do
    kill -0 "$launcher_pid" 2>/dev/null || { wait "$launcher_pid" || true; return 0; }
    sleep 0.1
  done
  fail "the launcher did not end"
}

echo "-- start 1: slowed to 4 MB/s, killed at half of big.bin"
KX_DOWNLOAD_RATE_LIMIT=4000000 start_launcher
half=$((8 << 20))
held=0
for _ in $(seq 600); do
  held="$(stat -c %s "$program"/Temp/big.bin.*.kxpart 2>/dev/null || echo 0)"
  ((held < half)) || break
  sleep 0.02
done
kill -KILL "$launcher_pid"
wait "$launcher_pid" 2>/dev/null || true
((held >= half)) || fail "big.bin did not reach half its size"
echo "killed with $held bytes of big.bin kept"

echo "-- start 2: resumes big.bin, follows the redirect, cannot place busy.bin"
start_launcher
box="$(await_window '"INSTALLATION ERROR"')" || fail "no install error for busy.bin"
xdotool windowfocus --sync "$box" key Return
await_end

echo "-- start 3: the folder gone, busy.bin from its kept download"
rm -rf "$program/busy.bin"
start_launcher
await_end

echo "== checks"
for name in big.bin moved.bin busy.bin; do
  cmp -s "$files/$name" "$program/$name" || fail "$name was not placed as published"
  echo "$name placed, $(stat -c %s "$program/$name") bytes, its digest the row's"
done
log="$nginx_dir/access.log"
cat "$log"
size=$((16 << 20))
read -r -a second < <(grep ' /bo/web/BROKER/InstallFiles/1/big.bin ' "$log" | sed -n 2p)
[[ "${second[2]:-}" == 206 && "${second[4]:-}" =~ ^\"bytes=([0-9]+)-\"$ ]] ||
  fail "start 2 did not ask nginx for the rest of big.bin"
from="${BASH_REMATCH[1]}"
((from >= held && second[3] == size - from)) || fail "big.bin went on from $from, not from $held"
[[ "${second[5]}" == \"\"*\"\" ]] || fail "big.bin was not asked for under nginx's ETag"
echo "big.bin: cut after $from bytes, the rest ($((size - from)) bytes) came as 206 under ${second[5]}"
grep -q '^GET /bo/web/BROKER/InstallFiles/1/moved.bin 302 ' "$log" &&
  grep -q '^GET /elsewhere/moved.bin 200 ' "$log" || fail "moved.bin did not come through its redirect"
[[ "$(grep -c ' /bo/web/BROKER/InstallFiles/1/busy.bin ' "$log")" == 2 ]] &&
  grep -Eq "^GET /bo/web/BROKER/InstallFiles/1/busy.bin 416 [0-9]+ \"bytes=$((1 << 20))-\"" "$log" ||
  fail "busy.bin was not installed from its kept download"
grep -q '^POST /bo/web ' "$log" || fail "no remote call went through nginx"
grep -q '^GET /bo/web/BROKER/InstallFiles/INSTALL_1.minisig 200 ' "$log" ||
  fail "the signature of the install list did not come through nginx"
grep -q 'POST /bo/web 200' "$work/kxserver.log" || fail "kxserver did not answer the remote calls"
echo "All checks passed: a signed list, resume under nginx's ETag, a 302 followed, a kept download installed on 416."
