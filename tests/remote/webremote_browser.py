#!/usr/bin/env python3
"""The web remote in a real browser, against the built plaxon and plaxon-station.

Copies the demo into a temporary directory with its stations on free loopback
ports and 20 buttons, starts one plaxon-station per station and `plaxon
--remote 127.0.0.1:0`, and checks in headless Chromium: the page without a
code asks for one and refuses a wrong one; the printed address (with its
pairing code) pairs the page, which then opens by reload and by bookmark
without the code; a tap on a launch button reaches the station as CMD_RUN
(once, even when tapped twice at once) and its toast names the caption
without covering the banner; brightness goes to the ticked stations only; a
station that goes away turns the banner from full to partial within 2 s and
crosses out its markers, which keep 3:1 contrast; a launch the panel refuses
shows its reason; at 1024x768, 768x1024 and 390x844 the page has no sideways
scroll, no caption split inside a word, no marker over a caption; the page
asked nothing of any other host and broke no content rule; after plaxon is
restarted on the same port with 40 buttons the page reconnects by itself with
its device token, and fits the three sizes again; with the settings dialog
open on the panel (plaxon on a private Xvfb display, opened by keyboard
through xdotool) the banner says so; with plaxon gone it says so in red. At
the end the browser's profile folder holds the API token in no file, the
device token nowhere but the page's local storage, and the pairing code its
history kept no longer pairs.

Usage: webremote_browser.py PLAXON PLAXON_STATION DEMO_DIR [--screenshot DIR] [--page-shots DIR]
With --screenshot the panel runs on the session's display (e.g. under
xvfb-run) and DIR gets remote.png (the page, tablet-sized) and panel.png.
With --page-shots DIR gets page-WxH.png of the page with 40 buttons at each size.
Exits non-zero with a message on the first failure; it never skips.
"""

import argparse
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.error
import urllib.request
from urllib.parse import urlsplit

try:
    from selenium import webdriver
    from selenium.common.exceptions import WebDriverException
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
except ImportError as error:  # the test must fail, not skip, without its tools
    sys.exit(f"webremote_browser: FAIL: python3-selenium is needed ({error})")

CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"
WINDOW = (1024, 768)
START_S = 10          # plaxon prints its address, a station is listening
CONNECT_S = 10        # the panel connects to every station
RECORD_S = 5          # a record tapped on the page reaches the station
BANNER_S = 2          # the banner follows a lost station
RECONNECT_S = 8       # the page is live again after plaxon restarts
REPEAT_QUIET_S = 0.6  # a second record from a double tap would have come by now
VIEWPORTS = ((1024, 768), (768, 1024), (390, 844))
MIN_MARKER_CONTRAST = 3.0
CODE_FORM = r"[2-9A-HJKMNP-Z]{8}"
DEVICE_KEY = "plaxon-device"
SETTINGS_BANNER = "Settings open on the panel: stations disconnected"
EXTRA_CAPTIONS = ("Intermission announcements", "Backstage camera", "Supercalifragilisticexpialidocious",
                  "Sponsor reel")


class Failure(Exception):
    pass


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(what, check, timeout):
    """Polls check() until it returns something true; fails with `what` after timeout seconds."""
    end = time.monotonic() + timeout
    while True:
        value = check()
        if value:
            return value
        if time.monotonic() > end:
            raise Failure(f"{what}: not within {timeout} s")
        time.sleep(0.05)


class Process:
    """A child whose standard output is collected line by line as it comes."""

    def __init__(self, name, argv, **kwargs):
        self.name = name
        self.lines = []
        self.proc = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, **kwargs)
        self.errors = []
        threading.Thread(target=self._read, args=(self.proc.stdout, self.lines), daemon=True).start()
        threading.Thread(target=self._read, args=(self.proc.stderr, self.errors), daemon=True).start()

    @staticmethod
    def _read(stream, into):
        for line in stream:
            into.append(line.rstrip("\n"))

    def matching(self, pattern):
        return [line for line in list(self.lines) if re.search(pattern, line)]

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
        self.proc.wait(timeout=10)

    def alive(self):
        return self.proc.poll() is None

    def stderr_tail(self):
        return "\n".join(self.errors[-15:])


