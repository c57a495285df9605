// The browser tests' driver, loaded by the page when its address names it
// (tools/web_e2e.py serves it). It acts on the page after given presents and
// reports to the server that serves the page:
//   events=N:ACTION,...  after present N: down:CODE, up:CODE, tap:CODE (down and up at once; CODE is a
//                        KeyboardEvent.code), move:DX:DY, swipe:DX:DY (a finger's, in CSS px), away:MS (the page loses the focus, and has
//                        it back MS later), hide:MS (the page is hidden, and
//                        shown again MS later)
//   dump=N,...           after present N, post the canvas as a 24-bit BMP
//   bench=N              at the end, post the timings of the frames while
//                        running (11 to N) and of the shrinking end once its
//                        frames no longer wait 40 ms (N + 5 to N + 40), and
//                        the ms from the wasm's compilation to the first present
//   again=1              after the end, press a key and wait for the program's
//                        first present again
// At the end it posts the exit code, the presents counted, whether the canvas
// is black, and ravlin.bmp when the program wrote one; a moment later "done",
// with the errors that reached the console. If the program cannot load or
// stops, it posts the page's note, then "done".
(() => {
  const params = new URLSearchParams(location.search);
  const list = (name) => (params.get(name) || '').split(',').filter(Boolean);
  const actions = new Map();
  for (const item of list('events')) {
    const [at, ...action] = item.split(':');
    if (!actions.has(+at)) actions.set(+at, []);
    actions.get(+at).push(action);
  }
  const dumps = new Set(list('dump').map(Number));
  const benchFrames = +(params.get('bench') || 0);

  // What would reach the console as an error: uncaught errors and rejections,
  // and console.error.
  const errors = [];
  window.addEventListener('error', (event) => errors.push(String(event.error || event.message)));
  window.addEventListener('unhandledrejection', (event) => errors.push(String(event.reason)));
  const consoleError = console.error;
  console.error = (...words) => { errors.push(words.join(' ')); consoleError(...words); };

  // When the wasm was compiled, which the first present is timed from.
  let compiledAt = 0;
  for (const name of ['instantiate', 'instantiateStreaming']) {
    const original = WebAssembly[name];
    WebAssembly[name] = (...args) => original(...args).then((result) => { compiledAt = performance.now(); return result; });
  }

  let presents = 0;
  let away = false;
  let presentsWhileAway = 0;
  const frames = [];
  let reports = Promise.resolve();
  const post = (kind, body) => {
    reports = reports.then(() => fetch('/report?kind=' + kind, {method: 'POST', body}));
    return reports;
  };

  const canvasPixels = () => {
    const canvas = document.querySelector('canvas');
    return canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height);
  };

  // The canvas as the program's screenshot is written: bottom-up 24-bit BGR.
  const canvasBmp = () => {
    const image = canvasPixels();
    const {width, height, data} = image;
    const rowBytes = (width * 3 + 3) & ~3;
    const bytes = new Uint8Array(54 + rowBytes * height);
    const view = new DataView(bytes.buffer);
    bytes[0] = 0x42; bytes[1] = 0x4D;
    view.setUint32(2, bytes.length, true);
    view.setUint32(10, 54, true);
    view.setUint32(14, 40, true);
    view.setInt32(18, width, true);
    view.setInt32(22, height, true);
    view.setUint16(26, 1, true);
    view.setUint16(28, 24, true);
    for (let y = 0; y < height; ++y) {
      const row = 54 + rowBytes * (height - 1 - y);
      for (let x = 0; x < width; ++x) {
        const from = (y * width + x) * 4;
        bytes[row + x * 3] = data[from + 2];
        bytes[row + x * 3 + 1] = data[from + 1];
        bytes[row + x * 3 + 2] = data[from];
      }
    }
    return bytes;
  };

  // A headless page is never hidden; the test's page says it is.
  let hidden = false;
  Object.defineProperty(document, 'visibilityState', {get: () => (hidden ? 'hidden' : 'visible')});
  const setHidden = (value) => {
    hidden = away = value;
    document.dispatchEvent(new Event('visibilitychange'));
  };

  const key = (type, code) => window.dispatchEvent(new KeyboardEvent(type, {code, bubbles: true}));
  const act = ([name, a, b]) => {
    if (name === 'down' || name === 'up') {
      key(name === 'down' ? 'keydown' : 'keyup', a);
    } else if (name === 'tap') {
      key('keydown', a);
      key('keyup', a);
    } else if (name === 'move') {
      window.dispatchEvent(new MouseEvent('mousemove', {movementX: +a, movementY: +(b || 0), bubbles: true}));
    } else if (name === 'swipe') {
      const canvas = document.querySelector('canvas');
      const touch = (x, y) => new Touch({identifier: 1, target: canvas, clientX: x, clientY: y});
      const fire = (type, t) => canvas.dispatchEvent(new TouchEvent(type, {changedTouches: [t], bubbles: true, cancelable: true}));
      fire('touchstart', touch(100, 100));
      fire('touchmove', touch(100 + +a, 100 + +(b || 0)));
      fire('touchend', touch(100 + +a, 100 + +(b || 0)));
    } else if (name === 'away') {
      away = true;
      window.dispatchEvent(new FocusEvent('blur'));
      setTimeout(() => {
        away = false;
        window.dispatchEvent(new FocusEvent('focus'));
      }, +a);
    } else if (name === 'hide') {
      setHidden(true);
      setTimeout(() => setHidden(false), +a);
    }
  };

  const median = (values) => {
    const sorted = values.slice().sort((x, y) => x - y);
    return sorted[sorted.length >> 1];
  };

  let endedAfter = 0;  // presents before the end, once it came
  let firstFrameAt = 0;
  window.onRavlinFrame = (workMs, presentMs) => {
    ++presents;
    if (!firstFrameAt) firstFrameAt = performance.now();
    if (endedAfter && presents === endedAfter + 1) post('done', JSON.stringify({startedAgain: true, errors}));
    if (away) ++presentsWhileAway;
    frames.push({at: performance.now(), workMs, presentMs});
    if (dumps.has(presents)) post('dump-' + presents, canvasBmp());
    for (const action of actions.get(presents) || []) act(action);
    // Where a page never ends, how far it came says why.
    if (presents % 100 === 0) post('at-' + presents, JSON.stringify({away, presentsWhileAway}));
  };

  // Frames a second, over the whole group and from its median gap, and the
  // median ms a frame spent in wasm and in the present.
  const timings = (group) => ({
    frames: group.length,
    framesPerSecond: (group.length - 1) * 1000 / (group[group.length - 1].at - group[0].at),
    steadyFramesPerSecond: 1000 / median(group.slice(1).map((f, i) => f.at - group[i].at)),
    workMs: median(group.map((f) => f.workMs)),
    presentMs: median(group.map((f) => f.presentMs)),
  });

  window.onRavlinError = () => {
    post('end', JSON.stringify({note: document.getElementById('note').textContent}));
    post('done', '{}');
  };

  window.onRavlinEnd = (code, instance) => {
    if (benchFrames) {
      // The first frames, while the page settles, are not counted.
      post('bench', JSON.stringify({running: timings(frames.slice(10, benchFrames)),
                                    shrinking: timings(frames.slice(benchFrames + 4, benchFrames + 40)),
                                    firstFrameMs: firstFrameAt - compiledAt, sinceNavigationMs: firstFrameAt}));
    }
    const {width, height, data} = canvasPixels();
    let black = true;
    for (let i = 0; i < data.length; i += 4) black = black && !data[i] && !data[i + 1] && !data[i + 2];
    if (instance.FS.analyzePath('/ravlin.bmp').exists) post('ravlin.bmp', instance.FS.readFile('/ravlin.bmp'));
    const offered = !!document.querySelector('a[download="ravlin.bmp"]');
    const viewport = [Math.round(innerWidth * devicePixelRatio), Math.round(innerHeight * devicePixelRatio)];
    post('end', JSON.stringify({code, presents, presentsWhileAway, black, width, height, viewport, offered,
                                devicePixelRatio, icon: document.getElementById('icon').href,
                                note: document.getElementById('note').textContent}));
    endedAfter = presents;
    // After the page's own onExit work, and whatever follows the end, as a
    // person would press a key later.
    setTimeout(() => (params.has('again') ? key('keydown', 'KeyB') : post('done', JSON.stringify({errors}))), 200);
  };
})();
