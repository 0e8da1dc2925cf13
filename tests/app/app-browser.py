"""The printer application's web pages in a headless browser, gone through
as a user would: one table of steps. Run by app-browser.sh, which starts the
server on a loopback port and stops it.

    app-browser.py BASE_URL WORK_DIR TVL_INSPECT SCREENSHOT_DIR
"""
import os
import subprocess
import sys
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support import expected_conditions
from selenium.webdriver.support.ui import Select, WebDriverWait

BASE, WORK, INSPECT, SHOTS = sys.argv[1:5]
FOLDER = os.path.join(WORK, "web", "labels")  # the printer's file device
MISSING = os.path.join(WORK, "missing")
LABEL = os.path.join(FOLDER, "Test Page.prn")  # named after the job
HIDDEN = object()  # a field the page does not show
NEW = {"printer_name": "labels", "driver_name": "tavelin_100"}


def folder(present):
    return lambda: os.makedirs(FOLDER) if present else os.rename(os.path.dirname(FOLDER), MISSING)


# What is done, on which page, how, and what must be seen then: field values
# (HIDDEN: not shown), "text" in the page, "alert" (error banner), "status"
# (success banner); for the printed stream, tvl-inspect's lines. How: a dict
# of fields to fill in and submit, the value of a button to press, or a
# function to call before the page is loaded.
STEPS = [
    ("a missing folder refused", "/addprinter", {**NEW, "device_uri": "file://" + MISSING},
     {"alert": "There is no folder " + MISSING}),
    ("the printer added", "/addprinter", {**NEW, "device_uri": "file://" + FOLDER}, {"text": "Idle, 0 jobs"}),
    ("a new printer's defaults", "/labels/printing", None,
     {"media": "oe_4x6-label_4x6in", "darkness": "8", "speed": "4", "resolution": "203"}),
    ("the speed alone changed", "/labels/printing", {"speed": "6"}, {"status": "Changes saved."}),
    ("the darkness kept", "/labels/printing", None, {"darkness": "8", "speed": "6"}),
    ("media and darkness changed", "/labels/printing", {"media": "oe_2x1-label_2x1in", "darkness": "12"},
     {"status": "Changes saved."}),
    ("no labels per cut in tear-off mode", "/labels/label-settings", None,
     {"label-mode": "tear-off", "cut-period": HIDDEN}),
    ("cut every 5 labels, tear-off offset 3 mm", "/labels/label-settings",
     {"label-mode": "cutter-delayed", "cut-period": "5", "tear-off-offset": "3"}, {"status": "Changes saved."}),
    ("Label Settings kept", "/labels/label-settings", None,
     {"label-mode": "cutter-delayed", "cut-period": "5", "tear-off-offset": "3", "thermal-mode": "direct-thermal"}),
    ("Printing Defaults kept", "/labels/printing", None,
     {"media": "oe_2x1-label_2x1in", "darkness": "12", "speed": "6", "resolution": "203", "gray-shades": "auto"}),
    ("the test label printed", "/labels/", "Print Test Page", {"text": "Test page printed."}),
    ("the printer idle again", "/labels/", None, {"text": "Idle, 0 jobs"}),
    # 2 x 1 in at 8 dots/mm; level 12; 6 in/s; 3 mm is 24 dots; a cut every 5.
    ("its setup block", "stream", None, ["SL 203,24,G", "SW 406", "SD 12", "SS 6", "TA 24", "CUT y,5"]),
    ("the folder gone: why the label waits", "/labels/", folder(False), {}),
    ("", "/labels/", "Print Test Page", {}),
    ("", "/labels/", None, {"text": f"Unable to open '{FOLDER}': No such file or directory"}),
    ("the folder back: the label printed", "/labels/", folder(True), {"text": "Idle, 0 jobs"}),
]


def problems(driver, expect):
    if isinstance(expect, list):
        listing = subprocess.run([INSPECT, LABEL], capture_output=True, text=True, timeout=30).stdout.splitlines()
        return [f"no '{line}' in the stream" for line in expect if line not in listing]
    found = []
    for name, want in expect.items():
        if name in ("text", "alert", "status"):
            where = "body" if name == "text" else f"[role={name}]"
            texts = [e.text for e in driver.find_elements(By.CSS_SELECTOR, where)]
            if not any(want in text for text in texts):
                found.append(f"no {name} '{want}' (saw {texts})")
            continue
        field = driver.find_element(By.NAME, name)
        if want is HIDDEN:
            if field.is_displayed():
                found.append(f"{name} shown")
        elif field.get_attribute("value") != want:
            found.append(f"{name} is '{field.get_attribute('value')}', not '{want}'")
    return found


def submit(driver, button):
    page = driver.find_element(By.TAG_NAME, "html")
    button.click()
    WebDriverWait(driver, 20).until(expected_conditions.staleness_of(page))


def load(driver, path):
    if path != "stream":
        driver.get(BASE + path)


def run(driver, step):
    what, path, how, expect = step
    if callable(how):
        how()
    load(driver, path)
    if isinstance(how, dict):
        for name, value in how.items():
            field = driver.find_element(By.NAME, name)
            if field.tag_name == "select":
                Select(field).select_by_value(value)
            else:
                field.clear()
                field.send_keys(value)
        submit(driver, field.find_element(By.XPATH, "ancestor::form//input[@type='submit']"))
    elif isinstance(how, str):
        submit(driver, driver.find_element(By.CSS_SELECTOR, f"input[type=submit][value='{how}']"))
    # A page only looked at is loaded again until it shows what it must.
    deadline = time.monotonic() + (20 if how is None or callable(how) else 0)
    while (found := problems(driver, expect)) and time.monotonic() < deadline:
        time.sleep(0.5)
        load(driver, path)
    return found


def main():
    os.makedirs(FOLDER)
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ("headless", "no-sandbox", "disable-gpu", "disable-quic", "no-first-run",
                 "disable-background-networking", "disable-component-update", "disable-sync",
                 "disable-dev-shm-usage", "window-size=1200,1000", "user-data-dir=" + os.path.join(WORK, "chromium")):
        options.add_argument("--" + flag)
    service = Service("/usr/bin/chromedriver", log_path=os.path.join(WORK, "chromedriver.log"))
    driver = webdriver.Chrome(service=service, options=options)
    driver.set_page_load_timeout(30)
    driver.implicitly_wait(2)
    failed = 0
    start = time.monotonic()
    try:
        for step in STEPS:
            try:
                found = run(driver, step)
            except Exception as error:  # a field or button missing, a page not loaded
                found = [repr(error)]
            print(("FAIL: " if found else "ok: ") + (step[0] or "(continued)") + "".join("\n  " + p for p in found),
                  f"[{time.monotonic() - start:.1f} s]")
            if found:
                failed += 1
                shot = os.path.join(SHOTS, "app-browser-failure.png")
                driver.save_screenshot(shot)
                print(f"  page {driver.current_url}, screenshot {shot}")
                break
    finally:
        driver.quit()
        os.makedirs(FOLDER, exist_ok=True)  # a job waiting for it ends
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
