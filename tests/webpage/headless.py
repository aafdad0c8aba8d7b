"""A headless Chromium driven over its DevTools pipe (file descriptors 3 and 4), with the
standard library alone: open a page, evaluate script in it, take a screenshot."""

import base64
import json
import os
import select
import shutil
import subprocess
import tempfile
import time


def find_chromium(named=None):
    for name in ([named] if named else []) + ["chromium", "chromium-browser", "google-chrome"]:
        if name and (os.path.isfile(name) or shutil.which(name)):
            return name if os.path.isfile(name) else shutil.which(name)
    return None


class Browser:
    def __init__(self, chromium, width=1000, height=700, timezone="UTC"):
        self.profile = tempfile.mkdtemp(prefix="quillon-chromium-")
        to_browser, self._commands = os.pipe()
        self._replies, from_browser = os.pipe()

        def to_fds_3_and_4():
            a, b = os.dup(to_browser), os.dup(from_browser)
            os.dup2(a, 3)
            os.dup2(b, 4)

        env = dict(os.environ, TZ=timezone)
        self.proc = subprocess.Popen(
            [chromium, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
             "--disable-extensions", "--remote-debugging-pipe",
             "--user-data-dir=" + self.profile, "--window-size=%d,%d" % (width, height)],
            preexec_fn=to_fds_3_and_4, pass_fds=(3, 4), env=env,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_browser)
        os.close(from_browser)
        self._next = 0
        self._pending = b""
        self.events = []
        target = self.call("Target.createTarget", {"url": "about:blank"})["targetId"]
        self.session = self.call("Target.attachToTarget",
                                 {"targetId": target, "flatten": True})["sessionId"]
        self.call("Page.enable", session=True)
        self.call("Runtime.enable", session=True)
        self.call("Emulation.setDeviceMetricsOverride",
                  {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": False},
                  session=True)

    def _read(self, timeout):
        while b"\0" not in self._pending:
            ready, _, _ = select.select([self._replies], [], [], timeout)
            if not ready:
                raise TimeoutError("no answer from the browser")
            block = os.read(self._replies, 1 << 20)
            if not block:
                raise EOFError("the browser closed its pipe")
            self._pending += block
        message, self._pending = self._pending.split(b"\0", 1)
        return json.loads(message)

    def call(self, method, params=None, session=False, timeout=120):
        self._next += 1
        message = {"id": self._next, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = self.session
        os.write(self._commands, json.dumps(message).encode() + b"\0")
        while True:
            reply = self._read(timeout)
            if reply.get("id") == self._next:
                if "error" in reply:
                    raise RuntimeError("%s: %s" % (method, reply["error"]))
                return reply["result"]
            self.events.append(reply)

    def evaluate(self, expression, timeout=120):
        result = self.call("Runtime.evaluate",
                           {"expression": expression, "returnByValue": True,
                            "awaitPromise": True}, session=True, timeout=timeout)
        if "exceptionDetails" in result:
            raise RuntimeError("script failed: %s" % json.dumps(result["exceptionDetails"]))
        return result["result"].get("value")

    def open(self, url, ready="document.readyState === 'complete'", timeout=120):
        """Navigates and waits until ready is true; returns the seconds that took."""
        # The page before may be ready too: wait for a new document.
        before = self.evaluate("performance.timeOrigin")
        start = time.monotonic()
        self.call("Page.navigate", {"url": url}, session=True, timeout=timeout)
        probe = ("(() => { try { return performance.timeOrigin !== %r && !!(%s); } "
                 "catch (e) { return false; } })()" % (before, ready))
        while not self.evaluate(probe, timeout=timeout):
            if time.monotonic() - start > timeout:
                raise TimeoutError("the page did not get ready: " + url)
            time.sleep(0.02)
        return time.monotonic() - start

    def screenshot(self, path):
        data = self.call("Page.captureScreenshot", {"format": "png"}, session=True)["data"]
        with open(path, "wb") as out:
            out.write(base64.b64decode(data))

    def close(self):
        try:
            self.call("Browser.close", timeout=10)
        except (OSError, RuntimeError, TimeoutError, EOFError):
            pass
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        os.close(self._commands)
        os.close(self._replies)
        shutil.rmtree(self.profile, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.close()
