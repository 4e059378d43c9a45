#!/usr/bin/env bash
# Builds the libFuzzer programs of tests/fuzz with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz/ and runs each one for SECONDS (default 60) on a
# scratch copy of its seed corpus. Prints runs and findings per target; exits non-zero when any
# target found a crash, a leak or an undefined-behaviour report (the inputs stay in the scratch
# folder, named in the output).
set -u
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ZENTROVA_FUZZ_BUILD:-$root/build-fuzz}
jobs=${ZENTROVA_FUZZ_JOBS:-2}

if ! command -v clang++ >/dev/null 2>&1; then
    echo "clang is missing: installing it from the Debian packages"
    sudo_cmd=""
    if [ "$(id -u)" != 0 ] && command -v sudo >/dev/null 2>&1; then sudo_cmd=sudo; fi
    $sudo_cmd apt-get update && $sudo_cmd apt-get install -y clang || { echo "cannot install clang"; exit 2; }
fi

launcher=()
if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" \
    -DZENTROVA_FUZZ=ON -DZENTROVA_BENCH=OFF >/dev/null || exit 2
cmake --build "$build" -j"$jobs" --target fuzz_all || exit 2

scratch=$(mktemp -d "${TMPDIR:-/tmp}/zentrova-fuzz.XXXXXX")
status=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export ASAN_OPTIONS=detect_leaks=1
printf '%-16s %12s  %s\n' target runs findings
for program in "$build"/bin/fuzz_*; do
    name=${program##*/fuzz_}
    corpus=$scratch/$name/corpus
    findings=$scratch/$name/findings
    mkdir -p "$corpus" "$findings"
    cp -r "$root/tests/fuzz/corpus/$name/." "$corpus/" 2>/dev/null
    # Inputs that once crashed seed the run too (read only: new inputs go to the scratch corpus).
    seeds=()
    [ -d "$root/tests/fuzz/regressions/$name" ] && seeds=("$root/tests/fuzz/regressions/$name")
    log=$scratch/$name/log.txt
    "$program" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$findings/" "$corpus" "${seeds[@]}" >"$log" 2>&1
    rc=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    [ -z "$runs" ] && runs=$(grep -o '^#[0-9]*' "$log" | tail -1 | tr -d '#')
    count=$(find "$findings" -type f | wc -l)
    if [ "$rc" != 0 ] || [ "$count" != 0 ] || grep -q 'runtime error:' "$log"; then
        status=1
        printf '%-16s %12s  %s finding(s) in %s (log %s)\n' "$name" "${runs:-?}" "$count" "$findings" "$log"
        grep -m3 -E 'ERROR: |runtime error:' "$log" | sed 's/^/    /'
    else
        printf '%-16s %12s  none\n' "$name" "${runs:-?}"
    fi
done
echo "scratch folder: $scratch"
exit $status
