# SPDX-License-Identifier: MIT
"""The map page in a real browser: Debian's headless Chromium, driven by Selenium,
against `sheetfind-cli serve` on a free loopback port.

    SHEETFIND_CLI=build/dev/src/cli/sheetfind-cli /usr/bin/python3 -m pytest tests/server/test_page.py

SHEETFIND_PAGE_SCREENSHOT=docs/map.png also saves the page after a click.
"""
import json
import math
import os
import re
import shutil
import signal
import subprocess
import urllib.error
import urllib.parse
import urllib.request

import pytest
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.actions.action_builder import ActionBuilder
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support import expected_conditions as ready
from selenium.webdriver.support.ui import WebDriverWait

CLI = os.environ.get("SHEETFIND_CLI", "sheetfind-cli")
CHROMEDRIVER = shutil.which("chromedriver") or "/usr/bin/chromedriver"
WAIT_SECONDS = 20

if not os.path.exists(CHROMEDRIVER) and not os.environ.get("CI"):
    pytest.skip("chromium-driver is not installed", allow_module_level=True)


class Served:
    """`sheetfind-cli serve` on a free port, ended with SIGTERM."""

    def __init__(self, *options):
        self.process = subprocess.Popen([CLI, "serve", "--port", "0", *options],
                                        stdout=subprocess.PIPE, text=True)
        line = self.process.stdout.readline()
        match = re.search(r"Sheetfind serving on (http://\S+/)", line)
        assert match, f"no URL in {line!r}"
        self.url = match.group(1)

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        assert self.process.wait(timeout=10) == 0


@pytest.fixture(scope="module")
def server():
    served = Served()
    yield served.url
    served.stop()


@pytest.fixture(scope="module")
def browser():
    options = webdriver.ChromeOptions()
    options.binary_location = shutil.which("chromium") or "/usr/bin/chromium"
    for argument in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage",
                     "--window-size=1200,800", "--force-device-scale-factor=1"):
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
    yield driver
    driver.quit()


def api_error(server, path):
    """The message the API itself gives for a bad request."""
    with pytest.raises(urllib.error.HTTPError) as refused:
        urllib.request.urlopen(server + path)
    assert refused.value.code == 400
    return json.load(refused.value)["error"]


def open_page(browser, server, view):
    """Loads the page at `view` ("zoom/lat/lon") and waits for the land and the grid."""
    browser.get("about:blank")
    browser.get_log("browser")  # what earlier pages logged
    browser.get(f"{server}#map={view}")
    wait = WebDriverWait(browser, WAIT_SECONDS)
    wait.until(ready.presence_of_element_located((By.CSS_SELECTOR, "path.land")))
    wait.until(ready.presence_of_element_located((By.CSS_SELECTOR, ".cell-label")))
    return wait


def severe_console_entries(browser):
    return [e for e in browser.get_log("browser") if e["level"] == "SEVERE"]


def test_the_map_loads_with_its_grid_and_no_console_error(browser, server):
    open_page(browser, server, "4/56/-96")
    labels = {e.text for e in browser.find_elements(By.CSS_SELECTOR, ".cell-label")}
    # At zoom 4 the grid is the series, labelled with their references.
    assert {"092", "082", "093"} <= labels
    assert severe_console_entries(browser) == []


def test_the_controls_have_names_and_the_map_answers_the_keyboard(browser, server):
    wait = open_page(browser, server, "10/49.4/-123.2")
    for selector in ("#search-text", "#search button", "#map", ".leaflet-control-zoom-in"):
        element = browser.find_element(By.CSS_SELECTOR, selector)
        assert element.accessible_name.strip(), selector
    # Tab from the search box's button reaches the map, and Enter finds the sheets
    # at its centre.
    browser.find_element(By.CSS_SELECTOR, "#search button").send_keys(Keys.TAB)
    assert browser.switch_to.active_element.get_attribute("id") == "map"
    browser.switch_to.active_element.send_keys(Keys.ENTER)
    popup = wait.until(ready.visibility_of_element_located((By.CSS_SELECTOR, ".leaflet-popup-content")))
    wait.until(lambda _: "092G06" in popup.text)


