"""The web build in headless Chromium: the browser tests, or the benchmark.

    web_e2e.py test BUILD_WEB RAVLIN_FRAME   the page's tests (tools/web-e2e)
    web_e2e.py bench BUILD_WEB [RAVLIN_BENCH] frames a second and ms a frame at 1920x1080 (tools/web-bench),
                                             and against the native frame when given the native benchmarks

The page is served from BUILD_WEB over HTTP on localhost, with the test driver
(tests/web/driver.js), which acts on the page after given presents and posts
what it sees back to this server.
"""

import base64
import http.server
import io
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import urllib.parse

from PIL import Image

DRIVER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web", "driver.js")
# The browser's window for the tests, and for the benchmark one whose viewport
# is 1920x1080: headless Chromium keeps 143 pixels of its height for itself.
WINDOW = (640, 480)
BENCH_WINDOW = (1920, 1080 + 143)
TIMEOUT = 60  # seconds a page may take to report its end


class Server(http.server.ThreadingHTTPServer):
    def __init__(self, root, broken):
        self.root = root
        self.broken = broken  # path: the bytes served instead of the file, or None for a 404
        self.reports = {}
        self.ended = threading.Event()
        super().__init__(("127.0.0.1", 0), Handler)


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map, ".wasm": "application/wasm"}

    def __init__(self, *args, **kwargs):
        super().__init__(*args, directory=args[2].root, **kwargs)

    def log_message(self, *args):
        pass

    # Cross-origin isolation gives the page's clock 5 µs steps instead of 100.
    def end_headers(self):
        self.send_header("Cross-Origin-Opener-Policy", "same-origin")
        self.send_header("Cross-Origin-Embedder-Policy", "require-corp")
        super().end_headers()

    def translate_path(self, path):
        if urllib.parse.urlparse(path).path == "/driver.js":
            return DRIVER
        return super().translate_path(path)

    def do_GET(self):
        path = urllib.parse.urlparse(self.path).path
        if path not in self.server.broken:
            return super().do_GET()
        body = self.server.broken[path]
        if body is None:
            return self.send_error(404)
        self.send_response(200)
        self.send_header("Content-Type", self.guess_type(path))
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_POST(self):
        kind = urllib.parse.parse_qs(urllib.parse.urlparse(self.path).query)["kind"][0]
        body = self.rfile.read(int(self.headers["Content-Length"] or 0))
        self.server.reports[kind] = body
        if kind == "done":
            self.server.ended.set()
        self.send_response(204)
        self.end_headers()


def chromium():
    for name in ("chromium", "chromium-browser", "google-chrome"):
        if shutil.which(name):
            return name
    sys.exit("web-e2e: no chromium on PATH")


