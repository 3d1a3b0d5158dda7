#!/usr/bin/env python3
"""The match-history page of `plugin-host serve`, used in headless Chromium as
a person would: the games list, a game with its scoreboards and gold plot,
recently played summoners, logging out and back in, and switching the game
data off and on again. Expected counts come from the sample data folder the
host serves. A screenshot of each view is written to --screenshots.

Exits 0 when every check passes, 1 on the first failure, and 77 (a skip for
ctest) when Chromium, its driver or Selenium is missing, unless CI is set:
there the tools must be present.
"""
import argparse
import ctypes
import json
import os
import pathlib
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

SKIP = 77
CHROMIUM_CANDIDATES = ("/usr/lib/chromium/chromium", "/usr/bin/chromium")
DRIVER_CANDIDATES = ("/usr/bin/chromedriver", "/usr/lib/chromium/chromedriver")
SERVING = re.compile(r"serving .* on (http://127\.0\.0\.1:[0-9]+)/")


class CheckFailed(Exception):
    pass


def expect(condition, message):
    if not condition:
        raise CheckFailed(message)


def log(message):
    print(f"[{time.monotonic() - STARTED:6.1f}s] {message}", flush=True)


STARTED = time.monotonic()


# ---- What the sample data says the page must show ----

class Expected:
    def __init__(self, data):
        data = pathlib.Path(data)
        matchlist = json.loads((data / "matchlists" / "0.json").read_text())
        self.game_ids = [str(game["gameId"]) for game in matchlist["games"]["games"]]
        self.game_id = self.game_ids[0]
        game = json.loads((data / "games" / f"{self.game_id}.json").read_text())
        self.participants = len(game["participants"])
        timeline = json.loads((data / "gametimelines" / f"{self.game_id}.json").read_text())
        self.frames = len(timeline["frames"])
        recent = json.loads((data / "recent-games.json").read_text())
        self.recent_summoners = len({fellow["summonerId"]
                                     for played in recent["gameStatistics"]
                                     for fellow in played.get("fellowPlayers", [])})
        configuration = json.loads((data / "config.json").read_text())
        self.web_url = configuration["MatchHistoryWebURL"]


# ---- The host ----

PR_SET_PDEATHSIG = 1
PR_SET_CHILD_SUBREAPER = 36


def end_with_parent():
    """In a child: SIGTERM when this test ends, however it ends."""
    ctypes.CDLL(None).prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


def adopt_orphans():
    """Makes the processes the browser leaves behind (it forks helpers that
    outlive their parents) this test's children, so that end_orphans finds
    them instead of init, which may never collect them."""
    ctypes.CDLL(None).prctl(PR_SET_CHILD_SUBREAPER, 1)


def end_orphans():
    """Ends and collects every child still left; call once the host and the
    browser have been stopped and waited for."""
    me = str(os.getpid())
    left = []
    for entry in pathlib.Path("/proc").iterdir():
        try:
            fields = (entry / "stat").read_text().rsplit(")", 1)[1].split()
        except (OSError, IndexError):
            continue
        if fields[1] == me:
            left.append(int(entry.name))
    for pid in left:
        try:
            os.kill(pid, signal.SIGKILL)
            os.waitpid(pid, 0)
        except (ProcessLookupError, ChildProcessError):
            pass
    return len(left)