def test_a_click_at_the_pixel_of_a_point_opens_its_sheets(browser, server):
    wait = open_page(browser, server, "12/49.27/-123.14")
    # The pixel whose area holds 49.25, -123.1: its top left corner is at or north
    # and west of the point, so the click lands inside 092G06 even on its south edge.
    x, y = browser.execute_script(
        "const p = window.sheetfind.map.latLngToContainerPoint([49.25, -123.1]);"
        "const r = document.getElementById('map').getBoundingClientRect();"
        "return [r.left + p.x, r.top + p.y];")
    actions = ActionBuilder(browser)
    actions.pointer_action.move_to_location(math.floor(x), math.floor(y)).click()
    actions.perform()
    popup = wait.until(ready.visibility_of_element_located((By.CSS_SELECTOR, ".leaflet-popup-content")))
    wait.until(lambda _: "092G06" in popup.text)
    assert "092G" in popup.text and "092" in popup.text
    copy = [b.accessible_name for b in popup.find_elements(By.TAG_NAME, "button")]
    # The NTS's cells, then the four BCGS sheets and the three PNG cells of the point,
    # each with Copy.
    assert copy[:3] == ["Copy 092G06", "Copy 092G", "Copy 092"]
    assert len(copy) == 10 and all(c.startswith("Copy 092G0") for c in copy[3:7]), copy
    assert copy[7:] == ["Copy b-008-A/092-G-06", "Copy 008-A/092-G-06", "Copy A/092-G-06"]
    assert "&at=49.25" in browser.current_url
    assert severe_console_entries(browser) == []  # the marker's images among them
    if os.environ.get("SHEETFIND_PAGE_SCREENSHOT"):
        browser.save_screenshot(os.environ["SHEETFIND_PAGE_SCREENSHOT"])


def test_the_png_grid_is_drawn_close_in_over_ne_bc(browser, server):
    wait = open_page(browser, server, "14/56.912/-120.567")
    # An overlay the layer control turns on, as an oil and gas user does.
    wait.until(ready.element_to_be_clickable(
        (By.XPATH, "//label[contains(., 'PNG grid (BC)')]//input"))).click()
    wait.until(lambda _: "a-096-H/094-A-15" in
               {e.text for e in browser.find_elements(By.CSS_SELECTOR, ".png-cell-label")})
    assert browser.find_elements(By.CSS_SELECTOR, "path.png-cell")
    assert "PNG quarter units in view" in browser.find_element(By.ID, "grid-note").text
    assert severe_console_entries(browser) == []


# (view, the kind of label, one that must be in view): close in over Vancouver the
# BCGS sheets are drawn, and at the last zoom, where one 1:50 000 sheet is wider than
# the view, it is still labelled in view.
CLOSE_IN = [
    ("12/49.25/-123.1", ".bcgs-cell-label", "092G025"),
    ("14/49.26/-123.11", ".cell-label", "092G06"),
]


@pytest.mark.parametrize("view, kind, label", CLOSE_IN, ids=["bcgs", "last-zoom"])
def test_close_in_the_finest_grid_is_drawn_and_labelled_in_view(browser, server, view, kind, label):
    wait = open_page(browser, server, view)
    wait.until(lambda _: any(e.text.startswith(label) and e.is_displayed()
                             for e in browser.find_elements(By.CSS_SELECTOR, kind)))


# Views and the requests for cells each draws with every overlay on: the grid, its
# heavier lines, BC's BCGS and PNG grids where they are drawn.
VIEWS = [("3/56/-96", 1), ("6/49.25/-123.1", 2), ("10/56.9/-120.6", 4), ("14/56.9/-120.6", 4)]


@pytest.mark.parametrize("view, requests", VIEWS, ids=[v for v, _ in VIEWS])
def test_a_views_cells_are_at_most_300_kb_and_a_coarse_base_is_said(browser, server, view,
                                                                      requests):
    open_page(browser, server, view)
    browser.execute_script("performance.clearResourceTimings();"
                           "window.sheetfind.map.addLayer(window.sheetfind.overlays.png)")
    cells = ("return performance.getEntriesByType('resource')"
             ".filter((e) => e.name.includes('/api/cover')).map((e) => e.decodedBodySize)")
    WebDriverWait(browser, WAIT_SECONDS).until(
        lambda _: len(browser.execute_script(cells)) >= requests)
    size = sum(browser.execute_script(cells))
    assert size <= 300_000, size
    zoom = int(view.split("/")[0])
    assert bool(browser.find_element(By.ID, "base-note").text) == (zoom >= 8)


