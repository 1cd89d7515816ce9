# Sourced by the scripts that run kxserver (after default-build.sh, which sets `bin`):
#   serve_catalog DIR   starts `kxserver serve DIR` on a free loopback port in the background,
#                       its output and log (serve.out, serve.log) beside DIR, and sets
#                       `server_pid` and `base_url`; ends the script with the server's log when
#                       it does not start.
#   stop_catalog_server stops it (SIGTERM) and waits for its end; nothing when none runs.
server_pid=""

stop_catalog_server() {
  if [[ -n "$server_pid" ]]; then
    kill -TERM "$server_pid" 2>/dev/null || true
    wait "$server_pid" || true
    server_pid=""
  fi
}

serve_catalog() {
  local folder
  folder="$(dirname "$1")"
  "$bin/kxserver" serve "$1" --port 0 >"$folder/serve.out" 2>"$folder/serve.log" &
  server_pid=$!
  base_url=""
  for _ in $(seq 200); do
    base_url="$(head -n 1 "$folder/serve.out")"
    if [[ -n "$base_url" ]]; then return; fi
    sleep 0.05
  done
  echo "kxserver did not start:" >&2
  cat "$folder/serve.log" >&2
  exit 1
}
