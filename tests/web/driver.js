// The browser tests' driver, loaded by the page when its address names it
// (tools/web_e2e.py serves it). It acts on the page after given presents and
// reports to the server that serves the page:
//   events=N:ACTION,...  after present N: down:CODE, up:CODE (KeyboardEvent.code),
//                        move:DX:DY, swipe:DX:DY (a finger's, in CSS px), away:MS (the page loses the focus, and has
//                        it back MS later), hide:MS (the page is hidden, and
//                        shown again MS later)
//   dump=N,...           after present N, post the canvas as a 24-bit BMP
//   bench=N              at the end, post the timings of the frames while
//                        running (11 to N) and of the shrinking end once its
//                        frames no longer wait 40 ms (N + 5 to N + 40)
//   again=1              after the end, press a key and wait for the program's
//                        first present again
// At the end it posts the exit code, the presents counted, whether the canvas
// is black, and ravlin.bmp when the program wrote one; then "done". If the
// program cannot load or stops, it posts the page's note, then "done".
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

  const act = ([name, a, b]) => {
    if (name === 'down' || name === 'up') {
      window.dispatchEvent(new KeyboardEvent(name === 'down' ? 'keydown' : 'keyup', {code: a, bubbles: true}));
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
  window.onRavlinFrame = (workMs, presentMs) => {
    ++presents;
    if (endedAfter && presents === endedAfter + 1) post('done', JSON.stringify({startedAgain: true}));
    if (away) ++presentsWhileAway;
    frames.push({at: performance.now(), workMs, presentMs});
    if (dumps.has(presents)) post('dump-' + presents, canvasBmp());
    for (const action of actions.get(presents) || []) act(action);
  };

  // Frames a second, and the median ms a frame spent in wasm and in the present.
  const timings = (group) => ({
    frames: group.length,
    framesPerSecond: (group.length - 1) * 1000 / (group[group.length - 1].at - group[0].at),
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
                                    shrinking: timings(frames.slice(benchFrames + 4, benchFrames + 40))}));
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
    if (!params.has('again')) {
      post('done', '{}');
      return;
    }
    // After the page's own onExit work, as a person would press a key later.
    setTimeout(() => window.dispatchEvent(new KeyboardEvent('keydown', {code: 'KeyB', bubbles: true})), 100);
  };
})();
