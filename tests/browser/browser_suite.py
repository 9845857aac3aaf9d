#!/usr/bin/python3
"""The validator page and `kvel view` in headless Chromium.

  browser_suite.py KVEL PAGE_DIR OUT_DIR [BENCH_FILE_TOOL]

Serves PAGE_DIR (build-web/page) with the examples and generated files on a
loopback port, drives Debian's Chromium through chromium-driver, and checks:
  - the page gives every example the entry and the lines `kvel check` gives it;
  - `kvel view` pages draw an element for every zone, chord and record, show
    an event's offset on hover, zoom from the keyboard and link the table;
  - 200 hostile files each get a report, the same as `kvel check`'s;
  - no page logs a console error.
Screenshots and measured timings go to OUT_DIR. With BENCH_FILE_TOOL
(build/bench/kvel_bench_file) it also times a 10^6-event file: the page's
check against native `kvel check`, and the size and opening time of its view.
"""
import functools
import http.server
import json
import os
import random
import shutil
import statistics
import subprocess
import sys
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.actions.wheel_input import ScrollOrigin
from selenium.webdriver.common.by import By

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
KVEL, PAGE, OUT = (os.path.abspath(a) for a in sys.argv[1:4])
BENCH_TOOL = os.path.abspath(sys.argv[4]) if len(sys.argv) > 4 else None
SITE = os.path.join(OUT, 'site')
failures = []
measurements = []


def expect(ok, what):
    if not ok:
        failures.append(what)
        print('FAIL:', what)


def measure(text):
    measurements.append(text)
    print('measured:', text)


def kvel(*args, cwd=SITE):
    return subprocess.run([KVEL, *args], cwd=cwd, capture_output=True, check=False)


def native_entries(paths):
    """`kvel check --format json`'s file entries, by path."""
    doc = json.loads(kvel('check', '--format', 'json', '--no-progress', *paths).stdout)
    return {f['path']: f for f in doc['files']}


# ---- Serving ----------------------------------------------------------------

def make_site():
    shutil.rmtree(SITE, ignore_errors=True)
    shutil.copytree(PAGE, SITE)
    shutil.copytree(os.path.join(ROOT, 'examples'), os.path.join(SITE, 'examples'),
                    ignore=shutil.ignore_patterns('*.json', '*.cpp', 'CMakeLists.txt', 'generator'))


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def serve():
    handler = functools.partial(QuietHandler, directory=SITE)
    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, 'http://127.0.0.1:%d/' % server.server_address[1]


def browser():
    options = webdriver.ChromeOptions()
    options.binary_location = '/usr/bin/chromium'
    for flag in ['--headless=new', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                 '--disable-background-networking', '--disable-component-update', '--disable-sync',
                 '--window-size=1280,900']:
        options.add_argument(flag)
    options.set_capability('goog:loggingPrefs', {'browser': 'ALL'})
    return webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)


def console_errors(driver, where):
    errors = [e['message'] for e in driver.get_log('browser') if e['level'] == 'SEVERE']
    expect(not errors, '%s: console errors: %s' % (where, errors[:3]))


def wait_for_page(driver, count, seconds=120):
    deadline = time.time() + seconds
    while time.time() < deadline:
        done = driver.execute_script(
            'var p = window.kvelPage; return p && p.pending === 0 && p.results.length >= arguments[0];', count)
        if done:
            return driver.execute_script('return window.kvelPage.results;')
        time.sleep(0.05)
    raise TimeoutError('the page did not finish %d file(s)' % count)


# ---- The page against kvel check ----------------------------------------------

def examples():
    found = []
    for base, _, files in os.walk(os.path.join(SITE, 'examples')):
        for name in sorted(files):
            if name.endswith(('.kvmf', '.bin')):
                found.append(os.path.relpath(os.path.join(base, name), SITE))
    return sorted(found)