def test_on_a_phone_the_page_fits_and_escape_closes_a_popup(browser, server):
    browser.set_window_size(390, 844)
    try:
        wait = open_page(browser, server, "10/49.4/-123.2")
        width = browser.execute_script("return [document.documentElement.scrollWidth, innerWidth]")
        assert width[0] <= width[1], width
        find = browser.find_element(By.CSS_SELECTOR, "#search button").rect
        assert find["x"] + find["width"] <= width[1]
        browser.find_element(By.ID, "map").send_keys(Keys.ENTER)
        wait.until(ready.visibility_of_element_located((By.CSS_SELECTOR, ".leaflet-popup-content")))
        # The popup, once panned into view, covers neither the zoom buttons nor the layers.
        bottom = lambda css: max(e.rect["y"] + e.rect["height"]
                                 for e in browser.find_elements(By.CSS_SELECTOR, css))
        wait.until(lambda _: browser.find_element(By.CSS_SELECTOR, ".leaflet-popup").rect["y"]
                   >= max(bottom(".leaflet-control-zoom"), bottom(".leaflet-control-layers")))
        # Escape with the focus elsewhere than on the map.
        browser.find_element(By.ID, "search-text").send_keys(Keys.ESCAPE)
        wait.until(lambda _: not browser.find_elements(By.CSS_SELECTOR, ".leaflet-popup-content"))
    finally:
        browser.set_window_size(1200, 800)


@pytest.mark.parametrize("text, highlighted", [
    ("10U 491213 5458885", "092G06"),  # UTM, the point of 49.25, -123.1
    ("92G6", "092G06"),                # a reference, as it is often written
])
def test_search_highlights_the_sheet(browser, server, text, highlighted):
    wait = open_page(browser, server, "4/56/-96")
    box = browser.find_element(By.ID, "search-text")
    box.clear()
    box.send_keys(text, Keys.ENTER)
    map_element = browser.find_element(By.ID, "map")
    wait.until(lambda _: map_element.get_attribute("data-highlighted") == highlighted)
    assert browser.find_elements(By.CSS_SELECTOR, "path.highlight")
    assert browser.find_element(By.ID, "search-message").text == ""
    assert "092G06" in browser.find_element(By.ID, "status").text


def test_a_bad_text_shows_the_servers_message(browser, server):
    wait = open_page(browser, server, "4/56/-96")
    text = "49.25 north somewhere"
    expected = api_error(server, "api/locate?point=" + urllib.parse.quote(text))
    box = browser.find_element(By.ID, "search-text")
    box.clear()
    box.send_keys(text, Keys.ENTER)
    message = browser.find_element(By.ID, "search-message")
    wait.until(lambda _: message.text)
    assert message.text.startswith(expected)
    assert message.get_attribute("role") == "alert"
    assert browser.find_element(By.ID, "map").get_attribute("data-highlighted") is None


def test_a_tile_template_adds_a_tile_layer_with_its_attribution(browser, server):
    # The tiles come from the other server: any image answers for every tile.
    template = server + "static/leaflet/images/layers.png?z={z}&x={x}&y={y}"
    online = Served("--tiles", template)
    try:
        wait = open_page(browser, online.url, "4/56/-96")
        host = urllib.parse.urlsplit(server).netloc
        choice = wait.until(ready.element_to_be_clickable(
            (By.XPATH, f"//label[contains(., 'Tiles from {host}')]//input")))
        choice.click()
        wait.until(ready.presence_of_element_located((By.CSS_SELECTOR, "img.leaflet-tile-loaded")))
        attribution = browser.find_element(By.CSS_SELECTOR, ".leaflet-control-attribution").text
        assert f"Tiles: {host}" in attribution
        assert severe_console_entries(browser) == []
    finally:
        online.stop()
