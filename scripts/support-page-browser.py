#!/usr/bin/python3
"""Drives the support pages of a running kxserver in headless Chromium, as a support person would.

Logs in, reads the causes, one cause and two reports (one of them carrying a script in every
field), takes a picture of each page and logs out. Fails when a page is not what it should be,
when the script payload is missing from the page as text, or when any part of it ran.

Usage: scripts/support-page-browser.py BASE-URL LOGIN PASSWORD PICTURE-FOLDER
"""
import pathlib
import sys
import tempfile

from selenium import webdriver
from selenium.common.exceptions import NoAlertPresentException, TimeoutException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

# What the payload report carries: each part sets a marker when it runs.
PAYLOAD_START = "<script>window.kxPayloadRan"
MARKER = "return [window.kxPayloadRan, document.title]"


def fail(message):
    sys.exit("support page test FAILED: " + message)


def browser(profile):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    # As root Chromium runs only without its sandbox; the rest keeps a closed network from
    # slowing it down with calls home.
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic",
                     "--no-first-run", "--disable-background-networking",
                     "--disable-component-update", "--disable-sync",
                     "--disable-dev-shm-usage", "--window-size=1280,900",
                     "--user-data-dir=" + profile):
        options.add_argument(argument)
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def picture(driver, folder, name):
    """The whole page from its top, as tall as its content."""
    driver.execute_script("window.scrollTo(0, 0)")
    size = driver.execute_cdp_cmd("Page.getLayoutMetrics", {})["cssContentSize"]
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
        "width": 1280, "height": min(int(size["height"]), 4000), "deviceScaleFactor": 1,
        "mobile": False})
    path = folder / name
    driver.save_screenshot(str(path))
    driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})
    print("picture:", path)


def settle(driver, reached, failure):
    """Waits for a click's page to arrive: a click returns before the browser has loaded it."""
    try:
        WebDriverWait(driver, 20, poll_frequency=0.1).until(reached)
    except TimeoutException:
        fail(failure(driver))


def body_text(driver):
    return driver.find_element(By.TAG_NAME, "body").text


def expect_payload_inert(driver, where):
    if PAYLOAD_START not in driver.find_element(By.TAG_NAME, "body").text:
        fail(where + ": the payload is not shown as text")
    ran, title = driver.execute_script(MARKER)
    if ran is not None or title == "payload ran":
        fail(where + ": the payload ran (marker %r, title %r)" % (ran, title))
    try:
        alert = driver.switch_to.alert
        fail(where + ": the payload opened an alert: " + alert.text)
    except NoAlertPresentException:
        pass


def main():
    base, login, password, folder = sys.argv[1:5]
    folder = pathlib.Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    with tempfile.TemporaryDirectory(prefix="kx-chromium-") as profile:
        driver = browser(profile)
        try:
            driver.get(base + "/support/")
            if "/support/login" not in driver.current_url:
                fail("an unauthenticated visit was not sent to the login: " + driver.current_url)
            driver.find_element(By.NAME, "login").send_keys(login)
            driver.find_element(By.NAME, "password").send_keys("wrong")
            driver.find_element(By.CSS_SELECTOR, "form.login button").click()
            settle(driver, lambda d: "Wrong login or password." in d.page_source,
                   lambda d: "a wrong password was not refused")
            driver.find_element(By.NAME, "password").send_keys(password)
            picture(driver, folder, "support-login.png")
            driver.find_element(By.CSS_SELECTOR, "form.login button").click()

            settle(driver, lambda d: d.title.startswith("Failures by cause"),
                   lambda d: "the login did not lead to the causes: " + d.title)
            expect_payload_inert(driver, "causes")
            picture(driver, folder, "support-causes.png")

            driver.find_element(By.PARTIAL_LINK_TEXT, "File not found").click()
            settle(driver, lambda d: d.title.startswith("Cause "),
                   lambda d: "the cause did not open: " + d.title)
            rows = driver.find_elements(By.CSS_SELECTOR, "table.reports tbody tr")
            if len(rows) != 3:
                fail("the cause lists %d reports, not 3" % len(rows))
            picture(driver, folder, "support-cause.png")

            rows[0].find_element(By.TAG_NAME, "a").click()
            sections = ("Local variables", "Global variables", "Diagnostics")
            settle(driver, lambda d: all(heading in body_text(d) for heading in sections),
                   lambda d: "the report lacks a section of %r: %r" % (sections, d.title))
            for fold in driver.find_elements(By.TAG_NAME, "details")[:2]:
                fold.click()
            picture(driver, folder, "support-report.png")

            driver.get(base + "/support/?q=kxPayloadRan")
            driver.find_element(By.PARTIAL_LINK_TEXT, "<script>").click()
            settle(driver, lambda d: d.title.startswith("Cause "),
                   lambda d: "the payload's cause did not open: " + d.title)
            expect_payload_inert(driver, "the payload's cause")
            driver.find_element(By.CSS_SELECTOR, "table.reports tbody a").click()
            settle(driver, lambda d: sections[0] in body_text(d),
                   lambda d: "the payload's report did not open: " + d.title)
            expect_payload_inert(driver, "the payload's report")
            picture(driver, folder, "support-report-payload.png")

            driver.find_element(By.CSS_SELECTOR, "form.account button").click()
            settle(driver, lambda d: "/support/login" in d.current_url,
                   lambda d: "the logout did not lead to the login: " + d.current_url)
            driver.get(base + "/support/")
            if "/support/login" not in driver.current_url:
                fail("the page was still shown after logout")
        finally:
            driver.quit()
    print("support pages: login, causes, a cause and reports shown; the payload stayed text")


if __name__ == "__main__":
    main()