def make_show(work, demo, stations):
    """The demo's PLAXONDATA and programs with each station's ports replaced by free ones."""
    shutil.copytree(os.path.join(demo, "PLAXONDATA"), os.path.join(work, "PLAXONDATA"))
    shutil.copytree(os.path.join(demo, "programs"), os.path.join(work, "programs"))
    path = os.path.join(work, "PLAXONDATA", "PlaxonCfg.xml")
    with open(path, encoding="utf-8") as f:
        config = f.read()
    blocks = config.split("<PC>")
    if len(blocks) != 5:
        raise Failure(f"the demo settings should hold 4 <PC> blocks, found {len(blocks) - 1}")
    for i, ports in enumerate(stations):
        block = blocks[i + 1]
        block = re.sub(r"<SOCKET>[^<]*</SOCKET>", f"<SOCKET>{','.join(map(str, ports))}</SOCKET>", block)
        block = re.sub(r"<ADDRESS>[^<]*</ADDRESS>", "<ADDRESS>127.0.0.1</ADDRESS>", block)
        blocks[i + 1] = block
    with open(path, "w", encoding="utf-8") as f:
        f.write("<PC>".join(blocks))


def write_button_set(work, demo, count):
    """The demo's button set with its first `count` buttons shown: the demo's own, and
    for the empty places captions with long words, on PC1."""
    with open(os.path.join(demo, "PLAXONDATA", "Demo show.PUC"), encoding="utf-8") as f:
        head, *blocks = f.read().split("<BUTTON>")
    out = []
    for i, block in enumerate(blocks):
        if i < count and "<ENABLE>0</ENABLE>" in block:
            block = block.replace("<ENABLE>0</ENABLE>", "<ENABLE>1</ENABLE>")
            block = block.replace("<NAME></NAME>", f"<NAME>{EXTRA_CAPTIONS[i % len(EXTRA_CAPTIONS)]}</NAME>", 1)
            block = block.replace("<PROGRAM></PROGRAM>", f"<PROGRAM>Show\\Extra {i + 1}</PROGRAM>", 1)
        elif i >= count:
            block = block.replace("<ENABLE>1</ENABLE>", "<ENABLE>0</ENABLE>")
        out.append(block)
    with open(os.path.join(work, "PLAXONDATA", "Demo show.PUC"), "w", encoding="utf-8", newline="") as f:
        f.write("<BUTTON>".join([head] + out))


def enabled_stations(config_path):
    with open(config_path, encoding="utf-8") as f:
        blocks = f.read().split("<PC>")[1:]
    return [i + 1 for i, b in enumerate(blocks) if re.search(r"<ENABLE>\s*1\s*</ENABLE>", b)]


def start_panel(plaxon, work, listen, env):
    panel = Process("plaxon", [plaxon, "-C", work, "--remote", listen], env=env)
    url = wait_for("plaxon printing the web remote's address",
                   lambda: next((l for l in panel.lines if l.startswith("http://")), None)
                   or (not panel.alive() and "dead"), START_S)
    if url == "dead":
        raise Failure(f"plaxon ended (status {panel.proc.returncode}):\n{panel.stderr_tail()}")
    if not re.fullmatch(r"http://127\.0\.0\.1:\d+/#pair=" + CODE_FORM, url):
        raise Failure(f"plaxon printed an unexpected address: {url!r}")
    return panel, url


def start_browser(work):
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--disable-dev-shm-usage", f"--window-size={WINDOW[0]},{WINDOW[1]}"):
        options.add_argument(flag)
    options.add_argument("--user-data-dir=" + os.path.join(work, "chromium"))
    options.set_capability("goog:loggingPrefs", {"performance": "ALL", "browser": "ALL"})
    driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
    # The page itself tablet-sized, whatever the window around it takes.
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                           {"width": WINDOW[0], "height": WINDOW[1], "deviceScaleFactor": 1, "mobile": False})
    return driver


