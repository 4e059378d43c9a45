#!/usr/bin/env bash
# The soak run: builds (installing what is missing) and drives the real program on a fast clock
# with 10,000 cell moves, 1,000 forced changes with time limits and 100 XML exports; prints the
# resident memory after warm-up and at the end, the workers' statistics and any lost command.
# ZENTROVA_SOAK_MOVES=N scales it (forced changes N/10, exports N/100).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build >/dev/null
export QT_QPA_PLATFORM=offscreen
exec build/bin/test_soak "$@"
