"""The web build in a browser engine: the browser tests, or the benchmark.

    web_e2e.py test ENGINE BUILD_WEB RAVLIN_FRAME   the page's tests (tools/web-e2e)
    web_e2e.py bench ENGINE BUILD_WEB [RAVLIN_BENCH] frames a second, ms a frame at 1920x1080 and ms to the first
                                                    frame (tools/web-bench), and against the native frame when given
                                                    the native benchmarks

ENGINE is chromium (headless), firefox (Firefox ESR, headless) or webkit
(WebKitGTK's MiniBrowser through WebKitWebDriver, on the X display in
DISPLAY). The page is served from BUILD_WEB over HTTP on localhost, with the
test driver (tests/web/driver.js), which acts on the page after given presents
and posts what it sees back to this server.
"""

import base64
import glob
import http.server
import io
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse
import urllib.request

from PIL import Image

DRIVER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web", "driver.js")
# The page's viewport in CSS px for the tests: a desktop's and a phone's, the
# phone's at 3 device px a CSS px (2 in WebKitGTK, whose windows are at least
# 447 CSS px wide; 500 in Firefox's). The benchmark's is 1920x1080.
DESKTOP = (1280, 720)
PHONE = {"chromium": (390, 844, 3), "firefox": (500, 844, 3), "webkit": (447, 844, 2)}
BENCH = (1920, 1080)
TIMEOUT = 60  # seconds a page may take to report its end


class Server(http.server.ThreadingHTTPServer):
    def __init__(self, root, broken):
        self.root = root
        self.broken = broken  # path: the bytes served instead of the file, or None for a 404
        self.reports = {}
        self.asked = threading.Event()  # the browser asked for a file
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
        self.server.asked.set()
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


def start(command, env=None):
    return subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            start_new_session=True)


# Each engine opens the page at a viewport of width x height CSS px and that
# device pixel ratio, with a profile in `folder`; the process group to end.
def open_chromium(url, width, height, scale, folder):
    # Headless Chromium keeps 143 px of its window's height for itself.
    return start(["chromium", "--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
                  f"--window-size={width},{height + 143}", f"--force-device-scale-factor={scale}",
                  f"--user-data-dir={folder}", url])


def open_firefox(url, width, height, scale, folder):
    with open(os.path.join(folder, "user.js"), "w") as prefs:
        prefs.write(f'user_pref("layout.css.devPixelsPerPx", "{scale}");\n'
                    'user_pref("dom.w3c_touch_events.enabled", 1);\n')
    # Headless Firefox sizes its screen by these; a kiosk window fills it.
    env = dict(os.environ, MOZ_HEADLESS_WIDTH=str(width * scale), MOZ_HEADLESS_HEIGHT=str(height * scale))
    return start(["firefox-esr", "--headless", "--kiosk", "--no-remote", "--profile", folder, url], env)


def open_webkit(url, width, height, scale, folder):
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        port = probe.getsockname()[1]
    driver = start(["WebKitWebDriver", f"--port={port}"], dict(os.environ, GDK_SCALE=str(scale), HOME=folder))

    def call(path, body):
        request = urllib.request.Request(f"http://127.0.0.1:{port}/session{path}", json.dumps(body).encode(),
                                         {"Content-Type": "application/json"})
        with urllib.request.urlopen(request, timeout=30) as answer:
            return json.load(answer)["value"]

    minibrowser = (glob.glob("/usr/lib/*/webkit2gtk-4.1/MiniBrowser") or ["MiniBrowser"])[0]
    for _ in range(50):
        try:
            session = call("", {"capabilities": {"alwaysMatch": {"webkitgtk:browserOptions": {
                "binary": minibrowser, "args": ["--automation"]}}}})["sessionId"]
            break
        except OSError:
            time.sleep(0.1)
    else:
        sys.exit("web-e2e: WebKitWebDriver did not start MiniBrowser")
    # MiniBrowser's toolbar takes 38 px of its window's height.
    call(f"/{session}/window/rect", {"x": 0, "y": 0, "width": width, "height": height + 38})
    call(f"/{session}/url", {"url": url})
    return driver


ENGINES = {"chromium": open_chromium, "firefox": open_firefox, "webkit": open_webkit}