class Host:
    """`plugin-host serve --port 0` as a child process; always ended by close()."""

    def __init__(self, program, data, timeout):
        self.lines = []
        self.process = subprocess.Popen(
            [program, "serve", "--port", "0", "--data", data, "--log-level", "warn"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
            text=True, preexec_fn=end_with_parent)
        try:
            self.origin = self._read_origin(timeout)
        except CheckFailed:
            self.process.kill()
            self.process.wait()
            raise
        # The rest of its standard error is read on, so that the pipe never fills.
        self.reader = threading.Thread(target=self._drain, daemon=True)
        self.reader.start()

    def _read_origin(self, timeout):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            ready, _, _ = select.select([self.process.stderr], [], [], 0.5)
            if not ready:
                if self.process.poll() is not None:
                    break
                continue
            line = self.process.stderr.readline()
            if not line:
                break
            self.lines.append(line.rstrip())
            found = SERVING.search(line)
            if found:
                return found.group(1)
        raise CheckFailed("plugin-host did not start serving:\n" + "\n".join(self.lines))

    def _drain(self):
        for line in self.process.stderr:
            self.lines.append(line.rstrip())

    def get(self, path):
        """Status and JSON of a GET straight to the host, bypassing any proxy."""
        opener = urllib.request.build_opener(urllib.request.ProxyHandler({}))
        try:
            with opener.open(self.origin + path, timeout=30) as answer:
                return answer.status, json.loads(answer.read() or b"null")
        except urllib.error.HTTPError as error:
            return error.code, json.loads(error.read() or b"null")

    def put(self, path, value):
        """Status of a PUT of `value` as JSON straight to the host."""
        opener = urllib.request.build_opener(urllib.request.ProxyHandler({}))
        request = urllib.request.Request(self.origin + path, data=json.dumps(value).encode(),
                                         method="PUT", headers={"Content-Type": "application/json"})
        try:
            with opener.open(request, timeout=30) as answer:
                return answer.status
        except urllib.error.HTTPError as error:
            return error.code

    def close(self):
        """Stops the host as Ctrl-C does; its exit code, or None when it had to be killed."""
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
                return None
        self.reader.join(timeout=5)
        return self.process.returncode


# ---- The browser ----

def find_tools():
    """Chromium, its driver and Selenium, or the name of the first that is missing."""
    chromium = next((path for path in CHROMIUM_CANDIDATES if os.access(path, os.X_OK)), None)
    driver = next((path for path in DRIVER_CANDIDATES if os.access(path, os.X_OK)), None)
    if chromium is None:
        return None, "chromium (Debian package chromium)"
    if driver is None:
        return None, "chromedriver (Debian package chromium-driver)"
    try:
        import selenium  # noqa: F401
    except ImportError:
        return None, f"Selenium for {sys.executable} (Debian package python3-selenium)"
    return (chromium, driver), None


def start_browser(chromium, driver_path, profile, timeout):
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service

    options = webdriver.ChromeOptions()
    options.binary_location = chromium
    for argument in (
            # Runs as root in CI, on a small shared /dev/shm, without a display.
            "--headless=new", "--no-sandbox", "--disable-dev-shm-usage", "--disable-gpu",
            "--window-size=1280,1000", "--force-device-scale-factor=1", "--hide-scrollbars",
            f"--user-data-dir={profile}", "--lang=en-US",
            # Nothing but this machine: no name resolves except for loopback,
            # and the browser's own background traffic is off.
            "--host-resolver-rules=MAP * ~NOTFOUND , EXCLUDE 127.0.0.1",
            "--proxy-server=direct://", "--proxy-bypass-list=*",
            "--no-first-run", "--no-default-browser-check", "--disable-background-networking",
            "--disable-component-update", "--disable-sync", "--disable-default-apps",
            "--disable-extensions", "--disable-domain-reliability",
            "--disable-client-side-phishing-detection",
            "--disable-features=Translate,OptimizationHints,MediaRouter"):
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    service = Service(executable_path=driver_path, log_path=os.devnull,
                      popen_kw={"preexec_fn": end_with_parent})
    browser = webdriver.Chrome(service=service, options=options)
    browser.set_page_load_timeout(timeout)
    browser.set_script_timeout(timeout)
    return browser


# ---- The checks ----

class PageCheck:
    def __init__(self, browser, host, expected, screenshots, timeout):
        from selenium.common.exceptions import NoSuchElementException, StaleElementReferenceException
        from selenium.webdriver.common.by import By
        from selenium.webdriver.support.ui import WebDriverWait

        self.by = By
        self.browser = browser
        self.host = host
        self.expected = expected
        self.screenshots = screenshots
        # The page replaces its rows as answers come in: an element that went
        # away while a condition looked at it means "not yet", not a failure.
        self.wait = WebDriverWait(browser, timeout, poll_frequency=0.1,
                                  ignored_exceptions=(NoSuchElementException, StaleElementReferenceException))

    def until(self, what, condition):
        from selenium.common.exceptions import TimeoutException

        try:
            return self.wait.until(lambda browser: condition())
        except TimeoutException:
            self.shot("failure")
            raise CheckFailed(f"timed out waiting for {what}; page text:\n"
                              + self.browser.find_element(self.by.TAG_NAME, "body").text[:2000])

    def css(self, selector):
        return self.browser.find_elements(self.by.CSS_SELECTOR, selector)

    def ready(self, view):
        body = self.css("body")[0]
        return body.get_attribute("data-ready") == "true" and body.get_attribute("data-view") == view

    def error_of(self, view):
        errors = self.css(f'section[data-view="{view}"] > .error')
        return errors[0].text if errors and errors[0].is_displayed() else ""

    def rows(self, selector):
        return len(self.css(selector))

    def shot(self, name):
        path = self.screenshots / f"{name}.png"
        self.browser.save_screenshot(str(path))
        return path

    def click(self, selector):
        self.css(selector)[0].click()

    def games_list(self):
        self.browser.get(self.host.origin + "/")
        count = len(self.expected.game_ids)
        self.until(f"{count} games in the list",
                   lambda: self.ready("games") and self.rows("#games tr[data-game-id]") == count)
        shown = [row.get_attribute("data-game-id") for row in self.css("#games tr[data-game-id]")]
        expect(shown == self.expected.game_ids, f"games listed {shown}, the sample has {self.expected.game_ids}")
        first = self.css("#games tr[data-game-id]")[0].text
        expect(re.search(r"\d+ / \d+ / \d+", first) and re.search(r"\b(Win|Loss)\b", first),
               f"a game row shows K/D/A and the result: {first!r}")
        link = self.css("#web-url-link")
        expect(link and link[0].get_attribute("href") == self.expected.web_url,
               f"the web URL is shown as a link to {self.expected.web_url}")
        log(f"games list: {count} games")
        self.shot("games")

    def one_game(self):
        game_id = self.expected.game_id
        self.click(f'#games tr[data-game-id="{game_id}"]')
        frames = str(self.expected.frames)
        self.until(f"game {game_id} with {self.expected.participants} participants and a plot of {frames} points",
                   lambda: self.ready("game")
                   and self.rows("#teams tr.participant") == self.expected.participants
                   and self.css("#gold-plot")[0].get_attribute("data-points") == frames)
        expect(self.rows("#teams table.team") == 2, "two team scoreboards")
        expect(self.rows("#gold-plot canvas") > 0, "the chart library drew the plot")
        markers = int(self.css("#gold-plot")[0].get_attribute("data-markers") or 0)
        expect(markers > 0 and self.rows("#gold-plot .dygraph-annotation") == markers,
               f"the kill events are marked on the plot ({markers} markers)")
        names = [row.find_elements(self.by.TAG_NAME, "td")[0].text for row in self.css("#teams tr.participant")]
        expect(all(names), f"every participant has a summoner name: {names}")
        log(f"game {game_id}: {self.expected.participants} participants, {frames} points, {markers} markers")
        self.shot("game")

    def recently_played(self):
        self.click("#nav-recent")
        count = self.expected.recent_summoners
        self.until(f"{count} recently played summoners",
                   lambda: self.ready("recent") and self.rows("#recent tr.summoner") == count)
        log(f"recently played: {count} summoners")
        self.shot("recent")

    def logged_out_and_back(self):
        self.click("#logout")
        self.until("the recently played view to show the 409 message",
                   lambda: self.ready("recent") and "409: Player not logged in" in self.error_of("recent"))
        expect(not self.css("#recent")[0].is_displayed(), "no table is left while logged out")
        expect(self.css("#login-state")[0].text == "Logged out", "the login state says logged out")
        log("logged out: " + self.error_of("recent"))
        self.shot("recent-logged-out")
        self.click("#login")
        count = self.expected.recent_summoners
        self.until("the recently played list after logging in again",
                   lambda: self.ready("recent") and self.rows("#recent tr.summoner") == count
                   and not self.error_of("recent"))

    def disabled_and_back(self):
        self.click("#nav-games")
        count = len(self.expected.game_ids)
        self.until("the games list again", lambda: self.ready("games") and self.rows("#games tr[data-game-id]") == count)
        self.click("#enabled")
        self.until("the games list to show the 500 message",
                   lambda: self.ready("games") and "500: New Match History is not enabled" in self.error_of("games"))
        expect(not self.css("#enabled")[0].is_selected(), "the switch shows the game data off")
        log("disabled: " + self.error_of("games"))
        self.shot("games-disabled")
        self.click("#enabled")
        self.until("the games list after enabling again",
                   lambda: self.ready("games") and self.rows("#games tr[data-game-id]") == count
                   and not self.error_of("games"))
        link = self.css("#web-url-link")
        expect(link and link[0].get_attribute("href") == self.expected.web_url,
               "switching the game data back on kept the configured web URL")

    def only_web_addresses_linked(self):
        configuration_path = "/kzo-platform-config/v1/namespaces/NewMatchHistory"
        status, configuration = self.host.get(configuration_path)
        expect(status == 200, f"the configuration reads: {status}")
        for address in ["javascript:alert(1)", "data:text/html,hi", "file:///etc/passwd"]:
            expect(self.host.put(configuration_path, dict(configuration, MatchHistoryWebURL=address)) == 200,
                   f"a configuration with the web URL {address} is stored")
            self.browser.get(self.host.origin + "/")
            self.until(f"the web URL {address} shown as text",
                       lambda: self.css("#web-url-value")[0].text == address)
            expect(not self.css("#web-url-link"), f"the web URL {address} is not a link")
        expect(self.host.put(configuration_path, configuration) == 200, "the configuration is put back")
        self.browser.get(self.host.origin + "/")
        self.until("the configured web URL as a link again", lambda: self.css("#web-url-link"))
        log("only http and https web URLs are links")

    def state_restored(self):
        status, session = self.host.get("/kzo-login/v1/session")
        expect(status == 200 and session.get("state") == "SUCCEEDED", f"logged in at the end: {status} {session}")
        status, configuration = self.host.get("/kzo-platform-config/v1/namespaces/NewMatchHistory")
        expect(status == 200 and configuration.get("Enabled") is True
               and configuration.get("MatchHistoryWebURL") == self.expected.web_url,
               f"enabled at the end with the web URL kept: {status} {configuration}")

    def stayed_on_this_host(self):
        names = self.browser.execute_script(
            "return performance.getEntries().map((entry) => entry.name)"
            ".filter((name) => /^[a-z]+:/.test(name));")
        elsewhere = [name for name in names if not name.startswith(self.host.origin + "/")]
        expect(names and not elsewhere, f"every request went to {self.host.origin}: {elsewhere}")
        # Error answers the page asked for (409, 500) are logged as failed
        # loads; anything else severe (a script error, a blocked load) is a fault.
        faults = [entry["message"] for entry in self.browser.get_log("browser")
                  if entry["level"] == "SEVERE"
                  and "the server responded with a status of" not in entry["message"]]
        expect(not faults, "the browser logged errors:\n" + "\n".join(faults))
        log(f"{len(names)} requests, all to the host; no script errors")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--host", required=True, help="the plugin-host program")
    parser.add_argument("--data", required=True, help="the sample data folder it serves")
    parser.add_argument("--screenshots", required=True, help="folder for the screenshots")
    # Ten waits at most, so the test ends well within ctest's time limit,
    # and cleans up, even when every wait runs out.
    parser.add_argument("--timeout", type=float, default=60, help="seconds any one wait may take")
    arguments = parser.parse_args()

    tools, missing = find_tools()
    if tools is None:
        print(f"missing: {missing}; bash scripts/install-deps.sh installs it", flush=True)
        return 1 if os.environ.get("CI") else SKIP

    expected = Expected(arguments.data)
    screenshots = pathlib.Path(arguments.screenshots)
    screenshots.mkdir(parents=True, exist_ok=True)
    profile = tempfile.mkdtemp(prefix="kzo-page-browser-")
    adopt_orphans()
    host = browser = None
    failure = None
    try:
        host = Host(arguments.host, arguments.data, arguments.timeout)
        log(f"plugin-host serves {host.origin}")
        browser = start_browser(*tools, profile, arguments.timeout)
        log("chromium started")
        check = PageCheck(browser, host, expected, screenshots, arguments.timeout)
        check.games_list()
        check.one_game()
        check.recently_played()
        check.logged_out_and_back()
        check.disabled_and_back()
        check.only_web_addresses_linked()
        check.state_restored()
        check.stayed_on_this_host()
    except CheckFailed as error:
        failure = str(error)
    finally:
        if browser is not None:
            browser.quit()
        exit_code = host.close() if host is not None else 0
        ended = end_orphans()
        if ended:
            log(f"ended {ended} processes the browser left behind")
        shutil.rmtree(profile, ignore_errors=True)
    if failure is None and exit_code != 0:
        failure = f"plugin-host exited with {exit_code} when stopped"
    if failure is not None:
        print("FAILED: " + failure, file=sys.stderr)
        if host is not None:
            print("plugin-host said:\n" + "\n".join(host.lines[-50:]), file=sys.stderr)
        return 1
    log(f"screenshots in {screenshots}")
    log("every check passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
