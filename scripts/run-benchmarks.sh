#!/usr/bin/env bash
# The install run's benchmarks against kxserver on loopback (figures, not pass or fail):
#   (a) downloading and placing a 256 MB file, beside `curl -o` of the same URL
#   (b) the launcher's resident memory before a 1 GB install run and its peak during it
#   (c) a run over 10,000 rows that are all current, beside a loop of GetFileVersion
#   scripts/run-benchmarks.sh [a|b|c ...]      (all three by default)
# Needs about 4 GB free in the build folder. KX_DEMO_BIN_DIR names an existing build's bin folder
# to use instead of building.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/default-build.sh
which=("${@:-a b c}")
which=(${which[*]})

work="$(mktemp -d "$(dirname "$bin")/bench-XXXXXX")"
server_pid=""
finish() {
  if [[ -n "$server_pid" ]]; then kill -TERM "$server_pid" 2>/dev/null || true; wait "$server_pid" || true; fi
  rm -rf "$work"
}
trap finish EXIT
export KX_MACHINE_REGISTRY="$work/machine.db" KX_USER_REGISTRY="$work/user.db"
export KX_SYSTEM_DIR="$work/system" KX_WINDOWS_DIR="$work/windows"
catalog="$work/catalog"
"$bin/kxserver" init "$catalog" --password-memory 8 --password-passes 1
"$bin/kxserver" add-server "$catalog" Bench /bo/bench

# One user per benchmark, each with a CLIENT deployment (no install-group stamps, so every start
# checks every file) of its own install group.
bench_user() {  # bench_user LOGIN GROUP FOLDER [publish options]
  local login="$1" group="$2" folder="$3"; shift 3
  "$bin/kxserver" add-user "$catalog" BENCH "$login" bench
  "$bin/kxserver" publish "$catalog" --group "$group" "$folder" "$@" >/dev/null
  local id
  id="$("$bin/kxserver" add-deployment "$catalog" --type CLIENT --description "$login" \
        --path /bo/bench --check-for-updates Y --group "$group")"
  "$bin/kxserver" grant "$catalog" BENCH "$login" "$id"
}
for b in "${which[@]}"; do
  case "$b" in
    a) mkdir -p "$work/a"; head -c $((256 << 20)) /dev/urandom >"$work/a/big256.bin"
       bench_user A 1 "$work/a" --version 1.0 ;;
    b) mkdir -p "$work/b"; head -c $((1 << 30)) /dev/urandom >"$work/b/big1g.bin"
       bench_user B 2 "$work/b" --version 1.0 ;;
    c) mkdir -p "$work/c"
       for i in $(seq 10000); do echo "file $i" >"$work/c/f$i.dat"; echo 1.0.0.0 >"$work/c/f$i.dat.ver"; done
       bench_user C 3 "$work/c" --install-type 5 --sequence 100 ;;
  esac
done
rm -rf "$work/a" "$work/b" "$work/c"

"$bin/kxserver" serve "$catalog" --port 0 >"$work/serve.out" 2>/dev/null &
server_pid=$!
base_url=""
for _ in $(seq 200); do
  base_url="$(head -n 1 "$work/serve.out")"; [[ -n "$base_url" ]] && break; sleep 0.05
done
program_dir="$work/program"
mkdir -p "$program_dir"
bash scripts/write-launcher-config.sh "$program_dir" "$base_url"

for b in "${which[@]}"; do
  case "$b" in
    a) echo "(a) 256 MB from kxserver on loopback"
       "$bin/install_bench" "$program_dir" throughput A "$base_url/bo/bench/CLIENT/InstallFiles/1/big256.bin" ;;
    b) echo "(b) memory of a 1 GB install run"
       "$bin/install_bench" "$program_dir" memory B ;;
    c) echo "(c) 10,000 current rows"
       "$bin/install_bench" "$program_dir" uptodate C ;;
  esac
done