def banner(driver):
    return driver.execute_script(
        "const b = document.getElementById('banner'); return b ? [b.dataset.state, b.textContent] : null;")


def wait_banner(driver, wanted, timeout, what):
    try:
        return wait_for(what, lambda: banner(driver)[0] in wanted and banner(driver), timeout)
    except Failure as failure:
        raise Failure(f"{failure} (banner is {banner(driver)})") from None


def check_hosts(driver, origin):
    """Every request the page made, WebSockets included, went to its own host and port.

    The browser's own start-up traffic (its first tab, before the page) is
    told apart by the document that made the request."""
    seen = []
    for entry in driver.get_log("performance"):
        message = json.loads(entry["message"])["message"]
        params = message.get("params", {})
        if message.get("method") == "Network.webSocketCreated":
            seen.append(params["url"])
        elif message.get("method") == "Network.requestWillBeSent":
            if urlsplit(params.get("documentURL", "")).netloc == origin:
                seen.append(params["request"]["url"])
    seen += driver.execute_script("return performance.getEntriesByType('resource').map(e => e.name);")
    if not any(u.startswith("ws:") for u in seen) or not any(u.endswith("/assets/remote.js") for u in seen):
        raise Failure(f"the browser's log lacks the page's own script and WebSocket: the check would see nothing "
                      f"({seen})")
    foreign = sorted({u for u in seen if urlsplit(u).netloc != origin})
    if foreign:
        raise Failure("the page made requests to other hosts: " + ", ".join(foreign))
    return len(seen)


def check_console(driver, expected=()):
    """No content-security or loading error in the page's console, but for
    the expected ones (refused WebSocket attempts while plaxon is down, a
    refusal the test asked for)."""
    severe = [e["message"] for e in driver.get_log("browser")
              if e["level"] == "SEVERE" and not any(text in e["message"] for text in expected)]
    if severe:
        raise Failure("the page's console has errors:\n  " + "\n  ".join(severe))


def check_panel(panel):
    """The panel is still running and no sanitizer of an instrumented build spoke up."""
    if not panel.alive():
        raise Failure(f"plaxon ended (status {panel.proc.returncode}):\n{panel.stderr_tail()}")
    reports = [line for line in panel.errors if "Sanitizer" in line or "runtime error:" in line]
    if reports:
        raise Failure("plaxon's sanitizers reported:\n  " + "\n  ".join(reports[:10]))


def post_pair(origin, code):
    """POST /api/pair as a page would; the status."""
    request = urllib.request.Request(f"http://{origin}/api/pair", data=json.dumps({"code": code}).encode(),
                                     headers={"Content-Type": "application/json"}, method="POST")
    try:
        with urllib.request.urlopen(request, timeout=5) as reply:
            return reply.status
    except urllib.error.HTTPError as error:
        return error.code


def stored_token(driver):
    return driver.execute_script(f"return localStorage.getItem('{DEVICE_KEY}');")