def run_page(root, query, size, scale=1, broken=None):
    """Opens the page in headless Chromium, at that device pixel ratio and with
    those files broken, until it reports its end; the reports."""
    server = Server(root, broken or {})
    threading.Thread(target=server.serve_forever, daemon=True).start()
    profile = tempfile.mkdtemp(prefix="ravlin-chromium-")
    url = f"http://127.0.0.1:{server.server_address[1]}/ravlin.html?driver=driver.js&{query}"
    browser = subprocess.Popen(
        [chromium(), "--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
         f"--window-size={size[0]},{size[1]}", f"--force-device-scale-factor={scale}",
         f"--user-data-dir={profile}", url],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    try:
        if not server.ended.wait(TIMEOUT):
            sys.exit(f"web-e2e: the page did not report its end within {TIMEOUT} s ({query})")
    finally:
        os.killpg(browser.pid, signal.SIGTERM)
        browser.wait()
        server.shutdown()
        shutil.rmtree(profile, ignore_errors=True)
    return server.reports


def end_of(reports):
    return json.loads(reports["end"])


def check(condition, message):
    sys.stdout.flush()
    if not condition:
        sys.exit("web-e2e: " + message)


class Frames:
    """ravlin_frame: which frame a BMP shows, and the program's screenshot of one."""

    def __init__(self, program, work):
        self.program = program
        self.work = work

    def find(self, name, data):
        path = os.path.join(self.work, name)
        with open(path, "wb") as out:
            out.write(data)
        result = subprocess.run([self.program, "--find", path, "200"], capture_output=True, text=True)
        check(result.returncode == 0, f"{name} is none of the program's frames: {result.stdout.strip()}")
        # "PATH: frame N (clock C) of ..."
        words = result.stdout.split()
        return int(words[2]), words[4].rstrip(")")

    def screenshot(self, width, height, clock):
        path = os.path.join(self.work, "expected.bmp")
        subprocess.run([self.program, path, str(width), str(height), clock, "1"], check=True, capture_output=True)
        with open(path, "rb") as data:
            return data.read()


# Released after present N, a key or a move ends the program after 41 more:
# the exit test fires on the next frame, 39 frames shrink and a black one follows.
END_AFTER = 41


def test_key_release_ends_after_the_shrink(root, frames):
    reports = run_page(root, "dump=10&events=11:down:KeyA,12:up:KeyA&again=1", WINDOW)
    end = end_of(reports)
    check([end["width"], end["height"]] == end["viewport"],
          f"the canvas is {end['width']}x{end['height']}, the viewport {end['viewport']}")
    number, _ = frames.find("dump-10.bmp", reports["dump-10"])
    check(number == 10, f"the 10th present shows frame {number}")
    check(end["code"] == 0, f"a key release ended the program with code {end['code']}")
    check(end["presents"] == 12 + END_AFTER, f"a key release after present 12 ended it after {end['presents']}")
    check(end["black"], "the last frame is not black")
    check("ended" in end["note"], "the page does not say that the program ended")
    icon = Image.open(io.BytesIO(base64.b64decode(end["icon"].removeprefix("data:image/png;base64,"))))
    check(icon.format == "PNG" and len(set(icon.convert("RGB").getdata())) > 1,
          "the page's icon is not a PNG of the program's frame")
    check(json.loads(reports["done"]).get("startedAgain"), "a key after the end did not start the program again")
    print("web-e2e: the canvas shows the program's frame; a key release ends it with code 0 after the shrink;")
    print("web-e2e: the page says so, and another key starts the program again; its icon is drawn from a frame")


def test_mouse_right_ends_left_does_not(root):
    end = end_of(run_page(root, "events=5:move:-60:0,25:move:60:0", WINDOW))
    check(end["code"] == 0 and end["presents"] == 25 + END_AFTER,
          f"moves left then right ended the program after {end['presents']} presents, code {end['code']}")
    print("web-e2e: a mouse move of 60 right ends the program, 60 left does not")


def test_device_scale_2_shows_a_frame_in_device_pixels(root, frames):
    reports = run_page(root, "dump=10&events=11:down:KeyA,12:up:KeyA", WINDOW, scale=2)
    end = end_of(reports)
    check(end["devicePixelRatio"] == 2, f"the page's device pixel ratio is {end['devicePixelRatio']}, not 2")
    check([end["width"], end["height"]] == end["viewport"],
          f"at scale 2 the canvas is {end['width']}x{end['height']}, the viewport {end['viewport']} device pixels")
    number, _ = frames.find("dump-10.bmp", reports["dump-10"])
    check(number == 10, f"at scale 2 the 10th present shows frame {number}")
    print("web-e2e: at device scale 2 the canvas is the program's frame at the viewport's size in device pixels")


def test_touch_swipe_right_ends_left_does_not(root):
    # At scale 2 a swipe of 30 CSS pixels is 60 device pixels: more than 50.
    end = end_of(run_page(root, "events=5:swipe:-30:0,25:swipe:30:0", WINDOW, scale=2))
    check(end["code"] == 0 and end["presents"] == 25 + END_AFTER,
          f"swipes left then right ended the program after {end['presents']} presents, code {end['code']}")
    print("web-e2e: a swipe of 30 CSS px (60 device px) right ends the program, one left does not")


def test_f2_writes_the_linux_screenshot(root, frames):
    reports = run_page(root, "events=8:down:F2,9:up:F2", WINDOW)
    end = end_of(reports)
    check(end["code"] == 0 and "ravlin.bmp" in reports, "F2 wrote no ravlin.bmp")
    check(end["offered"], "the page offers no download of ravlin.bmp")
    number, clock = frames.find("ravlin.bmp", reports["ravlin.bmp"])
    # The screenshot is of the back buffer after the flip: the frame before.
    check(number == 9, f"F2 released after present 9 saved frame {number}, not 9")
    check(reports["ravlin.bmp"] == frames.screenshot(end["width"], end["height"], clock),
          "ravlin.bmp differs from the Linux build's screenshot of the same frame")
    print("web-e2e: F2 writes the Linux build's ravlin.bmp, byte for byte, and the page offers it")


def test_focus_loss_then_return_restores_the_picture(root, frames):
    reports = run_page(root, "events=10:away:400,20:hide:400,30:down:Space,31:up:Space&dump=15,25", WINDOW)
    end = end_of(reports)
    check(end["presentsWhileAway"] == 0, f"{end['presentsWhileAway']} frames were presented without the focus")
    frames.find("dump-15.bmp", reports["dump-15"])
    frames.find("dump-25.bmp", reports["dump-25"])
    check(end["code"] == 0, "the program did not end after the focus came back")
    print("web-e2e: blurred or hidden, the page is presented nothing; back, it shows the program's picture again")


def test_a_page_that_cannot_load_says_why(root):
    with open(os.path.join(root, "ravlin.wasm"), "rb") as wasm:
        truncated = wasm.read()[:4096]
    for path, body, words in (("/ravlin.js", None, "ravlin.js did not load"),
                              ("/ravlin.wasm", None, "ravlin.wasm could not be fetched"),
                              ("/ravlin.wasm", truncated, "ravlin.wasm could not be compiled")):
        note = end_of(run_page(root, "", WINDOW, broken={path: body}))["note"]
        check(words in note, f"with {path} {'missing' if body is None else 'cut short'} the page says {note!r}")
    print("web-e2e: without ravlin.js or ravlin.wasm, or with a wasm cut short, the page says why it cannot load")


def native_frames(program):
    """The native frame at 1920x1080 and scale 1 on the headless host, right
    after the page: the medians in ms of Frame (back to back) and FramePaced
    (after the program's 40 ms wait, with the input polls, as the page's frame
    is timed)."""
    with tempfile.TemporaryDirectory(prefix="ravlin-web-bench-") as folder:
        out = os.path.join(folder, "frames.json")
        done = subprocess.run([os.path.abspath(program), "--benchmark_filter=^Frame(Paced)?/1920x1080/scale:1/",
                               "--benchmark_repetitions=5", f"--benchmark_out={out}", "--benchmark_out_format=json"],
                              cwd=folder, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        if done.returncode != 0:
            sys.exit(f"web-bench: {program} failed:\n{done.stderr}")
        with open(out) as results:
            runs = json.load(results)["benchmarks"]
    to_ms = {"ns": 1e-6, "us": 1e-3, "ms": 1.0}
    return {run["run_name"].split("/")[0]: run["real_time"] * to_ms[run["time_unit"]]
            for run in runs if run.get("aggregate_name") == "median"}


def bench(root, native_program=None):
    reports = run_page(root, "bench=200&events=199:down:Space,200:up:Space", BENCH_WINDOW)
    end, result = end_of(reports), json.loads(reports["bench"])
    for phase in ("running", "shrinking"):
        timing = result[phase]
        print(f"web-bench: {end['width']}x{end['height']} {phase}: {timing['framesPerSecond']:.1f} frames/s; "
              f"median ms a frame in wasm {timing['workMs']:.3f}, in the present {timing['presentMs']:.3f} "
              f"({timing['frames']} frames)")
    if native_program:
        native, wasm = native_frames(native_program), result["running"]["workMs"]
        print(f"web-bench: running, wasm / native: {wasm / native['Frame']:.2f} against Frame "
              f"({wasm:.3f} / {native['Frame']:.3f} ms), {wasm / native['FramePaced']:.2f} against FramePaced, "
              f"the frame after the program's wait ({native['FramePaced']:.3f} ms)")


def main():
    mode, root = sys.argv[1], sys.argv[2]
    if mode == "bench":
        bench(root, sys.argv[3] if len(sys.argv) > 3 else None)
        return
    work = tempfile.mkdtemp(prefix="ravlin-web-e2e-")
    try:
        frames = Frames(sys.argv[3], work)
        test_key_release_ends_after_the_shrink(root, frames)
        test_mouse_right_ends_left_does_not(root)
        test_device_scale_2_shows_a_frame_in_device_pixels(root, frames)
        test_touch_swipe_right_ends_left_does_not(root)
        test_f2_writes_the_linux_screenshot(root, frames)
        test_focus_loss_then_return_restores_the_picture(root, frames)
        test_a_page_that_cannot_load_says_why(root)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
