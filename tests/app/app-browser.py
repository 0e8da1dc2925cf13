# SPDX-License-Identifier: Apache-2.0
"""The web pages in a headless browser, as a user goes through them: one table
of steps. app-browser.sh runs it: app-browser.py BASE_URL WORK TVL_INSPECT SHOTS"""
import os
import subprocess
import sys
import time

from selenium import webdriver
from selenium.common.exceptions import WebDriverException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.expected_conditions import staleness_of
from selenium.webdriver.support.ui import Select, WebDriverWait

BASE, WORK, INSPECT, SHOTS = sys.argv[1:5]
FOLDER = os.path.join(WORK, "web", "labels")  # the printer's file device
MISSING = os.path.join(WORK, "missing")
NEW = {"printer_name": "labels", "driver_name": "tavelin_100"}
HOME, DEFAULTS, SETTINGS = "/labels/", "/labels/printing", "/labels/label-settings"
WHERE = {"text": "body", "alert": "[role=alert]", "status": "[role=status]"}


def folder(present):
    return lambda: os.makedirs(FOLDER) if present else os.rename(os.path.dirname(FOLDER), MISSING)


# What, on which page, done how (fields to fill in and submit, a button to
# press, or a function to call first), and what is seen then: field values
# ("hidden": not shown), "text" on the page, an "alert" (error) or "status"
# banner; for the printed label's "stream", tvl-inspect's lines.
STEPS = [
    ("a missing folder refused", "/addprinter", {**NEW, "device_uri": "file://" + MISSING},
     {"alert": "There is no folder " + MISSING}),
    ("the printer added", "/addprinter", {**NEW, "device_uri": "file://" + FOLDER}, {"text": "Idle, 0 jobs"}),
    ("a new printer's defaults", DEFAULTS, None, {"media": "oe_4x6-label_4x6in", "darkness": "8", "speed": "4"}),
    ("the speed alone changed", DEFAULTS, {"speed": "6"}, {"status": "Changes saved."}),
    ("the darkness kept", DEFAULTS, None, {"darkness": "8", "speed": "6"}),
    ("size and darkness", DEFAULTS, {"media": "oe_2x1-label_2x1in", "darkness": "12"}, {"status": "Changes saved."}),
    ("tear-off: no labels per cut", SETTINGS, None, {"label-mode": "tear-off", "cut-period": "hidden"}),
    ("cut every 5, tear-off offset 3 mm", SETTINGS,
     {"label-mode": "cutter-delayed", "cut-period": "5", "tear-off-offset": "3"}, {"status": "Changes saved."}),
    ("Label Settings kept", SETTINGS, None,
     {"label-mode": "cutter-delayed", "cut-period": "5", "tear-off-offset": "3", "thermal-mode": "direct-thermal"}),
    ("Printing Defaults kept", DEFAULTS, None,
     {"media": "oe_2x1-label_2x1in", "darkness": "12", "speed": "6", "resolution": "203", "gray-shades": "auto"}),
    ("the test label printed", HOME, "Print Test Page", {"text": "Test page printed."}),
    ("the printer idle again", HOME, None, {"text": "Idle, 0 jobs"}),
    # 2 x 1 in at 8 dots/mm; level 12; 6 in/s; 3 mm is 24 dots; a cut every 5.
    ("its setup block", "stream", None, ["SL 203,24,G", "SW 406", "SD 12", "SS 6", "TA 24", "CUT y,5"]),
    ("the folder gone", HOME, folder(False), {}),
    ("a test label waits, the page says why", HOME, "Print Test Page", {}),
    ("", HOME, None, {"text": f"Unable to open '{FOLDER}': No such file or directory"}),
    ("the folder back: the label printed", HOME, folder(True), {"text": "Idle, 0 jobs"}),
]


def problems(driver, expect):
    if isinstance(expect, list):
        label = os.path.join(FOLDER, "Test Page.prn")  # named after the job
        lines = subprocess.run([INSPECT, label], capture_output=True, text=True, timeout=30).stdout.splitlines()
        return [f"no '{line}' in the stream" for line in expect if line not in lines]
    found = []
    for name, want in expect.items():
        if name in WHERE:
            shown = [e.text for e in driver.find_elements(By.CSS_SELECTOR, WHERE[name])]
            seen = any(want in text for text in shown)
        else:
            field = driver.find_element(By.NAME, name)
            shown = field.get_attribute("value") if field.is_displayed() else "hidden"
            seen = shown == want
        found += [] if seen else [f"{name}: {shown}, not '{want}'"]
    return found


def why(error):
    """An exception's class and the first line of its message (selenium's repr drops the message)."""
    text = (getattr(error, "msg", None) or str(error)).strip()
    return f"{type(error).__name__}: {text.splitlines()[0] if text else '(no message)'}"


def fill_in(driver, how):
    """Fills in the form's fields and finds the button to press (a field, or the page, may still be loading)."""
    if isinstance(how, str):
        return driver.find_element(By.CSS_SELECTOR, f"input[type=submit][value='{how}']")
    for name, value in how.items():
        field = driver.find_element(By.NAME, name)
        if field.tag_name == "select":
            Select(field).select_by_value(value)
        else:
            field.clear()
            field.send_keys(value)
    return field.find_element(By.XPATH, "ancestor::form//input[@type='submit']")


def run(driver, path, how, expect):
    load = (lambda: driver.get(BASE + path)) if path != "stream" else (lambda: None)
    if callable(how):
        how()
    load()
    if isinstance(how, (dict, str)):
        for attempt in range(3):  # nothing is sent before the button is pressed, so filling in can start over
            try:
                button = fill_in(driver, how)
                break
            except WebDriverException as error:
                if attempt == 2:
                    raise
                print(f"  (filling in again after {why(error)})")
                load()
        page = driver.find_element(By.TAG_NAME, "html")
        button.click()
        try:
            WebDriverWait(driver, 20).until(staleness_of(page))
        except WebDriverException as error:  # the answer still loading: looked at below until it shows
            print(f"  (waiting for the answer after {why(error)})")
        load = lambda: None  # the form's answer is looked at as it came, never loaded again
    deadline = time.monotonic() + 20  # a page looked at is loaded again until it shows what it must
    while True:
        try:
            found = problems(driver, expect)
        except WebDriverException as error:  # looked at while still loading (a slow server)
            found = [why(error)]
        if not found or time.monotonic() >= deadline:
            return found
        time.sleep(0.5)
        load()


def main():
    os.makedirs(FOLDER)
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ("headless", "no-sandbox", "disable-gpu", "disable-quic", "no-first-run", "disable-sync",
                 "disable-background-networking", "disable-component-update", "disable-dev-shm-usage",
                 "window-size=1200,1000", "user-data-dir=" + os.path.join(WORK, "chromium")):
        options.add_argument("--" + flag)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.set_page_load_timeout(30)
    try:
        for what, *step in STEPS:
            try:
                found = run(driver, *step)
            except Exception as error:  # a field or a button missing, a page not loaded
                found = [why(error)]
            print(("FAIL: " if found else "ok: ") + (what or "(continued)") + "".join("\n  " + p for p in found))
            if found:
                driver.save_screenshot(os.path.join(SHOTS, "app-browser-failure.png"))
                print(f"  at {driver.current_url}; screenshot {SHOTS}/app-browser-failure.png")
                return 1
        return 0
    finally:
        driver.quit()
        os.makedirs(FOLDER, exist_ok=True)  # a label waiting for it ends


if __name__ == "__main__":
    sys.exit(main())