def test_page_examples(driver, url):
    paths = examples()
    native = native_entries(paths)
    for path in paths:
        driver.get(url + '?file=' + path)
        [result] = wait_for_page(driver, 1)
        expect(result.get('check') == native[path], 'page: %s: the entry differs from kvel check --format json' % path)
        text = kvel('check', '--no-progress', path).stdout.decode().splitlines()[:-1]  # less the summary
        shown = [e.text for e in driver.find_elements(By.CSS_SELECTOR, '.kv-records .kv-line, .kv-lines')]
        shown = [line for block in shown for line in block.splitlines()]
        # The page prints "not checked" and "not listed" lines above the table, kvel after the records.
        expect(sorted(shown) == sorted(text), 'page: %s: lines %s, kvel check prints %s' % (path, shown, text))
        console_errors(driver, 'page ' + path)
    # Two files dropped on the page at once, as a person drops them.
    driver.get(url)
    driver.execute_async_script("""
        var done = arguments[arguments.length - 1];
        Promise.all(['examples/broken/zone.kvmf', 'examples/song.kvmf'].map(function (path) {
          return fetch(path).then(function (r) { return r.arrayBuffer(); }).then(function (b) {
            return new File([b], path.split('/').pop());
          });
        })).then(function (files) {
          var dt = new DataTransfer();
          files.forEach(function (f) { dt.items.add(f); });
          document.dispatchEvent(new DragEvent('drop', {dataTransfer: dt, bubbles: true, cancelable: true}));
          done();
        });""")
    dropped = wait_for_page(driver, 2)
    for result, path in zip(dropped, ['examples/broken/zone.kvmf', 'examples/song.kvmf']):
        expected = dict(native[path], path=os.path.basename(path))
        expect(result.get('check') == expected, 'page: dropped %s: the entry differs from kvel check' % path)
    driver.save_screenshot(os.path.join(OUT, 'page.png'))
    console_errors(driver, 'page with two files dropped')
    # Another site's file is not fetched.
    driver.get(url + '?file=http://example.invalid/song.kvmf')
    [refused] = wait_for_page(driver, 1)
    expect(refused.get('error') == 'only files from this site can be loaded', 'page: another site: %s' % refused)
    console_errors(driver, 'page asked for another site\'s file')
    print('page: %d examples give the same entries and lines as kvel check' % len(paths))


# ---- kvel view -----------------------------------------------------------------

def dump(path):
    return json.loads(kvel('dump', '--format', 'json', path).stdout)


def first_event_offset(doc):
    e = doc['eventSubFrame']
    return 24 + doc['zoneSubFrame']['frameSize'] + 36 + 4 * len(e['categories']) + 4


def open_view(driver, path, name):
    html = os.path.join(OUT, name + '.html')
    kvel('view', path, '-o', html)
    driver.get('file://' + html)
    drawn_ms = float(driver.execute_script('return document.getElementById("kvel-view").dataset.drawnMs;'))
    return html, drawn_ms


