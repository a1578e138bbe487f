#!/usr/bin/env bash
# The Windows installer end to end, under Wine on this machine: installs
# build-win/plaxon-<version>-win64.exe silently into a folder of its own
# (/S /D=, a folder without spaces: /D= takes no quotes), checks what it put there and its entry in the installed programs,
# runs the installed plaxon.exe --version, then the installed panel on a copy
# of the demo under Xvfb against the Linux plaxon-station on loopback until
# its title says "full connected", clicks a launch button with xdotool and
# checks the records the stations got, uninstalls silently and checks that
# nothing is left. BUILD_DIR picks the Windows build folder, LINUX_BUILD_DIR
# the Linux one (for plaxon-station). SHOT=file keeps a screenshot.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
build="${BUILD_DIR:-build-win}"
linux_build="${LINUX_BUILD_DIR:-build}"
title_timeout=40
project_version=$(sed -n 's/^project(Plaxon VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
installer="$source_dir/$build/plaxon-$project_version-win64.exe"
station="$source_dir/$linux_build/tools/station/plaxon-station"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Plaxon'

fail() {
    echo "windows-e2e: $*" >&2
    exit 1
}
[ -f "$installer" ] || fail "no installer at $installer (scripts/windows.sh package makes it)"
[ -x "$station" ] || fail "no Linux plaxon-station at $station"

work=$(mktemp -d)
station_pid=""
xvfb_pid=""
installed=""
cleanup() {
    [ -n "$station_pid" ] && kill "$station_pid" 2>/dev/null || true
    wineserver -k 2>/dev/null || true
    # A failed check must not leave the installation in the prefix.
    if [ -n "$installed" ] && [ -e "$target_unix/Uninstall.exe" ]; then
        timeout 60 wine "$target_unix/Uninstall.exe" /S >/dev/null 2>&1 || true
        timeout 60 wineserver -w 2>/dev/null || true
    fi
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A display for the panel; Wine draws its windows there.
display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 1600x1000x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
for ((i = 0; i < 50; ++i)); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
eval "$(scripts/windows.sh env)"
unset WINEPATH WINEQT_PLUGIN_PATH # the installed programs must find their own

target='C:\PlaxonTest'
target_unix="$WINEPREFIX/drive_c/PlaxonTest"
rm -rf "$target_unix"
echo "-- silent install: $(basename "$installer") /S /D=$target"
wine "$installer" /S "/D=$target"
wineserver -w
installed=1
for f in plaxon.exe plaxon-station.exe Qt6Core.dll Qt6Widgets.dll qt.conf plugins/platforms/qwindows.dll \
    translations/qtbase_cs.qm examples/PLAXONDATA/PlaxonCfg.xml Uninstall.exe; do
    [ -e "$target_unix/$f" ] || fail "the installer did not install $f"
done
echo "installed $(find "$target_unix" -type f | wc -l) files, $(du -sk "$target_unix" | cut -f1) KiB"
wine reg query "$uninstall_key" /v DisplayName >"$work/reg.txt" 2>&1 || fail "no entry in the installed programs"
grep -o 'Plaxon.*' "$work/reg.txt" | head -n 1
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Plaxon"
[ -f "$menu/Plaxon.lnk" ] && [ -f "$menu/Uninstall.lnk" ] || fail "Start-menu shortcuts missing in $menu"

echo "-- installed plaxon.exe --version"
version=$(wine "$target_unix/plaxon.exe" --version)
[ "$version" = "Plaxon $project_version" ] || fail "plaxon.exe --version says '$version'"
echo "$version"

echo "-- installed panel on a copy of the demo, against plaxon-station on loopback"
cp -r "$target_unix/examples" "$work/show"
"$station" 7001 7002 7003 7004 >"$work/station.out" 2>"$work/station.err" &
station_pid=$!
sleep 0.5
kill -0 "$station_pid" 2>/dev/null || { cat "$work/station.err"; fail "plaxon-station could not listen"; }
show_win=$(winepath -w "$work/show")
wine "$target_unix/plaxon.exe" -C "$show_win" >"$work/panel.out" 2>"$work/panel.err" &
panel_pid=$!
window=""
title=""
for ((i = 0; i < title_timeout * 10; ++i)); do
    window=$(xdotool search --name '^Plaxon' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && title=$(xdotool getwindowname "$window" 2>/dev/null || true)
    [[ $title == *"(full connected)"* ]] && break
    kill -0 "$panel_pid" 2>/dev/null || { cat "$work/panel.err"; fail "the panel ended early"; }
    sleep 0.1
done
[[ $title == *"(full connected)"* ]] || { cat "$work/station.err"; fail "title stayed '${title:-none}'"; }
echo "title after $((i / 10)).$((i % 10)) s: $title"

# The first launch button ("Welcome"): its place in the window, as the
# panel lays the demo out under Wine (LAUNCH_X and LAUNCH_Y move it).
eval "$(xdotool getwindowgeometry --shell "$window")"
before=$(grep -c 'CMD_' "$work/station.out" || true)
xdotool mousemove --window "$window" "${LAUNCH_X:-75}" "${LAUNCH_Y:-82}" click 1
for ((i = 0; i < 50; ++i)); do
    [ "$(grep -c 'CMD_' "$work/station.out" || true)" -gt "$before" ] && break
    sleep 0.1
done
sleep 0.5
[ -n "${SHOT:-}" ] && import -window root "$SHOT"
records=$(tail -n +"$((before + 1))" "$work/station.out" | grep 'CMD_' || true)
[ -n "$records" ] || fail "the click sent no record (window ${WIDTH}x${HEIGHT})"
echo "records at the stations after the click:"
echo "$records"
ports=$(echo "$records" | grep -o 'port [0-9]*' | sort -u | wc -l)
[ "$ports" -eq 4 ] || fail "the launch reached $ports of the demo's 4 stations"
kill "$panel_pid" 2>/dev/null || true
wineserver -k 2>/dev/null || true
kill "$station_pid"
station_pid=""

echo "-- silent uninstall, then nothing may be left"
eval "$(scripts/windows.sh env)"
wine "$target_unix/Uninstall.exe" /S
# The uninstaller copies itself away and runs from there; wait for it.
wineserver -w
installed=""
[ ! -e "$target_unix" ] || fail "left after uninstalling: $(find "$target_unix" | head)"
[ ! -e "$menu" ] || fail "Start-menu folder left: $menu"
! wine reg query "$uninstall_key" >/dev/null 2>&1 || fail "the installed programs entry is left"
echo "uninstalled: folder, shortcuts and the installed programs entry are gone"
