#!/usr/bin/env bash
# The tools at the speed of the disk, run by hand: convert (to AVI), copy --scrambled, merge
# --channel 1 (with and without --mp4) of one realistic recording (three channels, about 85 MB)
# against "cp" of the same bytes, each pair run alternately three times, and the read calls each
# tool makes (strace -c, where strace is installed).
#
# The page cache cannot be dropped without root rights over the whole machine: the recording is read
# twice before the runs, so every run reads it from memory (as cp does), and what is measured is the
# tools' own work, not the disk.
#
# Usage: bench/tools_bench.sh [build folder, default build] [card folder made by
#        "quillent-samplecard <folder> --realistic"; made in a temporary folder when not given]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
tool=$build/bin/quillent-tool
[ -x "$tool" ] || { echo "no $tool (build quillent-tool first)" >&2; exit 2; }
work=$(mktemp -d "${TMPDIR:-/tmp}/quillent-tools-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
card=${2:-}
if [ -z "$card" ]; then
    card=$work/card
    echo "making a realistic card (a few minutes)..."
    "$build/bin/quillent-samplecard" "$card" --realistic >/dev/null
fi
# The largest finished recording with three channels.
source=""
while read -r f; do
    if "$tool" info "$f" 2>/dev/null | grep -q "finished, indexed" &&
        "$tool" info "$f" 2>/dev/null | grep -q "3 channel"; then
        source=$f
        break
    fi
done < <(find "$card" -name '*.qmv' -size +40M -printf '%s %p\n' | sort -rn | cut -d' ' -f2-)
[ -n "$source" ] || { echo "no finished three-channel recording in $card" >&2; exit 2; }
bytes=$(stat -c %s "$source")
name=$(basename "$source")
echo "recording: $name, $((bytes / 1000000)) MB"
cat "$source" >/dev/null
cat "$source" >/dev/null

out=$work/out
# Runs one command with its outputs removed first; prints "wall user+sys" in seconds.
timed() {
    rm -rf "$out"
    mkdir -p "$out"
    local TIMEFORMAT='%R %U %S'
    local t
    t=$({ time "$@" >/dev/null 2>&1; } 2>&1)
    echo "$t" | awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }'
}
run() {
    case $1 in
    cp) timed cp "$source" "$out/" ;;
    convert) timed "$tool" convert --to "$out" "$source" ;;
    scrambled) timed "$tool" copy --scrambled "$source" "$out/copy.qmv" ;;
    merge) timed "$tool" merge --channel 1 --to "$out" "$source" ;;
    merge-mp4) timed "$tool" merge --channel 1 --mp4 --to "$out" "$source" ;;
    startup) timed "$tool" info "$source" ;;
    esac
}

declare -A best_wall best_cpu
ops=(convert scrambled merge merge-mp4 startup)
for op in cp "${ops[@]}"; do
    best_wall[$op]=999
    best_cpu[$op]=999
done
keep() { # op wall cpu
    best_wall[$1]=$(awk -v a="${best_wall[$1]}" -v b="$2" 'BEGIN { print (b < a ? b : a) }')
    best_cpu[$1]=$(awk -v a="${best_cpu[$1]}" -v b="$3" 'BEGIN { print (b < a ? b : a) }')
}
for round in 1 2 3; do
    for op in "${ops[@]}"; do
        read -r w c < <(run cp)
        keep cp "$w" "$c"
        read -r w2 c2 < <(run "$op")
        keep "$op" "$w2" "$c2"
        printf 'round %d: cp %.3f s (cpu %.3f) | %-9s %.3f s (cpu %.3f)\n' "$round" "$w" "$c" "$op" "$w2" "$c2"
    done
done

echo
echo "best of three (wall seconds; processor seconds, user + system):"
printf '  %-10s %7.3f s  cpu %6.3f s\n' cp "${best_wall[cp]}" "${best_cpu[cp]}"
for op in "${ops[@]}"; do
    printf '  %-10s %7.3f s  cpu %6.3f s  = %3.0f %% of cp'"'"'s speed (cpu: %3.0f %%)\n' "$op" \
        "${best_wall[$op]}" "${best_cpu[$op]}" \
        "$(awk -v a="${best_wall[cp]}" -v b="${best_wall[$op]}" 'BEGIN { print 100 * a / b }')" \
        "$(awk -v a="${best_cpu[cp]}" -v b="${best_cpu[$op]}" 'BEGIN { print 100 * a / b }')"
done
echo "  (startup: quillent-tool info, the cost of starting the program that every tool run pays)"
echo "targets: convert >= 70 % of cp's speed, scrambled copy >= 50 %"

if command -v strace >/dev/null; then
    echo
    echo "read calls (strace -c -e trace=pread64,read,copy_file_range):"
    for op in cp convert scrambled merge; do
        rm -rf "$out"
        mkdir -p "$out"
        case $op in
        cp) cmd=(cp "$source" "$out/") ;;
        convert) cmd=("$tool" convert --to "$out" "$source") ;;
        scrambled) cmd=("$tool" copy --scrambled "$source" "$out/copy.qmv") ;;
        merge) cmd=("$tool" merge --channel 1 --to "$out" "$source") ;;
        esac
        strace -f -c -e trace=pread64,read,copy_file_range -o "$work/strace" "${cmd[@]}" >/dev/null 2>&1 || true
        printf '  %-10s %s\n' "$op" "$(awk '$NF ~ /^(pread64|read|copy_file_range)$/ { printf "%s %s calls  ", $NF, $4 }' "$work/strace")"
    done
fi
