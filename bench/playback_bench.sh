#!/usr/bin/env bash
# Playback figures of the engine on the realistic sample recording (3 channels: 1920x1080 and two
# 1280x720, 30 fps, 60 s), run by hand on an otherwise quiet machine:
#   - open to the first picture of every channel, seek to the new picture;
#   - CPU (share of one core) and missing pictures while playing at rate 1.0 and 2.0;
#   - the CPU ratio against ffmpeg decoding the video of the converted AVI for the same seconds.
# Usage: bench/playback_bench.sh [build folder, default build] [seconds per rate, default 20]
# The sample card is written once to $QUILLENT_BENCH_CARD (default /tmp/quillent-bench-card).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
SECONDS_PER_RATE=${2:-20}
CARD=${QUILLENT_BENCH_CARD:-/tmp/quillent-bench-card}
BIN=$BUILD/bin

cmake --build "$BUILD" -j2 --target playback_bench quillent-tool quillent-samplecard >/dev/null
if [ ! -d "$CARD" ]; then
    echo "writing the realistic sample card to $CARD (takes minutes)"
    "$BIN/quillent-samplecard" "$CARD.part" --realistic >/dev/null
    mv "$CARD.part" "$CARD"
fi
RECORDING=""
for f in $(find "$CARD" -name '*.qmv' | sort); do
    if "$BIN/quillent-tool" info "$f" | grep -q "video: *3 channel"; then
        RECORDING=$f
        break
    fi
done
[ -n "$RECORDING" ] || { echo "no 3-channel recording in $CARD" >&2; exit 1; }

echo "recording: $RECORDING"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
QUILLENT_AUDIO_SINK=${QUILLENT_AUDIO_SINK:-fakesink} "$BUILD/bench/playback_bench" "$RECORDING" "$SECONDS_PER_RATE"

CONVERTED=$(mktemp -d)
trap 'rm -rf "$CONVERTED"' EXIT
"$BIN/quillent-tool" convert --to "$CONVERTED" "$RECORDING" >/dev/null
AVI=$(find "$CONVERTED" -name '*.avi' | head -1)
TIMEFORMAT="%U %S"
CPU=$( { time ffmpeg -v error -t "$SECONDS_PER_RATE" -i "$AVI" -map 0:v -f null - ; } 2>&1 | tail -1)
echo "ffmpeg decode of the same ${SECONDS_PER_RATE} s of video: $(echo "$CPU" | awk '{printf "%.1f CPU-s", $1 + $2}')"
echo "(engine CPU-s at rate 1.0 above / ffmpeg CPU-s = the ratio; target at most 1.5)"
# The same work as the engine's: every channel decoded, scaled to the bench's 640x360 views and
# turned into the views' BGRx pictures (a decode alone gives nothing that can be shown).
STREAMS=$(ffprobe -v error -select_streams v -show_entries stream=index -of csv=p=0 "$AVI" | wc -l)
FILTER=""
MAPS=()
for ((i = 0; i < STREAMS; i++)); do
    FILTER+="[0:v:$i]scale=640:360:flags=bilinear,format=bgr0[v$i];"
    MAPS+=(-map "[v$i]")
done
CPU=$( { time ffmpeg -v error -t "$SECONDS_PER_RATE" -i "$AVI" -filter_complex "${FILTER%;}" "${MAPS[@]}" \
    -f null - ; } 2>&1 | tail -1)
echo "ffmpeg decode + scale to 640x360 BGRx, same seconds: $(echo "$CPU" | awk '{printf "%.1f CPU-s", $1 + $2}')"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