def run_page(engine, root, query, size, broken=None):
    """Opens the page in the engine at size (width, height[, scale]) and with
    those files broken, until it reports its end; the reports. A program that
    ended left no error in the page's console. A page that does not end is
    opened once more, after a line saying how far it came: a browser on a
    busy machine now and then drops it (WebKitGTK in 2 of 31 runs)."""
    for attempt in (1, 2):
        server = Server(root, broken or {})
        threading.Thread(target=server.serve_forever, daemon=True).start()
        profile = tempfile.mkdtemp(prefix=f"ravlin-{engine}-")
        url = f"http://127.0.0.1:{server.server_address[1]}/ravlin.html?driver=driver.js&{query}"
        browser = ENGINES[engine](url, size[0], size[1], size[2] if len(size) > 2 else 1, profile)
        try:
            ended = server.ended.wait(TIMEOUT)
        finally:
            os.killpg(browser.pid, signal.SIGTERM)
            browser.wait()
            server.shutdown()
            shutil.rmtree(profile, ignore_errors=True)
        if ended:
            break
        said = (f"the page did not report its end within {TIMEOUT} s in {engine} ({query}); it asked for "
                f"{'files' if server.asked.is_set() else 'no file'} and reported: "
                + (", ".join(kind + (" " + body.decode(errors="replace") if kind.startswith("at-") else "")
                             for kind, body in sorted(server.reports.items())) or "nothing"))
        check(attempt == 1, said + ", twice")
        print(f"web-e2e: {said}; once more", flush=True)
    errors = json.loads(server.reports["done"]).get("errors", [])
    check("code" not in end_of(server.reports) or not errors, f"the console holds errors at the end: {errors}")
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


def test_key_release_ends_after_the_shrink(engine, root, frames):
    reports = run_page(engine, root, "dump=10&bench=60&events=59:down:KeyA,60:up:KeyA&again=1", DESKTOP)
    end = end_of(reports)
    check([end["width"], end["height"]] == end["viewport"],
          f"the canvas is {end['width']}x{end['height']}, the viewport {end['viewport']}")
    number, _ = frames.find("dump-10.bmp", reports["dump-10"])
    check(number == 10, f"the 10th present shows frame {number}")
    check(end["code"] == 0, f"a key release ended the program with code {end['code']}")
    check(end["presents"] == 60 + END_AFTER, f"a key release after present 60 ended it after {end['presents']}")
    check(end["black"], "the last frame is not black")
    check("ended" in end["note"], "the page does not say that the program ended")
    icon = Image.open(io.BytesIO(base64.b64decode(end["icon"].removeprefix("data:image/png;base64,"))))
    check(icon.format == "PNG" and len(set(icon.convert("RGB").getdata())) > 1,
          "the page's icon is not a PNG of the program's frame")
    check(json.loads(reports["done"]).get("startedAgain"), "a key after the end did not start the program again")
    # The pace from the median gap, which a timer late once in a while on a busy
    # machine leaves as it is. WebKitGTK draws a whole canvas about 19 times a second here.
    rates = [json.loads(reports["bench"])[phase]["steadyFramesPerSecond"] for phase in ("running", "shrinking")]
    check(engine == "webkit" or (abs(rates[0] - 20) <= 0.5 and abs(rates[1] - 60) <= 1),
          f"the program runs at {rates[0]:.1f} frames a second and shrinks at {rates[1]:.1f}, not 20 and 60")
    print("web-e2e: the canvas shows the program's frame; a key release ends it with code 0 after the shrink;")
    print("web-e2e: the page says so, and another key starts the program again; its icon is drawn from a frame")


def test_mouse_right_ends_left_does_not(engine, root):
    end = end_of(run_page(engine, root, "events=5:move:-60:0,25:move:60:0", DESKTOP))
    check(end["code"] == 0 and end["presents"] == 25 + END_AFTER,
          f"moves left then right ended the program after {end['presents']} presents, code {end['code']}")
    print("web-e2e: a mouse move of 60 right ends the program, 60 left does not")


def test_phone_shows_a_frame_and_a_swipe_right_ends(engine, root, frames):
    # A swipe of 30 CSS px is 60 (or 90) device px: more than 50. WebKitGTK
    # makes no touches, so there the mouse moves.
    gesture = "move:-60:0,25:move:60:0" if engine == "webkit" else "swipe:-30:0,25:swipe:30:0"
    reports = run_page(engine, root, f"dump=10&events=5:{gesture}", PHONE[engine])
    end = end_of(reports)
    check(end["devicePixelRatio"] == PHONE[engine][2], f"the device pixel ratio is {end['devicePixelRatio']}")
    check([end["width"], end["height"]] == end["viewport"],
          f"on a phone the canvas is {end['width']}x{end['height']}, the viewport {end['viewport']} device px")
    number, _ = frames.find("dump-10.bmp", reports["dump-10"])
    check(number == 10, f"on a phone the 10th present shows frame {number}")
    check(end["code"] == 0 and end["presents"] == 25 + END_AFTER,
          f"swipes left then right ended the program after {end['presents']} presents, code {end['code']}")
    print("web-e2e: on a phone the canvas is the program's frame in device pixels; a swipe right ends it")


