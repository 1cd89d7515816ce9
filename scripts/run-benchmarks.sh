#!/usr/bin/env bash
# The install run's benchmarks against kxserver on loopback (figures, not pass or fail):
#   (a) downloading and placing a 256 MB file, beside `curl -o` of the same URL
#   (b) the launcher's resident memory before a 1 GB install run and its peak during it
#   (c) a run over 10,000 rows that are all current, beside a loop of GetFileVersion, and whole
#       starts over them without and with the check of their signed list
#   (d) a 256 MB download cut at half (the launcher killed), then the next start, which goes on
#       where it stopped: the share of the file it transfers
#   scripts/run-benchmarks.sh [a|b|c|d ...]      (all four by default)
# Needs about 5 GB free in the build folder. KX_DEMO_BIN_DIR names an existing build's bin folder
# to use instead of building.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/default-build.sh
source scripts/serve-catalog.sh
which=("${@:-a b c d}")
which=(${which[*]})

work="$(mktemp -d "$(dirname "$bin")/bench-XXXXXX")"
finish() {
  stop_catalog_server
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
       bench_user C 3 "$work/c" --install-type 5 --sequence 100
       # The catalog signs its lists, so that the run can also be timed with their check.
       signing_key="$("$bin/kxserver" signing-key "$catalog")" ;;
    d) mkdir -p "$work/d"; head -c $((256 << 20)) /dev/urandom >"$work/d/cut256.bin"
       sha256sum <"$work/d/cut256.bin" >"$work/cut256.sha256"
       bench_user D 4 "$work/d" --version 1.0 ;;
  esac
done
rm -rf "$work/a" "$work/b" "$work/c" "$work/d"

# The server's log (serve.log) has a line per request with the body bytes it sent.
serve_catalog "$catalog"
program_dir="$work/program"
mkdir -p "$program_dir"
bash scripts/write-launcher-config.sh "$program_dir" "$base_url"

# (d): the first start, slowed to 200 MB/s so that the cut lands near the half, is killed once its
# download part holds half the file; the second start goes on from there. The server's log tells
# what the second start transferred.
cut_and_resume() {
  local size=$((256 << 20)) held=0 pid sent
  KX_DOWNLOAD_RATE_LIMIT=200000000 "$bin/install_bench" "$program_dir" install D >/dev/null 2>&1 &
  pid=$!
  while kill -0 "$pid" 2>/dev/null; do
    held="$(stat -c %s "$program_dir"/Temp/cut256.bin.*.kxpart 2>/dev/null || echo 0)"
    if ((held >= size / 2)); then kill -KILL "$pid"; break; fi
    sleep 0.005
  done
  wait "$pid" 2>/dev/null || true
  held="$(stat -c %s "$program_dir"/Temp/cut256.bin.*.kxpart 2>/dev/null || echo 0)"
  "$bin/install_bench" "$program_dir" install D
  sent="$(awk '$1 == "GET" && $2 ~ /cut256.bin$/ {bytes = $4} END {print bytes}' "$work/serve.log")"
  [[ "$(sha256sum <"$program_dir/cut256.bin")" == "$(cat "$work/cut256.sha256")" ]] ||
    { echo "the file placed is not the one published" >&2; return 1; }
  awk -v held="$held" -v sent="$sent" -v size="$size" 'BEGIN {
    printf "killed with %.1f%% of the file kept; the next start transferred %d bytes, %.1f%% of the file (target <= 55%%)\n",
      100 * held / size, sent, 100 * sent / size }'
}

for b in "${which[@]}"; do
  case "$b" in
    a) echo "(a) 256 MB from kxserver on loopback"
       "$bin/install_bench" "$program_dir" throughput A "$base_url/bo/bench/CLIENT/InstallFiles/1/big256.bin" ;;
    b) echo "(b) memory of a 1 GB install run"
       "$bin/install_bench" "$program_dir" memory B ;;
    c) echo "(c) 10,000 current rows, and the check of their signed list"
       "$bin/install_bench" "$program_dir" uptodate C "$signing_key" ;;
    d) echo "(d) 256 MB cut at half, then resumed"
       cut_and_resume ;;
  esac
done
