#!/usr/bin/env bash
# Builds (installing what is missing) and runs the program on the simulated phone. With no display
# the program uses Qt's offscreen platform and says how to see it over VNC. Arguments go to zentrova.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build
# Until the shipped theme has a skin for every screen class, the test skin stands in for the
# missing ones (installed into a new home at its first start, or with zentrova --install).
if [[ -z ${ZENTROVA_RESOURCES:-} ]]; then
    missing=0
    for class in vga qvga square; do
        [[ -f resources/themes/default/$class/skin.xml ]] || missing=1
    done
    if [[ $missing == 1 ]]; then
        resources=build/resources-with-test-skin
        rm -rf "$resources"
        cp -r resources "$resources"
        for class in vga qvga square; do
            if [[ ! -f $resources/themes/default/$class/skin.xml ]]; then
                mkdir -p "$resources/themes/default/$class"
                cp -r tests/data/skins/default/$class/. "$resources/themes/default/$class/"
            fi
        done
        export ZENTROVA_RESOURCES=$PWD/$resources
        echo "run.sh: the shipped theme lacks skins; using the test skin (zentrova --install adds it to an existing home)"
    fi
fi
exec build/bin/zentrova "$@"
