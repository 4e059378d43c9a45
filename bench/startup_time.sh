#!/usr/bin/env bash
# Start-up time of the program to its initiated flag, beside a bare Qt Widgets window's first
# show: starts zentrova RUNS times on a fresh temporary home (the first run also installs it),
# reads its figures from zentrova-device app, stops it; runs zentrova-bare-window as many times;
# prints every figure, the medians (the program's without its installing first run) and their
# ratios. Two clocks:
#   - launch: from this script's launch of the process to the end of its start-up, in the wall
#     clock to the microsecond (both programs report the moment; the script keeps its own launch);
#   - kernel: from the process's start as the kernel gives it, in clock ticks of 10 ms. The start
#     is rounded down to its tick, which adds 0 to 10 ms (5 on average) to every figure and so
#     brings the ratio nearer 1 than it is; kept beside the other for comparison with old figures.
# The program is left alone while it starts: it is asked for its figures 0.4 s after its launch,
# as a query is a process of its own and one every few milliseconds would take a core from it.
# Usage: bench/startup_time.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build=${1:-build}
runs=${2:-11}
bin=$(cd "$build/bin" && pwd)
home=$(mktemp -d /tmp/zentrova-startup-XXXXXX)
trap 'rm -rf "$home"' EXIT
export ZENTROVA_HOME=$home QT_QPA_PLATFORM=offscreen ZENTROVA_BOX_ANSWER=no
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
# Milliseconds, to a tenth, from a launch time in microseconds to a reported one.
since() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", (b - a) / 1000 }'; }
now_us() { echo "${EPOCHREALTIME/./}"; }
# The wait before asking is a read with a time-out on a pipe nobody writes to: a sleep command
# would be one more process starting on the other core while the program starts.
mkfifo "$home/.wait"
exec 9<>"$home/.wait"
kernel=()
launch=()
bare_kernel=()
bare_launch=()
# The two programs take turns, so that a slow minute of the machine weighs on both alike.
for i in $(seq 1 "$runs"); do
    t0=$(now_us)
    "$bin/zentrova" >/dev/null 2>&1 &
    pid=$!
    out=""
    read -r -t 0.4 -u 9 || true
    for _ in $(seq 1 500); do
        out=$("$bin/zentrova-device" app 2>/dev/null || true)
        grep -q '^initiated=1' <<<"$out" && break
        out=""
        read -r -t 0.01 -u 9 || true
    done
    kill "$pid"; wait "$pid" || true
    [ -n "$out" ] || { echo "run $i: the program did not start" >&2; exit 1; }
    kernel+=("$(sed -n 's/^startup_ms=//p' <<<"$out")")
    launch+=("$(since "$t0" "$(sed -n 's/^startup_at_us=//p' <<<"$out")")")
    t0=$(now_us)
    out=$("$bin/zentrova-bare-window" 2>/dev/null)
    bare_kernel+=("$(sed -n 's/^startup_ms=//p' <<<"$out")")
    bare_launch+=("$(since "$t0" "$(sed -n 's/^startup_at_us=//p' <<<"$out")")")
done
report() {  # name, program figures (all runs), bare figures
    local name=$1
    local -n p=$2 b=$3
    local pm bm
    pm=$(printf '%s\n' "${p[@]:1}" | median)
    bm=$(printf '%s\n' "${b[@]}" | median)
    echo "$name clock: program per run (the first installs the home): ${p[*]}"
    echo "$name clock: bare window per run: ${b[*]}"
    awk -v n="$name" -v p="$pm" -v b="$bm" -v r="$runs" \
        'BEGIN { printf "%s clock: median program (runs 2..%d) %s ms, bare window %s ms, ratio %.2f\n", n, r, p, b, (b > 0 ? p / b : 0) }'
}
report launch launch bare_launch
report kernel kernel bare_kernel
