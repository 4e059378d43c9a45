#!/usr/bin/env bash
# Builds (installing what is missing) and runs every test.
# ZENTROVA_SANITIZE=thread or =address builds into its own folder with that sanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build
opts=()
case "${ZENTROVA_SANITIZE:-}" in
    thread) build=build-tsan; opts=(-DZENTROVA_TSAN=ON -DZENTROVA_BENCH=OFF)
            export TSAN_OPTIONS="suppressions=$PWD/scripts/tsan.supp ${TSAN_OPTIONS:-}" ;;
    address) build=build-asan; opts=(-DZENTROVA_ASAN=ON -DZENTROVA_BENCH=OFF) ;;
    "") ;;
    *) echo "ZENTROVA_SANITIZE must be thread or address" >&2; exit 2 ;;
esac
scripts/setup.sh "$build" "${opts[@]}"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 300