LAYOUT_PROBE = """
const doc = document.documentElement;
const rect = (e) => e.getBoundingClientRect();
const meet = (a, b) => a.left < b.right - 0.5 && b.left < a.right - 0.5 && a.top < b.bottom - 0.5 && b.top < a.bottom - 0.5;
const grid = rect(document.getElementById('grid'));
const out = {width: doc.scrollWidth, viewport: doc.clientWidth, buttons: 0, split: [], overflow: [], covered: [],
             outside: [], columns: getComputedStyle(document.getElementById('grid')).gridTemplateColumns.split(' ').length};
for (const b of document.querySelectorAll('#grid .launch')) {
  if (b.hidden) continue;
  out.buttons += 1;
  const c = b.querySelector('.caption');
  const r = rect(b);
  if (r.left < grid.left - 0.5 || r.right > grid.right + 0.5) out.outside.push(b.dataset.index);
  if (c.scrollWidth > c.clientWidth + 1 || c.scrollHeight > c.clientHeight + 1) out.overflow.push(c.textContent);
  for (const m of b.querySelectorAll('.marker'))
    if (meet(rect(m), rect(c))) out.covered.push(c.textContent);
  const node = c.firstChild;
  if (!node) continue;
  const words = /\S+/g;
  let w;
  while ((w = words.exec(node.data))) {
    const range = document.createRange();
    range.setStart(node, w.index);
    range.setEnd(node, w.index + w[0].length);
    const lines = new Set([...range.getClientRects()].filter((q) => q.width > 0).map((q) => Math.round(q.top)));
    if (lines.size > 1) out.split.push(w[0]);
  }
}
return out;
"""


