#!/usr/bin/env bash
# Whole-program playback figures: the real window under a virtual display plays the realistic
# sample recording (3 channels: 1920x1080 and two 1280x720, 30 fps, 60 s) at 1.0x, 2.0x and 4.0x,
# and mpv plays the same three streams side by side from the converted file in the same run.
# For every rate it prints the CPU of the whole process tree (share of one core), the pictures
# shown and dropped, and the memory of the tree (proportional set size, per process).
#
# Where the window's memory goes while it plays the realistic recording on a machine without a
# GPU (about 305 MiB of proportional set size against mpv's 156): the program's own process about
# 205 MiB, of which about 90 MiB are anonymous (the three decoders' reference pictures and pools,
# the screens' pictures, the window's backing store) and about 85 MiB are the mapped libraries
# (the web engine's alone about 36 MiB); the web engine's helper processes about 100 MiB (the page
# renderer 64). Where no GPU device exists OpenGL is not loaded at all (its software renderer took
# another 35 MiB).
#
# Usage: bench/window_bench.sh [build folder, default build] [seconds per rate, default 20]
#   QUILLENT_BENCH_PROGRAMS  programs to measure, in turn (default: <build>/bin/quillent); give
#                            two builds to compare them in one run
#   QUILLENT_BENCH_CARD      where the realistic sample card is written once
#                            (default /tmp/quillent-bench-card)
#   DISPLAY                  an X display to use; without one, Xvfb (and openbox when there) are
#                            started on :97 and stopped at the end
# Needs Xvfb, xdotool and mpv (`apt-get install xvfb xdotool mpv openbox`): benchmark tools, not
# the program's dependencies; run as root the script installs the missing ones itself.
#
# The window's picture counts come from the program's QUILLENT_PLAYBACK_STATS lines (shown:
# distinct pictures the screens painted; dropped: pictures the video sinks skipped as late plus
# pictures replaced before they were painted; late: the first kind alone). The screens paint at
# most once per display refresh, so above 60 pictures a second per channel (2.0x and more of a
# 30-fps recording on a 60-Hz display) the rest are dropped by design, as mpv's are. mpv's come from its properties through a small
# script (its three streams are one composed picture, counted three times). A rate is measured
# from near the start for as long as the 60-s recording lasts at it (4.0x: about 11 s), so
# compare the CPU shares.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
WINDOW_SECONDS=${2:-20}
CARD=${QUILLENT_BENCH_CARD:-/tmp/quillent-bench-card}
BIN=$BUILD/bin
PROGRAMS=${QUILLENT_BENCH_PROGRAMS:-$BIN/quillent}
RATES=${QUILLENT_BENCH_RATES:-"1.0 2.0 4.0"}
WARMUP=3

need=()
for tool in Xvfb xdotool mpv; do
    command -v "$tool" >/dev/null || need+=("$tool")
done
if [ ${#need[@]} -gt 0 ]; then
    if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null; then
        packages=()
        for tool in "${need[@]}"; do
            case $tool in Xvfb) packages+=(xvfb) ;; *) packages+=("$tool") ;; esac
        done
        DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${packages[@]}" openbox >/dev/null
    else
        echo "missing: ${need[*]} (apt-get install xvfb xdotool mpv openbox)" >&2
        exit 1
    fi
fi

cmake --build "$BUILD" -j2 --target quillent quillent-tool quillent-samplecard skin >/dev/null
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

