#!/usr/bin/env python3
"""The web remote in a real browser, against the built plaxon and plaxon-station.

Copies the demo into a temporary directory with its stations on free loopback
ports, starts one plaxon-station per station and `plaxon --remote
127.0.0.1:0`, opens the printed address in headless Chromium and checks:
a tap on a launch button reaches the station as CMD_RUN (once, even when
tapped twice at once); brightness goes to the ticked stations only; a station that goes away
turns the banner from full to partial within 2 s; a launch the panel
refuses shows its reason; the page asked nothing of any other host and broke no
content rule; after plaxon is restarted on the same port the page reconnects
by itself.

Usage: webremote_browser.py PLAXON PLAXON_STATION DEMO_DIR [--screenshot DIR]
With --screenshot the panel runs on the session's display (e.g. under
xvfb-run) and DIR gets remote.png (the page, tablet-sized) and panel.png.
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
    if not re.fullmatch(r"http://127\.0\.0\.1:\d+/#token=[0-9a-f]{32}", url):
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


def run(args):
    started = time.monotonic()
    work = tempfile.mkdtemp(prefix="webremote-")
    children = []
    driver = None
    try:
        # Station 1 has two links, as in the demo; each station is its own listener.
        ports = [[free_port(), free_port()], [free_port()], [free_port()], [free_port()]]
        make_show(work, args.demo, ports)
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

        driver = start_browser(work)
        # A wrong token: the handshake's 401 is hidden from the page, which
        # must still tell the operator why it stays dark.
        driver.get(url.split("#")[0] + "#token=" + "0" * 32)
        wait_for("the banner saying the token was refused",
                 lambda: any(word in driver.find_element(By.ID, "banner").text for word in ("token", "klíč")), START_S)
        driver.get_log("browser")  # the refusals just staged, read and set aside
        driver.get(url)
        if "token=" in driver.current_url:
            raise Failure(f"the token stays in the address bar: {driver.current_url}")
        wait_for("the button grid", lambda: driver.find_elements(By.CSS_SELECTOR, "#grid .launch"), START_S)
        wait_banner(driver, {"full"}, CONNECT_S, "the banner saying all stations are connected")

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
        program = driver.execute_script("""
            return fetch('/api/state', {headers: {Authorization: 'Bearer ' + sessionStorage.getItem('plaxon-token')}})
                .then(r => r.json()).then(s => s.last && s.last.stations['1'] && s.last.stations['1'].program);""")
        if not program or f'"{program}"' not in runs[0].replace("\\\\", "\\"):
            raise Failure(f"the station got {runs[0]!r}, the panel says it sent {program!r}")
        wait_for("the last-launch mark on the tapped button",
                 lambda: "last" in button.get_attribute("class").split(), BANNER_S)
        toast = wait_for("a toast naming the stations reached",
                         lambda: driver.find_element(By.ID, "toast").is_displayed()
                         and driver.find_element(By.ID, "toast").text, BANNER_S)
        if "PC1 2/2" not in toast:
            raise Failure(f"the toast should say PC1 took the record on both links: {toast!r}")

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

        # A station goes away: the banner follows.
        stations[2].stop()
        lost = time.monotonic()
        state, text = wait_banner(driver, {"partial"}, BANNER_S, "the banner turning partial after PC2 went away")
        if text != "Partially connected":  # the demo's panel speaks English
            raise Failure(f"the partial banner says {text!r}")
        print(f"banner full -> partial ({text!r}) in {time.monotonic() - lost:.2f} s")

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


        # Plaxon restarts on the same port: the page comes back by itself.
        check_panel(panel)
        panel.proc.send_signal(signal.SIGTERM)
        panel.proc.wait(timeout=10)
        wait_banner(driver, {"reconnecting"}, BANNER_S, "the banner saying the page is reconnecting")
        restart = time.monotonic()
        panel, _ = start_panel(args.plaxon, work, origin, env)
        children.append(panel)
        wait_banner(driver, {"none"}, RECONNECT_S, "the page live again after plaxon restarted")
        print(f"reconnected {time.monotonic() - restart:.2f} s after the restart")
        # While plaxon is down the page's reconnects fail, and so does the
        # state it asks for to learn why (a refused token or a panel away).
        check_console(driver, expected=("WebSocket connection to", "status of 409",
                                        "/api/state - Failed to load resource: net::ERR_CONNECTION_REFUSED"))
        check_hosts(driver, origin)
        check_panel(panel)
        print(f"PASS in {time.monotonic() - started:.1f} s")
    except Failure as failure:
        raise Failure(f"{failure}{diagnosis(driver, children)}") from None
    finally:
        if driver:
            driver.quit()
        for child in children:
            child.stop()
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
    args = parser.parse_args()
    try:
        run(args)
    except (Failure, WebDriverException, subprocess.SubprocessError, OSError) as error:
        sys.exit(f"webremote_browser: FAIL: {error}")


if __name__ == "__main__":
    main()