def test_view(driver, path, name):
    html, drawn_ms = open_view(driver, path, name)
    doc = dump(path)
    entry = native_entries([path])[path]
    find = lambda css: driver.find_elements(By.CSS_SELECTOR, css)
    zones = doc.get('zoneSubFrame', {}).get('zones', [])
    for z in range(len(zones)):
        expect(find('[data-zone="%d"]' % z), 'view %s: no element for zone %d' % (name, z))
    events = doc.get('eventSubFrame', {}).get('events', [])
    chords = [i for i, e in enumerate(events) if e['category'] in ('chord', 'absoluteChord')]
    for i in chords:
        expect(find('.kv-chord[data-event="%d"], .kv-abs[data-event="%d"]' % (i, i)),
               'view %s: no element for chord event %d' % (name, i))
    for k, record in enumerate(entry['records']):
        expect(find('.kv-record[data-record="%d"], .kv-chip[data-record="%d"]' % (k, k)),
               'view %s: no mark for record %d' % (name, k))
        rows = find('tr[data-record="%d"] .kv-line' % k)
        expect(rows and rows[0].text == path + ': ' + record['message'], 'view %s: table row %d' % (name, k))
    if chords:
        i = chords[len(chords) // 2]
        target = find('.kv-chord[data-event="%d"], .kv-abs[data-event="%d"]' % (i, i))[0]
        ActionChains(driver).move_to_element(target).perform()
        tip = driver.find_element(By.CSS_SELECTOR, '.kv-tip')
        offset = first_event_offset(doc) + 10 * i
        expect(tip.is_displayed() and ('offset 0x%08x' % offset) in tip.text,
               'view %s: hovering over event %d shows %r, not offset 0x%08x' % (name, i, tip.text, offset))
    # Keyboard zoom narrows the axis; a click on a row selects its mark.
    first_tick = lambda: driver.execute_script(
        'var t = document.querySelectorAll(".kv-svg .kv-ticklabel"); return t.length > 1 ? t[1].textContent : "";')
    before = first_tick()
    root = driver.find_element(By.ID, 'kvel-view')
    root.click()
    root.send_keys('+')
    time.sleep(0.2)
    expect(first_tick() != before, 'view %s: + did not zoom in' % name)
    if chords:
        # Zoomed in, the beats lie pixels apart. Their lane is one path:
        # hovering over it at a chord's left edge finds the beat there.
        root.send_keys('+++')
        time.sleep(0.2)
        svg = find('.kv-svg')[0].rect
        shown_chords = [c for c in find('rect.kv-chord[data-event], rect.kv-abs[data-event]')
                        if svg['x'] + 120 < c.rect['x'] < svg['x'] + svg['width'] - 20]
        target = shown_chords[len(shown_chords) // 2]
        i = int(target.get_attribute('data-event'))
        lane = find('path.kv-beat')[0].rect
        ActionChains(driver).move_to_element_with_offset(
            find('.kv-svg')[0], int(round(target.rect['x'] + 0.5 - (svg['x'] + svg['width'] / 2))),
            int(round(lane['y'] + lane['height'] / 2 - (svg['y'] + svg['height'] / 2)))).perform()
        tip = driver.find_element(By.CSS_SELECTOR, '.kv-tip')
        beats = [j for j, e in enumerate(events) if e['category'] == 'beat'
                 and e['samplePosition'] == events[i]['samplePosition']]
        shown = tip.text.split(' ')[1] if tip.is_displayed() else ''
        expect(shown.isdigit() and int(shown) in beats and
               ('offset 0x%08x' % (first_event_offset(doc) + 10 * int(shown))) in tip.text,
               'view %s: hovering over the beats at event %d shows %r, not one of the beats %s' % (name, i, tip.text, beats))
    root.send_keys('0')
    # The wheel zooms in at the pointer, a drag pans.
    time.sleep(0.1)
    before = first_tick()
    svg_element = find('.kv-svg')[0]
    ActionChains(driver).scroll_from_origin(ScrollOrigin.from_element(svg_element), 0, -600).perform()
    time.sleep(0.2)
    zoomed = first_tick()
    expect(zoomed != before, 'view %s: the wheel did not zoom in' % name)
    ActionChains(driver).move_to_element(svg_element).click_and_hold().move_by_offset(-200, 0).release().perform()
    time.sleep(0.2)
    expect(first_tick() != zoomed, 'view %s: dragging did not pan' % name)
    root.send_keys('0')
    if entry['records']:
        find('tr[data-record="0"]')[0].click()
        expect(find('.kv-record.kv-selected, .kv-chip.kv-selected'), 'view %s: a row click selects no mark' % name)
    # A zone record's problem marks its zone's band.
    zone_records = [k for k, r in enumerate(entry['records']) if r['offset'] is not None and
                    0 <= r['offset'] - 26 < 58 * len(zones) and r['offset'] < 24 + doc['zoneSubFrame']['frameSize']]
    for k in zone_records[:2]:
        find('tr[data-record="%d"]' % k)[0].click()
        time.sleep(0.1)
        z = (entry['records'][k]['offset'] - 26) // 58
        expect(find('.kv-zone.kv-selected[data-zone="%d"]' % z), 'view %s: record %d does not mark zone %d' % (name, k, z))
    driver.save_screenshot(os.path.join(OUT, name + '.png'))
    console_errors(driver, 'view ' + name)
    measure('kvel view %s: %d bytes, drawn %.0f ms after navigation' % (path, os.path.getsize(html), drawn_ms))
    return os.path.getsize(html), drawn_ms


# ---- Hostile files -------------------------------------------------------------

def hostile_files(count=200):
    """Examples cut, flipped, overwritten and filled with extreme size fields."""
    rng = random.Random(15)
    seeds = [open(os.path.join(SITE, p), 'rb').read() for p in examples()]
    os.makedirs(os.path.join(SITE, 'hostile'), exist_ok=True)
    paths = []
    for n in range(count):
        data = bytearray(rng.choice(seeds))
        kind = n % 7
        events_at = event_header_at = None
        if len(data) >= 24:
            event_header_at = 24 + int.from_bytes(data[20:24], 'big')
            if event_header_at + 36 <= len(data):
                events_at = event_header_at + 40 + 4 * int.from_bytes(data[event_header_at + 30:event_header_at + 32], 'big')
        if kind == 0:
            data = data[:rng.randrange(0, len(data) + 1)]
        elif kind == 1:
            for _ in range(rng.randrange(1, 40)):
                data[rng.randrange(len(data))] ^= 1 << rng.randrange(8)
        elif kind == 2:
            # A size or count field of the headers set to an extreme.
            at = rng.choice([16, 20, 24, 84, 88, 92, 110, 112, 140, 144])
            if at + 4 <= len(data):
                data[at:at + 4] = rng.choice([b'\xff\xff\xff\xff', b'\x7f\xff\xff\xff', b'\x00\x00\x00\x00',
                                              b'\x80\x00\x00\x00', b'\x00\x00\x00\x0a'])
        elif kind == 3:
            start = rng.randrange(len(data))
            data[start:start + 64] = bytes(rng.randrange(256) for _ in range(64))
        elif kind == 4:
            data = bytearray(b'KVMF' + bytes(rng.randrange(256) for _ in range(rng.randrange(0, 600))))
        elif kind == 5 and event_header_at is not None and event_header_at + 16 <= len(data):
            # The sample rate or the total sample count at an extreme.
            at = event_header_at + rng.choice([8, 12])
            data[at:at + 4] = rng.choice([b'\x00\x00\x00\x00', b'\x00\x00\x00\x01', b'\xff\xff\xff\xff'])
        elif kind == 6 and events_at is not None and events_at < len(data):
            # Events out of time order, some at the last sample a file can name.
            records = [data[o:o + 10] for o in range(events_at, len(data) - 9, 10)]
            rng.shuffle(records)
            for r in records[:3]:
                r[6:10] = b'\xff\xff\xff\xff'
            data[events_at:events_at + 10 * len(records)] = b''.join(records)
        path = 'hostile/h%03d.kvmf' % n
        with open(os.path.join(SITE, path), 'wb') as f:
            f.write(data)
        paths.append(path)
    return paths


def test_hostile(driver, url):
    paths = hostile_files()
    native = native_entries(paths)
    driver.get(url)
    driver.execute_script('window.kvelPage.loadUrls(arguments[0]);', paths)
    results = wait_for_page(driver, len(paths), seconds=300)
    by_name = {r['name']: r for r in results}
    for path in paths:
        r = by_name.get(path, {})
        expect('check' in r and r['check'] == native[path], 'hostile %s: %s' % (path, r.get('error', 'entry differs')))
    drawn = driver.execute_script('return document.querySelectorAll(".kv-timeline[data-drawn]").length;')
    expect(drawn == len(paths), 'hostile: %d of %d timelines drawn' % (drawn, len(paths)))
    # Zoomed in far, panned and zoomed out again, each one is drawn anew.
    driver.set_script_timeout(120)
    driver.execute_async_script("""
        var done = arguments[arguments.length - 1];
        var keys = ['+', '+', '+', '+', '+', '+', '+', '+', 'ArrowRight', '-', 'ArrowLeft', '0'];
        var roots = document.querySelectorAll('.kv-timeline');
        (function next(k) {
          if (k === keys.length) return done();
          roots.forEach(function (root) { root.dispatchEvent(new KeyboardEvent('keydown', {key: keys[k]})); });
          requestAnimationFrame(function () { setTimeout(function () { next(k + 1); }, 0); });
        })(0);""")
    console_errors(driver, 'hostile files')
    print('hostile: %d files, each reported as kvel check reports it' % len(paths))


# ---- A 10^6-event file ----------------------------------------------------------

def timed(fn, runs):
    times = []
    for _ in range(runs):
        t = time.perf_counter()
        fn()
        times.append((time.perf_counter() - t) * 1000)
    return statistics.median(times)


def test_large(driver, url):
    path = 'large.kvmf'
    subprocess.run([BENCH_TOOL, '1000000', '2', os.path.join(SITE, path)], check=True)
    native_ms = timed(lambda: kvel('check', '--no-progress', path), 5)
    native = native_entries([path])[path]
    driver.get(url)
    page_ms = []
    for n in range(3):
        driver.execute_script('window.kvelPage.loadUrls(arguments[0]);', [path])
        results = wait_for_page(driver, n + 1, seconds=120)
        expect(results[-1].get('check') == native, 'large: the page gave another report than kvel check')
        page_ms.append(results[-1].get('checkMs', 0))
    console_errors(driver, 'page with a 10^6-event file')
    page = statistics.median(page_ms)
    measure('10^6 events (%d bytes): kvel check %.0f ms (process, median of 5), page check %.0f ms '
            '(median of 3), ratio %.2f, target 3' % (os.path.getsize(os.path.join(SITE, path)), native_ms, page,
                                                    page / native_ms))
    html, drawn_ms = open_view(driver, path, 'view-large')
    size = os.path.getsize(html)
    notice = driver.find_element(By.CSS_SELECTOR, '.kv-notice').text
    expect('Zoom in' in notice, 'large view: the page does not say it is summarised: %r' % notice)
    console_errors(driver, 'view of a 10^6-event file')
    subprocess.run([BENCH_TOOL, '100000', '2', os.path.join(SITE, 'full.kvmf')], check=True)
    html, full_ms = open_view(driver, 'full.kvmf', 'view-full')
    notice = driver.find_element(By.CSS_SELECTOR, '.kv-notice').text
    expect(notice == '100000 events, all drawn.', 'view of 10^5 events: %r' % notice)
    measure('kvel view of 10^5 events: %d bytes, drawn in full %.0f ms after navigation' % (os.path.getsize(html), full_ms))
    measure('kvel view of 10^6 events: %d bytes (target 30 MB), drawn %.0f ms after navigation (target 5000)'
            % (size, drawn_ms))


def main():
    os.makedirs(OUT, exist_ok=True)
    make_site()
    server, url = serve()
    driver = browser()
    try:
        test_page_examples(driver, url)
        os.chdir(SITE)
        size, drawn = test_view(driver, 'examples/song.kvmf', 'view-song')
        expect(size < 300 * 1024, 'view of song.kvmf is %d bytes, not under 300 KB' % size)
        test_view(driver, 'examples/broken/zone.kvmf', 'view-broken-zone')
        test_view(driver, 'examples/unloadable/truncated.bin', 'view-truncated')
        test_hostile(driver, url)
        if BENCH_TOOL:
            test_large(driver, url)
    finally:
        driver.quit()
        server.shutdown()
    with open(os.path.join(OUT, 'measurements.txt'), 'w') as f:
        f.write('\n'.join(measurements) + '\n')
    print('screenshots and measurements in', OUT)
    if failures:
        print('%d failure(s)' % len(failures))
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main())
