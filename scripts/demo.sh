#!/usr/bin/env bash
# Builds what is missing and starts the panel on the bundled demo
# installation, with plaxon-station standing in for the three demo stations
# on 127.0.0.1 ports 7001..7004. The records the panel sends appear on the
# station's output. Without a display the panel runs under Xvfb for a few
# seconds and leaves a screenshot (its path is printed at the end).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target plaxon plaxon-station

station="$root/build/tools/station/plaxon-station"
panel="$root/build/app/plaxon"
"$station" 7001 7002 7003 7004 &
station_pid=$!
trap 'kill $station_pid 2>/dev/null || true' EXIT

cd demo
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    "$panel"
else
    shot="$root/build/demo-screenshot.png"
    xvfb-run -a -s '-screen 0 1600x1000x24' bash -c "
        '$panel' & pid=\$!
        sleep \${PLAXON_DEMO_SECONDS:-6}
        import -window root '$shot'
        kill \$pid"
    echo "No display: the panel ran under Xvfb; screenshot in $shot"
fi