def test_f2_tapped_writes_the_linux_screenshot(engine, root, frames):
    # F2 down and up at once after present 8 is down at the next read and up
    # at the one after, as F2 down after present 8 and up after 9 would be.
    reports = run_page(engine, root, "events=8:tap:F2", DESKTOP)
    end = end_of(reports)
    check(end["code"] == 0 and "ravlin.bmp" in reports, "F2 tapped wrote no ravlin.bmp")
    check(end["offered"], "the page offers no download of ravlin.bmp")
    number, clock = frames.find("ravlin.bmp", reports["ravlin.bmp"])
    # The screenshot is of the back buffer after the flip: the frame before.
    check(number == 9, f"F2 tapped after present 8 saved frame {number}, not 9")
    check(reports["ravlin.bmp"] == frames.screenshot(end["width"], end["height"], clock),
          "ravlin.bmp differs from the Linux build's screenshot of the same frame")
    print("web-e2e: F2 tapped for no time writes the Linux build's ravlin.bmp, byte for byte, and the page offers it")


def test_focus_loss_then_return_restores_the_picture(engine, root, frames):
    reports = run_page(engine, root, "events=10:away:400,20:hide:400,30:down:Space,31:up:Space&dump=15,25", DESKTOP)
    end = end_of(reports)
    check(end["presentsWhileAway"] == 0, f"{end['presentsWhileAway']} frames were presented without the focus")
    frames.find("dump-15.bmp", reports["dump-15"])
    frames.find("dump-25.bmp", reports["dump-25"])
    check(end["code"] == 0, "the program did not end after the focus came back")
    print("web-e2e: blurred or hidden, the page is presented nothing; back, it shows the program's picture again")


def test_a_page_that_cannot_load_says_why(engine, root):
    with open(os.path.join(root, "ravlin.wasm"), "rb") as wasm:
        truncated = wasm.read()[:4096]
    for path, body, words in (("/ravlin.js", None, "ravlin.js did not load"),
                              ("/ravlin.wasm", None, "ravlin.wasm could not be fetched"),
                              ("/ravlin.wasm", truncated, "ravlin.wasm could not be compiled")):
        note = end_of(run_page(engine, root, "", DESKTOP, broken={path: body}))["note"]
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


def bench(engine, root, native_program=None):
    reports = run_page(engine, root, "bench=200&events=199:down:Space,200:up:Space", BENCH)
    end, result = end_of(reports), json.loads(reports["bench"])
    print(f"web-bench: {engine}: the first frame {result['firstFrameMs']:.0f} ms after the wasm was compiled, "
          f"{result['sinceNavigationMs']:.0f} ms after the page was opened")
    for phase in ("running", "shrinking"):
        timing = result[phase]
        print(f"web-bench: {engine}: {end['width']}x{end['height']} {phase}: {timing['framesPerSecond']:.1f} "
              f"frames/s ({timing['steadyFramesPerSecond']:.1f} from the median gap); median ms a frame in wasm {timing['workMs']:.3f}, in the present {timing['presentMs']:.3f} "
              f"({timing['frames']} frames)")
    if native_program:
        native, wasm = native_frames(native_program), result["running"]["workMs"]
        print(f"web-bench: {engine}: running, wasm / native: {wasm / native['Frame']:.2f} against Frame "
              f"({wasm:.3f} / {native['Frame']:.3f} ms), {wasm / native['FramePaced']:.2f} against FramePaced, "
              f"the frame after the program's wait ({native['FramePaced']:.3f} ms)")


def main():
    mode, engine, root = sys.argv[1:4]
    if mode == "bench":
        bench(engine, root, sys.argv[4] if len(sys.argv) > 4 else None)
        return
    work = tempfile.mkdtemp(prefix="ravlin-web-e2e-")
    print(f"web-e2e: in {engine}, with no error in the console at any end:")
    try:
        frames = Frames(sys.argv[4], work)
        test_key_release_ends_after_the_shrink(engine, root, frames)
        test_mouse_right_ends_left_does_not(engine, root)
        test_phone_shows_a_frame_and_a_swipe_right_ends(engine, root, frames)
        test_f2_tapped_writes_the_linux_screenshot(engine, root, frames)
        test_focus_loss_then_return_restores_the_picture(engine, root, frames)
        test_a_page_that_cannot_load_says_why(engine, root)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
