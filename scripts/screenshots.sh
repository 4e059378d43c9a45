#!/usr/bin/env bash
# Writes PNG screenshots of the main window at 240x320, 480x640, 640x480 and 240x240 into
# docs/screenshots/, with the simulated phone in a typical state: a place found by its location
# area and its time frame, battery at 60 %, a good signal; then the Wi-Fi button's popup and the
# time-limit popup over it, as a user opens them. Each size runs on a fresh temporary home, offscreen. The shipped
# theme is used where it has a skin for the size, else the test skin of tests/data/skins.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${BUILD_DIR:-build}
if [[ ! -x $build/bin/zentrova || ! -x $build/bin/zentrova-device || ! -x $build/bin/test_dialogs ]]; then
    cmake --build "$build" -j2 --target zentrova zentrova-device ZentrovaDLL test_dialogs
fi
out=$root/docs/screenshots
mkdir -p "$out"
work=$(mktemp -d /tmp/zentrova-shots-XXXXXX)
pid=
cleanup() {
    if [[ -n $pid ]] && kill -0 "$pid" 2>/dev/null; then
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# The resources to install: the shipped ones, with the test skin where they have none.
resources=$work/resources
cp -r resources "$resources"
for class in vga qvga square; do
    if [[ ! -f $resources/themes/default/$class/skin.xml ]]; then
        mkdir -p "$resources/themes/default/$class"
        cp -r tests/data/skins/default/$class/. "$resources/themes/default/$class/"
    fi
done

export QT_QPA_PLATFORM=offscreen ZENTROVA_BOX_ANSWER=no ZENTROVA_RESOURCES=$resources
for size in 240x320 480x640 640x480 240x240; do
    home=$work/home-$size
    device() { "$build/bin/zentrova-device" --home "$home" "$@" >/dev/null; }
    "$build/bin/zentrova" --home "$home" --install >/dev/null
    "$build/bin/zentrova" --home "$home" --screen "$size" >"$work/zentrova-$size.out" 2>&1 &
    pid=$!
    for _ in $(seq 1 300); do
        if "$build/bin/zentrova-device" --home "$home" app 2>/dev/null | grep -q '^initiated=1'; then
            break
        fi
        sleep 0.1
    done
    device place add "Office"
    device frame add "Office" all 00:00 23:59 --name "Working hours"
    device cell assign 1001 "Office"
    device cell 1001 101
    device battery 60 --no-ac
    device signal -65 -110 -50
    device command 112   # refresh, as the button would
    sleep 1
    device screenshot "$out/main_window_$size.png"
    # Wait for a popup of the given class to be open.
    popup() {
        for _ in $(seq 1 100); do
            if "$build/bin/zentrova-device" --home "$home" app 2>/dev/null | grep -qx "popup=$1"; then
                return 0
            fi
            sleep 0.1
        done
        echo "no popup $1 at $size" >&2
        return 1
    }
    device click 105     # the Wi-Fi button
    popup "Options Window"
    device screenshot "$out/popup_wifi_$size.png"
    device click 1       # on: asks for how long
    popup "Options Window limit"
    device screenshot "$out/popup_time_limit_$size.png"
    device click 109
    echo "wrote docs/screenshots/popup_wifi_$size.png and popup_time_limit_$size.png"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    pid=
    echo "wrote docs/screenshots/main_window_$size.png"
done

# The settings sheet's pages and the dialogs, offscreen from their tests.
ZENTROVA_SHOTS_DIR=$out "$build/bin/test_dialogs" >/dev/null
echo "wrote the sheet's pages and the dialogs to docs/screenshots/"
