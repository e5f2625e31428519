#!/usr/bin/python3
"""The playground's page in headless chromium, driven by selenium:
    python3 browser_test.py PLAYGROUND_FOLDER
It loads the page from file:// and from a local server, types into the input,
changes each setting, reads the output, the diff and the message line, and
follows a shared link. Every expected text is worked out by hand from the
rules (the golden cases' inputs, as the classic and the exact style lay them
out, and the modern style's rules). Exits 0 with a message where chromium cannot start."""

import functools
import http.server
import pathlib
import sys
import tempfile
import threading

from selenium import webdriver
from selenium.common.exceptions import TimeoutException, WebDriverException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select, WebDriverWait

FUNCTION = "void f() {\nif (a) x = 1;\n}\n"
BLOCK = "void f() {\nif (a) {\nx();\n}\n}\n"
SUM = "aaaa = bbbb + cccc + dddd + eeee;\n"
SUFFIX = "long  x = 10U;\n"
# The name begins at offset 3 and reaches offset 1024: past the 512-byte buffer.
LONG_NAME = "x;\n" + "a" * 1100 + ";\n"
LONG_NAME_MESSAGE = "line 2, column 1: token longer than 512 bytes at line 2, column 1"
# (what to do, then the output or message that must follow).
STEPS = [
    ("type", FUNCTION, "output", "void f()\n{\n   if(a)\n      x = 1;\n}\n"),
    ("type", BLOCK, "output", "void f()\n{\n   if(a) {\n      x();\n   }\n}\n"),
    ("brace", "break", "output", "void f()\n{\n   if(a)\n   {\n      x();\n   }\n}\n"),
    ("indent", "tab", "output", "void f()\n{\n\tif(a)\n\t{\n\t\tx();\n\t}\n}\n"),
    ("type", SUM, "output", SUM),
    ("length", "20", "output", "aaaa = bbbb + cccc + dddd\n + eeee;\n"),
    ("length", "abc", "message", "length is a whole number of 0 or more, or off, not 'abc'"),
    ("length", "off", "output", SUM),
    # The exact rules keep the blank after a statement's ";" and split 10U.
    ("style", "exact", "output", "aaaa = bbbb + cccc + dddd + eeee; \n"),
    ("type", SUFFIX, "output", "long x = 10 U; \n"),
    ("check", "on", "message", "line 1, column 11: formatting would change the code here (10U \u2192 10 U)"),
    ("check", "off", "output", "long x = 10 U; \n"),
    ("paste", LONG_NAME, "message", LONG_NAME_MESSAGE),
    ("style", "classic", "output", LONG_NAME),
    # The modern style, with the settings chosen so far (braces broken, a tab, no limit).
    ("style", "modern", "output", LONG_NAME),
    ("type", FUNCTION, "output", "void f()\n{\n\tif (a)\n\t\tx = 1;\n}\n"),
]


class Page:
    def __init__(self, driver):
        self.driver = driver

    def wait(self, condition, what):
        try:
            return WebDriverWait(self.driver, 10).until(lambda _: condition())
        except TimeoutException:
            raise AssertionError(f"{what}; the page shows output {self.output()!r}, message {self.message()!r}")

    def element(self, css):
        return self.driver.find_element(By.CSS_SELECTOR, css)

    def js(self, script, *arguments):
        return self.driver.execute_script(script, *arguments)

    def output(self):
        return self.js("return document.getElementById('output').textContent")

    def message(self):
        return self.js("const m = document.getElementById('message'); return m.hidden ? '' : m.textContent")

    def loaded(self):
        self.wait(lambda: not self.driver.find_elements(By.ID, "loading"), "the page did not load the formatter")

    def do(self, action, value):
        if action in ("type", "length"):  # what is typed replaces the selection
            field = self.element("#input" if action == "type" else "[name=length]")
            field.send_keys(Keys.CONTROL, "a")
            field.send_keys(value)
        elif action == "paste":
            self.js("const i = document.getElementById('input'); i.value = arguments[0];"
                    "i.dispatchEvent(new Event('input'))", value)
        elif action == "check":
            box = self.element("[name=check]")
            if box.is_selected() != (value == "on"):
                box.click()
        else:
            Select(self.element(f"[name={action}]")).select_by_value(value)

    def expect(self, kind, expected, step):
        shown = self.output if kind == "output" else self.message
        self.wait(lambda: shown() == expected and (kind == "message" or self.message() == ""),
                  f"after {step}: {kind} {expected!r} expected")