def set_viewport(driver, width, height):
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                           {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": False})


def check_layout(driver, count, shots=None):
    """At each size: no sideways scroll, every shown button inside the grid, no
    caption split inside a word or spilling out of its face, no marker over a caption."""
    figures = []
    for width, height in VIEWPORTS:
        set_viewport(driver, width, height)
        # Columns and captions follow a resize in the next frames.
        found = wait_for(f"the page laid out at {width}x{height}",
                         lambda: (lambda r: r["viewport"] == width and r["buttons"] == count and r)(
                             driver.execute_script(LAYOUT_PROBE)), BANNER_S)
        time.sleep(0.2)
        found = driver.execute_script(LAYOUT_PROBE)
        problems = []
        if found["width"] > width:
            problems.append(f"the page is {found['width']} px wide")
        for key, what in (("split", "words split across lines"), ("overflow", "captions spilling out"),
                          ("covered", "captions under a marker"), ("outside", "buttons outside the grid")):
            if found[key]:
                problems.append(f"{what}: {found[key][:5]}")
        if problems:
            raise Failure(f"{count} buttons at {width}x{height}: " + "; ".join(problems))
        figures.append(f"{width}x{height}: {found['width']} px wide, {found['columns']} columns")
        if shots:
            driver.save_screenshot(os.path.join(shots, f"page-{width}x{height}.png"))
    set_viewport(driver, *WINDOW)
    print(f"{count} buttons: " + "; ".join(figures))


def contrast(pair):
    def luminance(rgb):
        channels = [int(v) / 255 for v in re.findall(r"[\d.]+", rgb)[:3]]
        linear = [c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4 for c in channels]
        return 0.2126 * linear[0] + 0.7152 * linear[1] + 0.0722 * linear[2]
    light, dark = sorted((luminance(pair[0]), luminance(pair[1])), reverse=True)
    return (light + 0.05) / (dark + 0.05)


def check_unreachable_markers(driver, pc):
    """PC`pc`'s markers, now unreachable, are struck through and keep their contrast."""
    marks = wait_for(f"PC{pc}'s markers shown as unreachable", lambda: driver.execute_script(f"""
        return [...document.querySelectorAll('#grid .launch:not([hidden]) .marker.pc{pc}')].map(m => {{
            const s = getComputedStyle(m), strike = getComputedStyle(m, '::after');
            return [m.classList.contains('unreachable'), s.color, s.backgroundColor, strike.content,
                    parseFloat(strike.height) || 0];
        }});""") or None, BANNER_S)
    if not all(m[0] for m in marks):
        raise Failure(f"PC{pc} went away but not all its markers say so: {marks}")
    worst = min(contrast((m[1], m[2])) for m in marks)
    if worst < MIN_MARKER_CONTRAST:
        raise Failure(f"unreachable markers have {worst:.2f}:1 contrast, below {MIN_MARKER_CONTRAST}:1")
    if any(m[3] in ("none", "normal") or m[4] <= 0 for m in marks):
        raise Failure(f"unreachable markers are not struck through: {marks[0]}")
    print(f"unreachable markers: {worst:.2f}:1 contrast, struck through")


def check_toast(driver, wanted):
    """A toast that says `wanted` and leaves the banner uncovered."""
    toast = wait_for(f"a toast saying {wanted!r}", lambda: driver.execute_script("""
        const t = document.getElementById('toast');
        return t.hidden ? null : t.textContent;""") or None, BANNER_S)
    if wanted not in toast:
        raise Failure(f"the toast should say {wanted!r}: {toast!r}")
    overlap = driver.execute_script("""
        const a = document.getElementById('toast').getBoundingClientRect();
        const b = document.getElementById('banner').getBoundingClientRect();
        return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;""")
    if overlap:
        raise Failure(f"the toast {toast!r} covers the banner")
    return toast


def check_transport_differs(driver):
    looks = driver.execute_script("""
        return ['play', 'pause', 'stop'].map(id => {
            const b = getComputedStyle(document.getElementById(id));
            const i = getComputedStyle(document.querySelector('#' + id + ' .icon'));
            return [b.backgroundColor, i.width + ' ' + i.height + ' ' + i.borderLeftWidth + ' ' + i.backgroundColor];
        });""")
    for part in (0, 1):
        if len({look[part] for look in looks}) != 3:
            raise Failure(f"PLAY, PAUSE and STOP look alike: {looks}")


def check_profile(profile, api_token, device_token, origin):
    """After the browser closed: the API token is in no file of its profile, the
    device token only in its local storage, and a pairing code the profile kept
    (its history) no longer pairs."""
    codes = set()
    device_files = []
    for folder, _, names in os.walk(profile):
        for name in names:
            path = os.path.join(folder, name)
            try:
                with open(path, "rb") as f:
                    data = f.read()
            except OSError:
                continue
            if api_token.encode() in data or api_token.encode("utf-16-le") in data:
                raise Failure(f"the API token is in the browser's {os.path.relpath(path, profile)}")
            if device_token.encode() in data or device_token.encode("utf-16-le") in data:
                device_files.append(os.path.relpath(path, profile))
            codes.update(m.decode() for m in re.findall(rb"#pair=(" + CODE_FORM.encode() + rb")", data))
    elsewhere = [f for f in device_files if not f.startswith(os.path.join("Default", "Local Storage"))]
    if elsewhere:
        raise Failure(f"the device token is outside the page's local storage: {elsewhere}")
    if not codes:
        raise Failure("the browser's profile kept no pairing address: the history check would see nothing")
    for code in sorted(codes):
        status = post_pair(origin, code)
        if status != 401:
            raise Failure(f"the pairing code {code} from the browser's history answered {status}, not 401")
    print(f"profile: API token in no file, device token only in {device_files or 'memory'}, "
          f"{len(codes)} pairing code(s) from history refused")


class Display:
    """A private Xvfb display, for a panel that must take keys from xdotool."""

    def __init__(self):
        read, write = os.pipe()
        self.proc = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24",
                                      "-nolisten", "tcp"], pass_fds=(write,), stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as f:
            number = f.readline().strip()
        if not number:
            raise Failure("Xvfb did not start")
        self.name = f":{number}"

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
        self.proc.wait(timeout=10)


def open_settings(display, panel):
    """Opens the panel's settings dialog by keyboard, as an operator without a
    mouse would: in the 5x8 layout the settings button is the last control, so
    Shift+Tab from the first one reaches it."""
    env = dict(os.environ, DISPLAY=display.name)
    window = wait_for("the panel's window on the display", lambda: subprocess.run(
        ["xdotool", "search", "--sync", "--onlyvisible", "--pid", str(panel.proc.pid)], env=env,
        capture_output=True, text=True, timeout=10).stdout.split(), START_S)[0]
    subprocess.run(["xdotool", "windowfocus", "--sync", window], env=env, check=True, timeout=10)
    subprocess.run(["xdotool", "key", "--window", window, "shift+Tab", "space"], env=env, check=True, timeout=10)


