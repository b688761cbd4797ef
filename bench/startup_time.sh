#!/usr/bin/env bash
# Start-up: the whole process of `vellora-render --help`, of one 1920 x 1080
# picture with 8 pairs (vellora-render P.mor -o x.bmp --picture 13), and of
# the window from the start to its first time on the screen
# (VELLORA_EXIT_WHEN_SHOWN=1, on a virtual X server), with the number of
# shared libraries each program loads. Median wall times of interleaved runs;
# with a second build directory (e.g. an older commit's) both are measured
# side by side.
#
#   startup_time.sh BUILD_DIR [OTHER_BUILD_DIR] [RUNS]
set -euo pipefail
if [[ -z "${DISPLAY:-}" ]]; then
    exec "$(dirname "$0")/../scripts/with-xvfb.sh" "$0" "$@"
fi
builds=("$1")
if [[ -n "${2:-}" && -d "$2" ]]; then builds+=("$2"); fi
runs=${3:-30}
scene=$(mktemp -d "${TMPDIR:-/tmp}/vellora-start.XXXXXX")
trap 'rm -rf "$scene"' EXIT
"$1/bench/reference_render" --make-scene "$scene" >/dev/null

now_us() { echo $(($(date +%s%N) / 1000)); }

# times[build,what] collects one run per round, the rounds interleave builds.
declare -A times
for ((r = 0; r < runs; r++)); do
    for b in "${!builds[@]}"; do
        build=${builds[$b]}
        t0=$(now_us)
        "$build/tools/vellora-render" --help >/dev/null
        t1=$(now_us)
        "$build/tools/vellora-render" "$scene/scene.mor" -o "$scene/p$b.bmp" --picture 13
        t2=$(now_us)
        VELLORA_EXIT_WHEN_SHOWN=1 timeout 30 "$build/src/app/vellora" >/dev/null 2>&1
        t3=$(now_us)
        times[$b,help]+="$((t1 - t0)) "
        times[$b,picture]+="$((t2 - t1)) "
        times[$b,window]+="$((t3 - t2)) "
    done
done

median() { tr ' ' '\n' | grep . | sort -n | awk '{a[NR]=$1} END {printf "%.1f", a[int((NR+1)/2)]/1000}'; }
libs() { ldd "$1" | grep -c '=>\|ld-linux'; }

echo "== startup_time (median wall time of $runs interleaved runs, whole process)"
for b in "${!builds[@]}"; do
    build=${builds[$b]}
    echo "-- $build"
    echo "vellora-render --help        $(median <<<"${times[$b,help]}") ms  ($(libs "$build/tools/vellora-render") shared libraries)"
    echo "vellora-render one picture   $(median <<<"${times[$b,picture]}") ms"
    echo "window first shown           $(median <<<"${times[$b,window]}") ms  ($(libs "$build/src/app/vellora") shared libraries)"
done