def check_steps(page):
    page.do("style", "classic")  # the steps begin in the classic style; the modern one is the page's first
    for action, value, kind, expected in STEPS:
        page.do(action, value)
        page.expect(kind, expected, f"{action} {value[:20]!r}")
    # The message's place is selected in the input: line 2 begins at offset 3.
    page.do("style", "exact")
    page.do("paste", LONG_NAME)
    page.expect("message", LONG_NAME_MESSAGE, "the long name again")
    page.element("#message").click()
    start = page.js("return document.getElementById('input').selectionStart")
    assert start == 3, f"the message's place selected offset {start}, not 3"
    marked = page.js("return document.querySelector('#gutter .error').textContent")
    assert marked == "2", f"the gutter marks line {marked}, not 2"


def check_diff(page):
    page.do("style", "classic")
    page.do("indent", "3")
    page.do("type", FUNCTION)
    page.expect("output", "void f()\n{\n   if(a)\n      x = 1;\n}\n", "typing for the diff")
    page.element("#show-diff").click()
    lines = page.js("return [...document.querySelectorAll('#diff span')].map(s => s.className + ' ' + s.textContent)")
    expected = ["del - void f() {", "del - if (a) x = 1;", "add + void f()", "add + {", "add +    if(a)",
                "add +       x = 1;", "same   }"]
    assert lines == expected, f"the diff shows {lines}"
    page.element("#show-output").click()


def check_shared_link(page):
    page.do("style", "exact")
    page.do("brace", "break")
    page.do("check", "on")
    page.do("type", BLOCK)
    expected = "void f()\n{\n   if(a)\n   {\n      x();\n   }\n}\n"
    page.expect("output", expected, "the case to share")
    link = page.driver.current_url
    page.driver.get("about:blank")
    page.driver.get(link)
    page.loaded()
    page.expect("output", expected, "following the shared link")
    settings = page.js(
        "const f = document.getElementById('settings').elements;"
        "const v = (n) => f.namedItem(n);"
        "return [v('style').value, v('brace').value, v('indent').value, v('length').value, v('check').checked]")
    assert settings == ["exact", "break", "3", "off", True], f"the link restored {settings}"
    typed = page.js("return document.getElementById('input').value")
    assert typed == BLOCK, f"the link restored the input {typed!r}"


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def serve(folder):
    handler = functools.partial(QuietHandler, directory=folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def main():
    folder = pathlib.Path(sys.argv[1]).resolve()
    with tempfile.TemporaryDirectory() as profile:
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for flag in ("--headless --no-sandbox --disable-gpu --disable-quic --no-first-run --window-size=1200,800 "
                     "--disable-background-networking --disable-component-update --disable-sync").split():
            options.add_argument(flag)
        options.add_argument(f"--user-data-dir={profile}")
        try:
            driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        except WebDriverException as error:
            print(f"playground browser test: skipped: chromium did not start ({error.msg})")
            return 0
        try:
            page = Page(driver)
            driver.get((folder / "index.html").as_uri())
            page.loaded()
            page.wait(lambda: page.output().startswith("/* A sample"), "the sample was not formatted")
            check_steps(page)
            check_diff(page)
            check_shared_link(page)
            server = serve(str(folder))
            driver.get(f"http://127.0.0.1:{server.server_port}/index.html")
            page.loaded()
            page.wait(lambda: page.output().startswith("/* A sample"), "the served page did not format the sample")
            server.shutdown()
        finally:
            driver.quit()
    print(f"playground browser test: {len(STEPS)} steps, the diff, a shared link and a served page passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
