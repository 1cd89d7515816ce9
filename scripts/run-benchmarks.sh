#!/usr/bin/env bash
# The install run's benchmarks against kxserver on loopback (figures, not pass or fail):
#   (a) downloading and placing a 256 MB file, beside `curl -o` of the same URL
#   (b) the launcher's resident memory before a 1 GB install run and its peak during it
#   (c) a run over 10,000 rows that are all current, beside a loop of GetFileVersion, and whole
#       starts over them without and with the check of their signed list
#   (d) a 256 MB download cut at half (the launcher killed), then the next start, which goes on
#       where it stopped: the share of the file it transfers
#   (e) a patched update of KXVantor from the build of the commit before HEAD (built in a temporary
#       worktree, or KX_BENCH_OLDER_KXVANTOR names such a program) to this one: the bytes it
#       transfers against the whole file compressed (both stripped, as the package ships them),
#       and the run's time against a run that downloads the whole file
#   (f) the launcher's anonymous memory while it patches a 1 GB file
#   scripts/run-benchmarks.sh [a|b|c|d|e|f ...]  (a to d by default)
# Needs about 5 GB free in the build folder (f: 7 GB). KX_DEMO_BIN_DIR names an existing build's
# bin folder to use instead of building.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/default-build.sh
source scripts/serve-catalog.sh
which=("${@:-a b c d}")
which=(${which[*]})

work="$(mktemp -d "$(dirname "$bin")/bench-XXXXXX")"
finish() {
  stop_catalog_server
  if [[ -d "$work/older" ]]; then git worktree remove --force "$work/older"; fi
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
    e) older="${KX_BENCH_OLDER_KXVANTOR:-}"
       if [[ -z "$older" ]]; then
         git worktree add --detach "$work/older" HEAD~1 >/dev/null
         (cd "$work/older" && cmake --preset default >/dev/null &&
            cmake --build --preset default --target KXVantor >/dev/null)
         older="$work/older/build/default/bin/KXVantor"
       fi
       mkdir -p "$work/e" "$work/builds/e"
       # Stripped, as the package ships it.
       strip -o "$work/e/KXVantor" "$older"; strip -o "$work/builds/e/KXVantor" "$bin/KXVantor"
       bench_user E 5 "$work/e" --version 1.0 ;;
    f) mkdir -p "$work/f" "$work/builds/f"; head -c 1000000000 /dev/urandom >"$work/f/big1g.bin"
       bench_user F 6 "$work/f" --version 1.0
       # The next version: 4 MB changed in the middle, 1 MB added at the end.
       cp "$work/f/big1g.bin" "$work/builds/f/big1g.bin"
       head -c $((4 << 20)) /dev/urandom |
         dd of="$work/builds/f/big1g.bin" bs=1M seek=500 conv=notrunc status=none
       head -c $((1 << 20)) /dev/urandom >>"$work/builds/f/big1g.bin" ;;
  esac
done
rm -rf "$work/a" "$work/b" "$work/c" "$work/d" "$work/e" "$work/f"

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

# The body bytes the server sent for the latest GET of a path ending in $1.
bytes_sent() {
  awk -v tail="$1" '$1 == "GET" && substr($2, length($2) - length(tail) + 1) == tail {bytes = $4}
    END {print bytes + 0}' "$work/serve.log"
}

# (e) and (f): the first start installs the older version whole, the next version is published
# (kxserver prints the patches it made), and the next start patches.
patched_update() {  # patched_update LOGIN GROUP FOLDER [publish options]
  "$bin/install_bench" "$program_dir" install "$1" >/dev/null
  # Above any version a program carries itself, so that the file counts as outdated.
  "$bin/kxserver" publish "$catalog" --group "$2" "$3" --version 65000.0 "${@:4}" | grep -v '^published'
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
    e) echo "(e) a patched update of KXVantor, $(stat -c %s "$work/builds/e/KXVantor") bytes"
       patched_update E 5 "$work/builds/e"
       patch_time="$("$bin/install_bench" "$program_dir" install E | awk '{print $3}')"
       patch="$(bytes_sent .kxpatch)"
       [[ "$(sha256sum <"$program_dir/KXVantor")" == "$(sha256sum <"$work/builds/e/KXVantor")" ]] ||
         { echo "the patched file is not the one published" >&2; exit 1; }
       rm "$program_dir/KXVantor"
       full_time="$("$bin/install_bench" "$program_dir" install E | awk '{print $3}')"
       full="$(bytes_sent KXVantor)"
       gz="$(gzip -9 -c "$work/builds/e/KXVantor" | wc -c)"
       awk -v p="$patch" -v f="$full" -v gz="$gz" -v pt="$patch_time" -v ft="$full_time" 'BEGIN {
         printf "patch %d bytes; the whole file %d bytes, gzip -9 %d bytes (as --compress serves it): %.1f%% of that (target < 25%%)\n", p, f, gz, 100 * p / gz
         printf "run with the patch %.3f s, with the whole file (uncompressed) %.3f s\n", pt, ft }' ;;
    f) echo "(f) anonymous memory while patching a 1 GB file"
       patched_update F 6 "$work/builds/f"
       "$bin/install_bench" "$program_dir" anonymous F
       echo "patch $(bytes_sent .kxpatch) bytes transferred"
       [[ "$(sha256sum <"$program_dir/big1g.bin")" == "$(sha256sum <"$work/builds/f/big1g.bin")" ]] ||
         { echo "the patched file is not the one published" >&2; exit 1; } ;;
  esac
done
