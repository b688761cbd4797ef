#!/usr/bin/env bash
# One 1920 x 1080 picture with 8 area pairs, the whole run from the command
# line to the file on disk: vellora-render against the literal reference
# program (same loading and writing, the literal reference renderer).
#
#   render_end_to_end.sh BUILD_DIR [RUNS]
set -euo pipefail
build=${1:-build-bench}
runs=${2:-20}
render="$build/tools/vellora-render"
reference="$build/bench/reference_render"
scene=$(mktemp -d "${TMPDIR:-/tmp}/vellora-e2e.XXXXXX")
trap 'rm -rf "$scene"' EXIT
"$reference" --make-scene "$scene"

# Median wall time in milliseconds of RUNS runs of a command.
median_ms() {
    local n=$1
    shift
    local times=()
    for ((i = 0; i < n; i++)); do
        local start end
        start=$(date +%s%N)
        "$@" >/dev/null
        end=$(date +%s%N)
        times+=($(((end - start) / 1000)))
    done
    printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {printf "%.1f", a[int((NR+1)/2)]/1000}'
}

ours=$(median_ms "$runs" "$render" "$scene/scene.mor" -o "$scene/ours.bmp" --picture 13)
theirs=$(median_ms 3 "$reference" "$scene/scene.mor" "$scene/reference.bmp" 25 13)
cmp -s "$scene/ours.bmp" "$scene/reference.bmp" || { echo "the two pictures differ" >&2; exit 1; }
png=$(median_ms "$runs" "$render" "$scene/scene.mor" -o "$scene/ours.png" --picture 13)
libs=$(ldd "$render" | wc -l)
echo "== render_end_to_end (1920 x 1080, 8 pairs, median wall time)"
echo "vellora-render .bmp   ${ours} ms  ($runs runs, $libs shared libraries)"
echo "vellora-render .png   ${png} ms"
echo "literal reference     ${theirs} ms  (3 runs; same bytes as vellora-render's .bmp)"
awk -v a="$theirs" -v b="$ours" 'BEGIN {printf "speed-up              %.1f x\n", a / b}'
