#!/usr/bin/env python3
"""The interactive web page (quillon --report DIR --format html) in a headless Chromium: its
text, folding, filter and sorting, over names that try to break the page.

usage: page_test.py QUILLON [CHROMIUM]; exit status 77 (skipped) without a Chromium."""

import json
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import headless  # noqa: E402

SKIPPED = 77
failures = []


def expect(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED:", what)


def make_tree(root):
    """A tree of hostile names; returns the name of the file at the end of a path past 4096
    bytes."""
    os.makedirs(os.path.join(root, "sub", "<", "script>"))
    files = {
        "a.txt": 3, "sub/<b>&\"x\".txt": 11, "sub/<img src=x onerror=window.pwned=1>": 7,
        "sub/</script>/<script>window.pwned=1<": 5, "sub/zeta.bin": 1000,
    }
    for name, size in files.items():
        with open(os.path.join(root, name), "wb") as f:
            f.write(b"x" * size)
    for raw in (b"ctrl\x01\nname", b"bad\xff\xfe.bin"):
        open(os.path.join(os.fsencode(root), raw), "wb").close()
    # 22 folders of 200 bytes: past PATH_MAX, made one level at a time.
    fd = os.open(root, os.O_RDONLY | os.O_DIRECTORY)
    for level in range(22):
        name = ("deep%02d" % level).ljust(200, "d")
        os.mkdir(name, dir_fd=fd)
        inner = os.open(name, os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
        os.close(fd)
        fd = inner
    leaf = "bottom-of-the-long-path.txt"
    os.close(os.open(leaf, os.O_WRONLY | os.O_CREAT, 0o644, dir_fd=fd))
    os.close(fd)
    return leaf


def page(quillon, env, *arguments):
    run = subprocess.run([quillon, "--report", *arguments, "--format", "html"], env=env,
                         capture_output=True, timeout=120)
    return run.returncode, run.stdout, run.stderr.decode(errors="replace")


def main():
    quillon = sys.argv[1]
    chromium = headless.find_chromium(sys.argv[2] if len(sys.argv) > 2 else None)
    if not chromium:
        print("skipped: no chromium to check the web page in")
        return SKIPPED
    with tempfile.TemporaryDirectory() as work:
        tree = os.path.join(work, "tree")
        leaf = make_tree(tree)
        env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config"),
                   XDG_DATA_HOME=os.path.join(work, "data"), TZ="UTC")
        out = os.path.join(work, "page.html")
        status, _, err = page(quillon, env, tree, "--type", "sizes", "-o", out)
        expect(status == 0, "writing the page exits 0, not %d: %s" % (status, err))
        raw = open(out, "rb").read()
        # Only the page's own elements: no name opened or closed one.
        expect(raw.count(b"<script") == raw.count(b"</script>") == 3,
               "three script elements, no more")
        expect(b"<b>" not in raw and b"<img" not in raw, "no name is markup")
        status, piped, _ = page(quillon, env, tree, "--type", "details", "-o", "-")
        expect(status == 0 and piped.startswith(b"<!DOCTYPE html>")
               and piped.endswith(b"</html>\n"), "-o - writes the page to standard output")
        details = os.path.join(work, "details.html")
        with open(details, "wb") as f:
            f.write(piped)

        with headless.Browser(chromium) as browser:
            check_page(browser, "file://" + out, leaf)
            # List In Details has no folder entries: the page makes the tree from the paths.
            browser.open("file://" + details, "document.documentElement.dataset.readyMs")
            expect(browser.evaluate("document.getElementById('status').textContent")
                   == "8 files, 26 folders", "List In Details' page has the whole tree")
            # A link may name a filter.
            browser.open("file://" + out + "#filter=ZETA", "document.documentElement.dataset.readyMs")
            expect([r.lstrip("\u25BE") for r in rows(browser)][1:] == ["sub", "zeta.bin"],
                   "#filter= opens the page filtered: %r" % rows(browser))
    for failure in failures:
        print("FAILED:", failure, file=sys.stderr)
    return 1 if failures else 0


ROWS = "[...document.querySelectorAll('#rows .row')].map(r => r.firstChild.textContent)"


def rows(browser):
    return browser.evaluate(ROWS)


def click_row(browser, text):
    return browser.evaluate(
        "(() => { const r = [...document.querySelectorAll('#rows .row')]"
        ".find(r => r.firstChild.textContent.endsWith(%s)); if (r) r.click(); return !!r; })()"
        % json.dumps(text))


def filter_by(browser, text):
    browser.evaluate("(() => { const f = document.getElementById('filter'); f.value = %s; "
                     "f.dispatchEvent(new Event('input')); })()" % json.dumps(text))


def check_page(browser, url, leaf):
    browser.open(url, "document.documentElement.dataset.readyMs")
    text = lambda id: browser.evaluate("document.getElementById(%s).textContent" % json.dumps(id))
    expect(text("status") == "8 files, 26 folders", "counts: " + text("status"))
    expect(browser.evaluate("window.pwned === undefined && !document.querySelector('img') && "
                            "document.scripts.length === 2"), "no name ran as script")
    root = browser.evaluate("document.querySelector('#rows .row').firstChild.textContent")
    expect(root.endswith("/tree") and "\u25BE" in root, "the location opens first: " + root)
    top = rows(browser)
    # Names that cannot be shown as they are read as escapes.
    for name in ("a.txt", "bad\\xff\\xfe.bin", "ctrl\\x01\\nname", "sub"):
        expect(any(r.endswith(name) for r in top), "top level shows " + name)

    # Folding: a folder opens to its entries and closes again; totals add up what is below.
    sub = browser.evaluate("[...document.querySelectorAll('#rows .row')]"
                           ".find(r => r.firstChild.textContent.endsWith('sub')).textContent")
    expect("1,023" in sub and "4 files" in sub, "sub's total of its 4 files: " + sub)
    expect(click_row(browser, "sub"), "sub can be clicked")
    opened = rows(browser)
    for name in ("<b>&\"x\".txt", "<img src=x onerror=window.pwned=1>", "<", "zeta.bin"):
        expect(any(r.endswith(name) for r in opened), "sub shows " + name)
    click_row(browser, "sub")
    expect(rows(browser) == top, "sub folds again")
    # The keys: to the last row and open it, down into it, back up to it and close it.
    keys = ("(() => { const v = document.getElementById('view'); for (const key of %s) "
            "v.dispatchEvent(new KeyboardEvent('keydown', {key, bubbles: true})); "
            "return document.querySelector('#rows .cursor').firstChild.textContent; })()")
    expect(browser.evaluate(keys % '["End", "ArrowRight"]').endswith("sub") and
           rows(browser) == opened, "End and Right open the last folder")
    expect(browser.evaluate(keys % '["ArrowDown"]').endswith("<b>&\"x\".txt"), "Down goes in")
    expect(browser.evaluate(keys % '["ArrowLeft", "ArrowLeft"]').endswith("sub") and
           rows(browser) == top, "Left goes up to the folder, then closes it")

    # The filter keeps matching names and the folders above them, opened.
    filter_by(browser, "SCRIPT")
    shown = [r.lstrip("\u25BE\u25B8") for r in rows(browser)]
    expect(shown[1:] == ["sub", "<", "script>", "<script>window.pwned=1<"],
           "filtered tree: %r" % shown)
    expect(text("status").startswith("2 names match"), "match count: " + text("status"))
    click_row(browser, "<")
    expect(len(rows(browser)) == 3, "a folder folds while filtered")
    filter_by(browser, leaf)
    expect(len(rows(browser)) == 24 and rows(browser)[-1] == leaf,
           "the long path's file is reached")
    filter_by(browser, "")
    expect(rows(browser) == top, "clearing the filter gives the tree back")

    # The table sorts by each column, both ways; the folder column holds the whole path.
    browser.evaluate("document.getElementById('show-table').click()")
    headers = browser.evaluate("[...document.querySelectorAll('#head span')].map(s => s.textContent)")
    expect(headers == ["Name", "Folder", "Size", "Modified"], "table columns: %r" % headers)
    sort = ("(() => { document.querySelector('#head [data-c=\"%d\"]').click(); return [...document"
            ".querySelectorAll('#rows .row')].map(r => r.children[%d].textContent); })()")
    sizes = browser.evaluate(sort % (2, 2))
    expect(sizes == ["0", "0", "0", "3", "5", "7", "11", "1,000"] and
           len(sizes) == 8, "by size: %r" % sizes)
    expect(browser.evaluate(sort % (2, 2))[0] == "1,000", "by size, descending")
    expect(browser.evaluate("document.querySelector('#head [aria-sort]').textContent") == "Size",
           "the sorted column is marked")
    names = browser.evaluate(sort % (0, 0))
    expect(names[:3] == ["<b>&\"x\".txt", "<img src=x onerror=window.pwned=1>",
                         "<script>window.pwned=1<"] and names[-1] == "zeta.bin",
           "by name: %r" % names)
    filter_by(browser, leaf)
    folder = browser.evaluate("document.querySelector('#rows .row').children[1].textContent")
    expect(len(folder.encode()) > 4096 and folder.endswith("d" * 190),
           "the folder of the long path, whole")
    browser.evaluate("document.getElementById('show-tree').click()")


if __name__ == "__main__":
    sys.exit(main())