WORK=$(mktemp -d)
STARTED=()
cleanup() {
    for pid in "${STARTED[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    rm -rf "$WORK"
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
    export DISPLAY=:97
    Xvfb "$DISPLAY" -screen 0 1366x768x24 -nolisten tcp >/dev/null 2>&1 &
    STARTED+=($!)
    sleep 2
    if command -v openbox >/dev/null; then
        openbox >/dev/null 2>&1 &
        STARTED+=($!)
        sleep 1
    fi
fi

# The process and everything it started.
tree() {
    local pids=("$1") i=0
    while [ $i -lt ${#pids[@]} ]; do
        for child in $(cat /proc/"${pids[$i]}"/task/*/children 2>/dev/null); do
            pids+=("$child")
        done
        i=$((i + 1))
    done
    echo "${pids[@]}"
}
# CPU seconds (user + system, clock ticks) of a process tree so far.
tree_ticks() {
    local total=0
    for pid in $(tree "$1"); do
        local fields
        fields=$(sed 's/.*) //' /proc/"$pid"/stat 2>/dev/null) || continue
        set -- $fields
        total=$((total + ${12} + ${13}))
    done
    echo "$total"
}
# Memory of a process tree: total PSS and RSS in MiB, and PSS per process name.
tree_memory() {
    local pss=0 rss=0 parts=""
    for pid in $(tree "$1"); do
        local p r name
        p=$(awk '/^Pss:/ {print $2}' /proc/"$pid"/smaps_rollup 2>/dev/null) || continue
        r=$(awk '/^Rss:/ {print $2}' /proc/"$pid"/smaps_rollup 2>/dev/null) || continue
        [ -n "$p" ] || continue
        name=$(tr '\0' ' ' </proc/"$pid"/cmdline | awk '{n=$1; sub(".*/", "", n); for (i = 2; i <= NF; i++) if ($i ~ /^--type=/) {t=$i; sub("--type=", "", t); n=n "/" t} print n}')
        pss=$((pss + p))
        rss=$((rss + r))
        parts+="$(printf '%s %d; ' "$name" $((p / 1024)))"
    done
    printf 'PSS %d MiB (RSS %d MiB): %s\n' $((pss / 1024)) $((rss / 1024)) "${parts%; }"
}
HZ=$(getconf CLK_TCK)
last_stat() { grep "$1" "$2" | tail -1; }
field() { sed -n "s/.* $1=\([0-9]*\).*/\1/p" <<<"$2"; }

# The window's "+" of the speed control: clicked `count` times.
speed_up() {
    local window=$1 count=$2
    eval "$(xdotool getwindowgeometry --shell "$window")"
    for ((k = 0; k < count; k++)); do
        xdotool mousemove $((X + 369)) $((Y + 600)) click 1
        sleep 0.3
    done
}
clicks_for() { case $1 in 1.0) echo 0 ;; 2.0) echo 1 ;; 4.0) echo 4 ;; esac; }
# Seconds to measure at a rate from a media position (ms): the rest of the 60-s recording, at most
# the window asked for.
seconds_at() { awk -v r="$1" -v p="$2" -v w="$WINDOW_SECONDS" 'BEGIN {s = int((60 - p / 1000) / r) - 1; print (s < w ? s : w)}'; }

echo "recording: $RECORDING"
echo "display: $DISPLAY; load before: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
printf '%-28s %5s %6s %8s %8s %8s %8s %s\n' "player" "rate" "secs" "CPU %" "shown" "dropped" "late" "memory"

for program in $PROGRAMS; do
    for rate in $RATES; do
        run=$WORK/run-$RANDOM
        mkdir -p "$run/tmp" "$run/rt" "$run/config"
        chmod 700 "$run/rt"
        log=$run/stats.log
        (cd "$(dirname "$program")" && TMPDIR=$run/tmp XDG_RUNTIME_DIR=$run/rt XDG_CONFIG_HOME=$run/config \
            QUILLENT_PLAYBACK_STATS=1 QUILLENT_AUDIO_SINK=${QUILLENT_AUDIO_SINK:-fakesink} \
            exec "./$(basename "$program")" "$RECORDING" >"$log" 2>&1) &
        pid=$!
        # Playing: positions advance.
        for ((t = 0; t < 60; t++)); do
            sleep 0.5
            position=$(field position "$(last_stat playback-stats "$log")")
            [ "${position:-0}" -gt 0 ] && break
        done
        window=$(xdotool search --sync --onlyvisible --pid "$pid" --name QUILLENT | head -1)
        speed_up "$window" "$(clicks_for "$rate")"
        # Back to the start of the recording (the left end of the position bar).
        xdotool mousemove $((X + 155)) $((Y + 548)) click 1
        sleep "$WARMUP"
        a=$(last_stat playback-stats "$log")
        secs=$(seconds_at "$rate" "$(field position "$a")")
        t0=$(tree_ticks "$pid")
        sleep "$secs"
        t1=$(tree_ticks "$pid")
        sleep 1.1
        b=$(last_stat playback-stats "$log")
        memory=$(tree_memory "$pid")
        kill "$pid"
        wait "$pid" 2>/dev/null || true
        painted=$(($(field painted "$b") - $(field painted "$a")))
        presented=$(($(field presented "$b") - $(field presented "$a")))
        skipped=$(($(field dropped "$b") - $(field dropped "$a")))
        elapsed=$(($(field ms "$b") - $(field ms "$a")))
        # Counts over the stats lines' interval, scaled to the CPU window.
        shown=$(awk -v n="$painted" -v e="$elapsed" -v s="$secs" 'BEGIN {printf "%d", n * s * 1000 / e}')
        dropped=$(awk -v n="$((skipped + presented - painted))" -v e="$elapsed" -v s="$secs" 'BEGIN {printf "%d", n * s * 1000 / e}')
        late=$(awk -v n="$skipped" -v e="$elapsed" -v s="$secs" 'BEGIN {printf "%d", n * s * 1000 / e}')
        cpu=$(awk -v d="$((t1 - t0))" -v hz="$HZ" -v s="$secs" 'BEGIN {printf "%.0f", 100 * d / hz / s}')
        printf '%-28s %5s %6s %8s %8s %8s %8s %s\n' "$(basename "$program")" "$rate" "$secs" "$cpu" "$shown" "$dropped" "$late" "$memory"
    done
done

CONVERTED=$WORK/converted
mkdir -p "$CONVERTED"
"$BIN/quillent-tool" convert --to "$CONVERTED" "$RECORDING" >/dev/null
AVI=$(find "$CONVERTED" -name '*.avi' | head -1)
# With composed streams mpv has no frame number: the pictures due are the media time played
# times the frame rate (30).
cat >"$WORK/stats.lua" <<'EOF'
mp.add_periodic_timer(1, function()
    io.stderr:write(string.format("mpv-stats ms=%d media=%d dropped=%d decoderdropped=%d\n",
        math.floor(mp.get_time() * 1000), math.floor((mp.get_property_number("time-pos") or 0) * 1000),
        mp.get_property_number("frame-drop-count") or 0, mp.get_property_number("decoder-frame-drop-count") or 0))
end)
EOF
# The three streams at about the size of the window's screens, side by side.
LAVFI="[vid1]scale=426:240[a];[vid2]scale=426:240[b];[vid3]scale=426:240[c];[a][b][c]hstack=inputs=3[vo]"
for rate in $RATES; do
    log=$WORK/mpv-$rate.log
    mpv --no-config --vo=x11 --hwdec=no --ao=null --keep-open=yes --speed="$rate" --lavfi-complex="$LAVFI" \
        --script="$WORK/stats.lua" --really-quiet --msg-level=all=no "$AVI" 2>"$log" &
    pid=$!
    sleep $((WARMUP + 1))
    a=$(last_stat mpv-stats "$log")
    secs=$(seconds_at "$rate" "$(field media "$a")")
    t0=$(tree_ticks "$pid")
    sleep "$secs"
    t1=$(tree_ticks "$pid")
    sleep 1.1
    b=$(last_stat mpv-stats "$log")
    memory=$(tree_memory "$pid")
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    elapsed=$(($(field ms "$b") - $(field ms "$a")))
    frames=$((($(field media "$b") - $(field media "$a")) * 30 / 1000))
    drops=$(($(field dropped "$b") - $(field dropped "$a") + $(field decoderdropped "$b") - $(field decoderdropped "$a")))
    shown=$(awk -v n="$frames" -v d="$drops" -v e="$elapsed" -v s="$secs" 'BEGIN {printf "%d", 3 * (n - d) * s * 1000 / e}')
    dropped=$(awk -v d="$drops" -v e="$elapsed" -v s="$secs" 'BEGIN {printf "%d", 3 * d * s * 1000 / e}')
    cpu=$(awk -v d="$((t1 - t0))" -v hz="$HZ" -v s="$secs" 'BEGIN {printf "%.0f", 100 * d / hz / s}')
    printf '%-28s %5s %6s %8s %8s %8s %8s %s\n' "mpv" "$rate" "$secs" "$cpu" "$shown" "$dropped" "$dropped" "$memory"
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
