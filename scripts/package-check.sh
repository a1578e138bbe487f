#!/usr/bin/env bash
# Builds the Debian package from the Release build folder, checks it with
# lintian, installs it with apt, validates the installed desktop entry,
# metainfo and manual pages, runs the installed plaxon --version, starts the
# installed panel with -C on a copy of the installed examples under Xvfb
# against plaxon-station until its title says "full connected", asks the
# installed panel's web remote for its state after pairing with the code it
# printed, then purges the package and
# checks that nothing it installed is left.
# Installs system-wide: needs root or sudo. BUILD_DIR picks the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
build="${BUILD_DIR:-build}"
app_id=io.github.plaxon.Plaxon
title_timeout=15
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

fail() {
    echo "package-check: $*" >&2
    exit 1
}

work=$(mktemp -d)
station_pid=""
installed=""
cleanup() {
    [ -n "$station_pid" ] && kill "$station_pid" 2>/dev/null || true
    # A failed check must not leave the package on the machine.
    if [ -n "$installed" ] && dpkg-query -W plaxon >/dev/null 2>&1; then
        DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq plaxon >/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

echo "-- cpack -G DEB"
rm -f "$build"/plaxon_*.deb
(cd "$build" && cpack -G DEB >"$work/cpack.log") || { cat "$work/cpack.log"; fail "cpack failed"; }
debs=("$build"/plaxon_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one plaxon_*.deb in $build, found: ${debs[*]}"
deb=$(realpath "${debs[0]}")
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes, $(dpkg-deb -c "$deb" | grep -vc '^d') files," \
    "Installed-Size $(dpkg-deb -f "$deb" Installed-Size) KiB"
dpkg-deb -f "$deb" Depends Recommends Section Maintainer Homepage

echo "-- lintian (errors and warnings fail unless on packaging/lintian-allow.txt)"
lintian --fail-on error,warning --suppress-tags-from-file "$source_dir/packaging/lintian-allow.txt" "$deb" ||
    fail "lintian found errors or warnings that are not allowed"

echo "-- apt-get install"
# Slim images tell dpkg to drop documentation and manual pages; ours are part
# of what is checked (the examples live there), so they are let through.
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    -o Dpkg::Options::=--path-include=/usr/share/doc/plaxon/* \
    -o Dpkg::Options::=--path-include=/usr/share/man/man1/plaxon* \
    "$deb" >"$work/apt.log" || { cat "$work/apt.log"; fail "apt-get install failed"; }
installed=1
dpkg-query -L plaxon >"$work/files"

echo "-- validators on the installed files"
desktop-file-validate "/usr/share/applications/$app_id.desktop"
appstreamcli validate --no-net "/usr/share/metainfo/$app_id.metainfo.xml"
for page in plaxon plaxon-station; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man $page: $warnings"
done
echo "desktop entry, metainfo and manual pages valid"

echo "-- installed plaxon --version"
[ "$(command -v plaxon)" = /usr/bin/plaxon ] || fail "plaxon on PATH is $(command -v plaxon), not /usr/bin/plaxon"
# No display needed: the command line is read before any window.
version=$(env -u DISPLAY -u WAYLAND_DISPLAY plaxon --version)
echo "$version"
project_version=$(sed -n 's/^project(Plaxon VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
[ "$version" = "Plaxon $project_version" ] || fail "plaxon --version says '$version', the project is $project_version"

echo "-- installed plaxon -C on a copy of the examples, under Xvfb, against plaxon-station"
cp -r /usr/share/doc/plaxon/examples "$work/show"
plaxon-station 7001 7002 7003 7004 >"$work/station.out" 2>"$work/station.err" &
station_pid=$!
sleep 0.5
kill -0 "$station_pid" 2>/dev/null || { cat "$work/station.err"; fail "plaxon-station could not listen on 7001..7004"; }
# Started from / so that only -C can lead it to the copy.
(cd / && xvfb-run -a -s '-screen 0 1600x1000x24' bash -c '
    plaxon -C "$1" 2>"$2/panel.err" &
    pid=$!
    for ((i = 0; i < $3 * 10; ++i)); do
        title=$(xwininfo -root -tree | grep -o "\"Plaxon [^\"]*\"" | sort -u | tr "\n" " " || true)
        if [[ $title == *"(full connected)"* ]]; then
            echo "title after $((i / 10)).$((i % 10)) s: $title"
            kill $pid
            wait $pid || true
            exit 0
        fi
        kill -0 $pid 2>/dev/null || { echo "the panel ended early"; exit 1; }
        sleep 0.1
    done
    echo "last title: ${title:-none}"
    kill $pid
    exit 1' _ "$work/show" "$work" "$title_timeout") ||
    { cat "$work/panel.err" "$work/station.err"; fail "the title did not reach \"full connected\" in ${title_timeout} s"; }

echo "-- installed plaxon --remote: paired with the code it printed, then the state over HTTP"
QT_QPA_PLATFORM=offscreen plaxon -C "$work/show" --remote 127.0.0.1:0 >"$work/remote.out" 2>"$work/remote.err" &
remote_pid=$!
for ((i = 0; i < 100; ++i)); do
    grep -q '#pair=' "$work/remote.out" 2>/dev/null && break
    sleep 0.1
done
/usr/bin/python3 - "$(head -n 1 "$work/remote.out")" <<'PY' ||
import json, sys, time, urllib.request
base, code = sys.argv[1].split('/#pair=')
pair = urllib.request.Request(base + '/api/pair', data=json.dumps({'code': code}).encode(),
                              headers={'Content-Type': 'application/json'}, method='POST')
token = json.load(urllib.request.urlopen(pair, timeout=5))['token']
for _ in range(50):
    request = urllib.request.Request(base + '/api/state', headers={'Authorization': 'Bearer ' + token})
    state = json.load(urllib.request.urlopen(request, timeout=5))
    if state['linkState'] == 'full':
        print('remote state: linkState full, %d buttons shown' % sum(b['shown'] for b in state['buttons']))
        sys.exit(0)
    time.sleep(0.2)
sys.exit('the remote state stayed at linkState ' + state['linkState'])
PY
    { kill "$remote_pid"; cat "$work/remote.out" "$work/remote.err"; fail "the installed panel's web remote did not answer"; }
kill "$remote_pid"
wait "$remote_pid" 2>/dev/null || true

kill "$station_pid"
station_pid=""

echo "-- apt-get purge, then nothing of the package may be left"
DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq plaxon >"$work/apt.log" ||
    { cat "$work/apt.log"; fail "apt-get purge failed"; }
installed=""
! dpkg-query -W plaxon >/dev/null 2>&1 || fail "plaxon is still known to dpkg after the purge"
left=()
while IFS= read -r path; do
    [ "$path" = "/." ] && continue
    [ -e "$path" ] || [ -L "$path" ] || continue
    # A directory may stay when another package owns it too.
    if [ -d "$path" ] && [ ! -L "$path" ] && dpkg-query -S "$path" >/dev/null 2>&1; then
        continue
    fi
    left+=("$path")
done <"$work/files"
[ ${#left[@]} -eq 0 ] || fail "left after the purge: ${left[*]}"
echo "removed: none of the $(grep -vc '^/\.$' "$work/files") paths the package listed is left"
