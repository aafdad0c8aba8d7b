#!/usr/bin/env python3
"""The interactive web page over a large tree: how long quillon takes to write it, how long
a headless Chromium takes until the page is usable, and how long its filter takes to answer.

usage: bench/webpage_figures.py [QUILLON] [TREE] [RUNS]
       (defaults: build/release/quillon, /tmp/quillon_bench/spread, 3)

Opening is timed by the page itself (performance.now() when its first rows are drawn, from
the start of the navigation) and by the driver (navigation sent until the page says it is
ready). A filter is timed from setting the box to the rows drawn and laid out, and so is a sort of the
table by a column from the click on its header."""

import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "webpage"))
import headless  # noqa: E402

FILTER = """(() => {
  const start = performance.now();
  const box = document.getElementById('filter');
  box.value = %s;
  box.dispatchEvent(new Event('input'));
  document.getElementById('rows').offsetHeight;
  return [performance.now() - start, document.getElementById('status').textContent];
})()"""

SORT = """(() => {
  const start = performance.now();
  document.querySelector('#head [data-c="%d"]').click();
  document.getElementById('rows').offsetHeight;
  return performance.now() - start;
})()"""


def main():
    quillon = sys.argv[1] if len(sys.argv) > 1 else "build/release/quillon"
    tree = sys.argv[2] if len(sys.argv) > 2 else "/tmp/quillon_bench/spread"
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    chromium = headless.find_chromium()
    if not chromium:
        sys.exit("no chromium")
    with tempfile.TemporaryDirectory() as work:
        env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "c"),
                   XDG_DATA_HOME=os.path.join(work, "d"))
        page = os.path.join(work, "page.html")
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.monotonic()
        subprocess.run([quillon, "--report", tree, "--type", "tree", "-o", page, "--format",
                        "html"], env=env, check=True)
        wall = time.monotonic() - start
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
        print("write: %.1f s wall, %.1f s CPU, %.1f MB page" %
              (wall, cpu, os.path.getsize(page) / 1e6))
        opened, ready = [], []
        filters = {}
        sorts = {}
        metrics = []
        for _ in range(runs):
            with headless.Browser(chromium) as browser:
                # CPU times of the page's thread and process (user+sys), less noisy than wall
                # time on a shared machine.
                browser.call("Performance.enable", {"timeDomain": "threadTicks"}, session=True)
                opened.append(browser.open("file://" + page,
                                           "document.documentElement.dataset.readyMs", 300))
                metrics.append({m["name"]: m["value"] for m in browser.call(
                    "Performance.getMetrics", session=True)["metrics"]})
                ready.append(int(browser.evaluate("document.documentElement.dataset.readyMs")))
                status = browser.evaluate("document.getElementById('status').textContent")
                for query in ("00015", "caf", "zzzz", "a", ""):
                    ms, told = browser.evaluate(FILTER % repr(query))
                    filters.setdefault(query, []).append(ms)
                    filters[query + " told"] = told
                browser.evaluate("document.getElementById('show-table').click()")
                for column, label in ((2, "size"), (0, "name")):
                    sorts.setdefault(label, []).append(browser.evaluate(SORT % column))
        print("entries: " + status)
        for name, label in (("ThreadTime", "main thread CPU"), ("ProcessTime", "page's process CPU"),
                            ("JSHeapUsedSize", "script heap, MB")):
            values = [m[name] / (1e6 if name == "JSHeapUsedSize" else 1) for m in metrics]
            print("open, %s: median %.2f of %s" %
                  (label, statistics.median(values), ["%.2f" % v for v in values]))
        print("open (page's own clock): median %d ms of %s" %
              (statistics.median(ready), ready))
        print("open (driver, navigation to ready): median %.2f s of %s" %
              (statistics.median(opened), ["%.2f" % t for t in opened]))
        for query in ("00015", "caf", "zzzz", "a", ""):
            times = filters[query]
            print("filter %-7r median %4.0f ms of %s (%s)" %
                  (query, statistics.median(times), ["%.0f" % t for t in times],
                   filters[query + " told"]))
        for label, times in sorts.items():
            print("table sorted by %s: median %.0f ms of %s" %
                  (label, statistics.median(times), ["%.0f" % t for t in times]))


if __name__ == "__main__":
    main()
