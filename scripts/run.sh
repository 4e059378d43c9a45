#!/usr/bin/env bash
# Builds (installing what is missing) and runs the program on the simulated phone. With no display
# the program uses Qt's offscreen platform and says so. Arguments go to zentrova.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build
exec build/bin/zentrova "$@"