def close_settings(display):
    env = dict(os.environ, DISPLAY=display.name)
    subprocess.run(["xdotool", "key", "Escape"], env=env, check=True, timeout=10)


def run(args):
    started = time.monotonic()
    work = tempfile.mkdtemp(prefix="webremote-")
    children = []
    driver = None
    display = None
    profile = os.path.join(work, "chromium")
    try:
        # Station 1 has two links, as in the demo; each station is its own listener.
        ports = [[free_port(), free_port()], [free_port()], [free_port()], [free_port()]]
        make_show(work, args.demo, ports)
        write_button_set(work, args.demo, 20)
        enabled = enabled_stations(os.path.join(work, "PLAXONDATA", "PlaxonCfg.xml"))
        if enabled[:3] != [1, 2, 3]:
            raise Failure(f"the demo should enable stations 1 to 3, it enables {enabled}")
        stations = {}
        for pc in (1, 2, 3):
            stations[pc] = Process(f"station {pc}", [args.station, *map(str, ports[pc - 1])])
            children.append(stations[pc])
        for pc, station in stations.items():
            wait_for(f"plaxon-station for PC{pc} listening",
                     lambda s=station: any("listening" in l.lower() for l in s.errors) or not s.alive(), START_S)
            if not station.alive():
                raise Failure(f"plaxon-station for PC{pc} ended:\n{station.stderr_tail()}")

        env = dict(os.environ)
        if not args.screenshot:
            env["QT_QPA_PLATFORM"] = "offscreen"
        panel, url = start_panel(args.plaxon, work, "127.0.0.1:0", env)
        children.append(panel)
        origin = urlsplit(url).netloc
        page = url.split("#")[0]
        code = url.split("#pair=")[1]
        with open(os.path.join(work, "PLAXONDATA", "remote-token"), encoding="ascii") as f:
            api_token = f.read().strip()

        driver = start_browser(work)
        # Not paired: the page asks for a code, and says so when a wrong one is given.
        driver.get(page)
        wait_for("the page asking for a pairing code",
                 lambda: driver.find_element(By.ID, "code").is_displayed(), START_S)
        if banner(driver)[0] != "unpaired":
            raise Failure(f"a page without a token shows the banner {banner(driver)}")
        driver.find_element(By.ID, "code").send_keys("22222222")
        driver.find_element(By.ID, "pair").click()
        wait_for("the page saying the code does not work",
                 lambda: "does not work" in driver.find_element(By.ID, "pairing-message").text, START_S)
        driver.get_log("browser")  # the 401 just staged, read and set aside

        # Paired by the printed address: the code leaves the address bar, the token stays for good.
        driver.get(url)
        wait_banner(driver, {"full"}, CONNECT_S, "the page paired and all stations connected")
        if "pair=" in driver.current_url:
            raise Failure(f"the pairing code stays in the address bar: {driver.current_url}")
        device = stored_token(driver)
        if not device or not re.fullmatch(r"[0-9a-f]{32}", device) or device == api_token:
            raise Failure(f"the page keeps no device token of its own: {device!r}")
        if driver.execute_script("return sessionStorage.length;"):
            raise Failure("the page keeps something in its session storage")
        if post_pair(origin, code) != 401:
            raise Failure("the printed pairing code pairs a second time")
        # A reload and a bookmark (the page's address, no code) open the remote as they are.
        driver.refresh()
        wait_banner(driver, {"full"}, CONNECT_S, "the page live again after a reload")
        driver.get(page)
        wait_banner(driver, {"full"}, CONNECT_S, "the page live again from a bookmark")
        wait_for("the button grid", lambda: driver.find_elements(By.CSS_SELECTOR, "#grid .launch"), START_S)
        check_transport_differs(driver)
        check_layout(driver, 20)

        # A shown button in view that launches on PC1: the page's own markers say which.
        index = driver.execute_script("""
            const b = [...document.querySelectorAll('#grid .launch')]
                .find(b => !b.hidden && b.querySelector('.marker.pc1:not(.unreachable)'));
            return b ? Number(b.dataset.index) : null;""")
        if not index:
            raise Failure("no button on the page carries a reachable PC1 marker")
        button = driver.find_element(By.CSS_SELECTOR, f'#grid .launch[data-index="{index}"]')
        # Two taps at once: the second is a bounce and must not launch again.
        driver.execute_script("arguments[0].click(); arguments[0].click();", button)
        first_port = rf"port {ports[0][0]} .*CMD_RUN"
        wait_for(f"CMD_RUN at PC1's station after a tap on button {index}",
                 lambda: stations[1].matching(first_port), RECORD_S)
        time.sleep(REPEAT_QUIET_S)
        runs = stations[1].matching(first_port)
        if len(runs) != 1:
            raise Failure(f"a double tap launched {len(runs)} times:\n  " + "\n  ".join(runs))
        program, caption = driver.execute_script(f"""
            return fetch('/api/state', {{headers: {{Authorization: 'Bearer ' + localStorage.getItem('{DEVICE_KEY}')}}}})
                .then(r => r.json()).then(s => [s.last && s.last.stations['1'] && s.last.stations['1'].program,
                                                s.buttons[{index - 1}].caption]);""")
        if not program or f'"{program}"' not in runs[0].replace("\\\\", "\\"):
            raise Failure(f"the station got {runs[0]!r}, the panel says it sent {program!r}")
        wait_for("the last-launch mark on the tapped button",
                 lambda: "last" in button.get_attribute("class").split(), BANNER_S)
        toast = check_toast(driver, "PC1 2/2")
        if not toast.startswith(" ".join(caption.split()) + ":"):
            raise Failure(f"the toast should name the button {caption!r}: {toast!r}")
        # On a phone too the toast stays clear of the banner.
        set_viewport(driver, *VIEWPORTS[-1])
        time.sleep(0.35)  # past the repeat guard
        driver.execute_script("document.getElementById('stop').click();")
        wait_for("CMD_STOP at PC1's station", lambda: stations[1].matching(r"CMD_STOP"), RECORD_S)
        check_toast(driver, "STOP")
        set_viewport(driver, *WINDOW)

        # Brightness goes to the stations ticked on the page, with the slider's value.
        driver.execute_script("""
            const level = document.getElementById('level');
            level.value = '37';
            level.dispatchEvent(new Event('input'));
            for (const box of document.querySelectorAll('#ticks input'))
                if (box.checked !== (box.parentElement.textContent.trim() === 'PC3'))
                    box.click();""")
        driver.find_element(By.ID, "send-brightness").click()
        wait_for("CMD_BRIGHTNESS 37 at PC3's station", lambda: stations[3].matching(r"CMD_BRIGHTNESS\s+37\b"), RECORD_S)
        if stations[1].matching("CMD_BRIGHTNESS"):
            raise Failure("brightness reached PC1, which was not ticked")

        if args.screenshot:
            os.makedirs(args.screenshot, exist_ok=True)
            driver.save_screenshot(os.path.join(args.screenshot, "remote.png"))
            subprocess.run(["import", "-window", "root", os.path.join(args.screenshot, "panel.png")], check=True)

        # A station goes away: the banner follows, and its markers are crossed out.
        stations[2].stop()
        lost = time.monotonic()
        state, text = wait_banner(driver, {"partial"}, BANNER_S, "the banner turning partial after PC2 went away")
        if text != "Partially connected":  # the demo's panel speaks English
            raise Failure(f"the partial banner says {text!r}")
        print(f"banner full -> partial ({text!r}) in {time.monotonic() - lost:.2f} s")
        check_unreachable_markers(driver, 2)

        requests = check_hosts(driver, origin)
        check_console(driver)
        print(f"{requests} requests, all to {origin}")

        # With no station left the panel refuses a launch; the page says why.
        stations[1].stop()
        stations[3].stop()
        wait_banner(driver, {"none"}, BANNER_S, "the banner saying nothing is connected")
        time.sleep(0.35)  # past the repeat guard of the earlier tap
        button.click()
        wait_for("a toast with the panel's refusal",
                 lambda: "no station is connected" in driver.find_element(By.ID, "toast").text, BANNER_S)

        # Plaxon goes: the page says so in red. It restarts on the same port
        # with 40 buttons, on a display of its own, and the page comes back by
        # itself with the token it keeps.
        check_panel(panel)
        panel.proc.send_signal(signal.SIGTERM)
        panel.proc.wait(timeout=10)
        wait_banner(driver, {"reconnecting"}, BANNER_S, "the banner saying the panel is gone")
        gone = driver.execute_script("""
            const b = getComputedStyle(document.getElementById('banner'));
            return [b.backgroundColor, document.getElementById('title').textContent];""")
        rgb = [int(v) for v in re.findall(r"\d+", gone[0])[:3]]
        if not (rgb[0] > 150 and rgb[1] < 80 and rgb[2] < 80) or gone[1]:
            raise Failure(f"with the panel gone the banner is {gone[0]} and the title says {gone[1]!r}")
        write_button_set(work, args.demo, 40)
        display = Display()
        xenv = dict(os.environ, DISPLAY=display.name, QT_QPA_PLATFORM="xcb")
        restart = time.monotonic()
        panel, _ = start_panel(args.plaxon, work, origin, xenv)
        children.append(panel)
        wait_banner(driver, {"none"}, RECONNECT_S, "the page live again after plaxon restarted")
        print(f"reconnected {time.monotonic() - restart:.2f} s after the restart")
        if args.page_shots:
            os.makedirs(args.page_shots, exist_ok=True)
        check_layout(driver, 40, args.page_shots)

        # The settings dialog closes the links; the banner says why, in the panel's language.
        open_settings(display, panel)
        state, text = wait_banner(driver, {"paused"}, BANNER_S * 2, "the banner saying the settings are open")
        if text != SETTINGS_BANNER:
            raise Failure(f"the settings banner says {text!r}")
        close_settings(display)
        wait_banner(driver, {"none"}, BANNER_S * 2, "the banner back after the settings closed")

        # While plaxon is down the page's reconnects fail, and so does the
        # state it asks for to learn why (a refused token or a panel away).
        check_console(driver, expected=("WebSocket connection to", "status of 409",
                                        "/api/state - Failed to load resource: net::ERR_CONNECTION_REFUSED"))
        check_hosts(driver, origin)
        check_panel(panel)
        driver.quit()
        driver = None
        check_profile(profile, api_token, device, origin)
        print(f"PASS in {time.monotonic() - started:.1f} s")
    except Failure as failure:
        raise Failure(f"{failure}{diagnosis(driver, children)}") from None
    finally:
        if driver:
            driver.quit()
        for child in children:
            child.stop()
        if display:
            display.stop()
        shutil.rmtree(work, ignore_errors=True)


def diagnosis(driver, children):
    """What the page and the children said, for a failure's message."""
    lines = []
    if driver:
        try:
            lines.append(f"banner: {banner(driver)}")
            lines += [f"console: {e['level']} {e['message']}" for e in driver.get_log("browser")]
        except WebDriverException as error:
            lines.append(f"the browser cannot be asked: {error.msg}")
    for child in children:
        if child.errors:
            lines.append(f"{child.name} stderr:\n{child.stderr_tail()}")
    return "".join("\n  " + line for line in lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("plaxon")
    parser.add_argument("station")
    parser.add_argument("demo")
    parser.add_argument("--screenshot", metavar="DIR")
    parser.add_argument("--page-shots", metavar="DIR")
    args = parser.parse_args()
    try:
        run(args)
    except (Failure, WebDriverException, subprocess.SubprocessError, OSError) as error:
        sys.exit(f"webremote_browser: FAIL: {error}")


if __name__ == "__main__":
    main()
