// The web host's half in the page, an Emscripten JavaScript library: the
// object Module.webHost (the canvas, its context, the key table and the
// events not yet taken), the page's listeners, and the calls the C++ half
// (web.cpp) makes. Events wait in `events` as [type, code, x, y], the type
// numbered as HostEventType in host.h. The page's refresh is measured as the
// program starts, from a run of animation frames.
//
// Depends on the page's canvas (Module.canvas, or its first), canvas 2D and
// the browser's key, mouse, touch, focus and visibility events.
mergeInto(LibraryManager.library, {
  // Makes Module.webHost and adds the page's listeners. Key codes are added
  // by WebKeyCode.
  WebPageStart: function() {
    const Type = {FocusLost: 0, FocusGained: 1, KeyDown: 3, KeyUp: 4, KeyHeld: 5,
                  MouseMove: 6, MouseButton: 7, MouseWheel: 8};
    const host = Module.webHost = {
      canvas: Module.canvas || document.querySelector("canvas"),
      events: [], keyCodes: new Map(), keysDown: new Set(), active: true, asked: false,
      frameGap: 0, lastFrame: 0, listeners: [], Type: Type,
    };
    // The refresh: the median gap (ms) of a dozen animation frames in a row;
    // the last of them is a blank.
    const frames = [];
    const measure = (time) => {
      frames.push(time);
      if (frames.length < 12) return requestAnimationFrame(measure);
      const gaps = frames.slice(1).map((t, i) => t - frames[i]).sort((a, b) => a - b);
      host.lastFrame = time;
      host.frameGap = gaps[gaps.length >> 1] || 1000 / 60;
    };
    requestAnimationFrame(measure);
    host.context = host.canvas.getContext("2d", {alpha: false});
    const push = (type, code, x, y) => host.events.push([type, code, x, y]);
    const focus = (active) => {
      if (active === host.active) return;
      host.active = active;
      if (!active) host.keysDown.clear();  // the page hears nothing of keys while away
      push(active ? Type.FocusGained : Type.FocusLost, 0, 0, 0);
    };
    // Full screen on the first key or click, Pointer Lock on the first click:
    // where the browser allows them, which is only inside such an event.
    const ask = (click) => {
      if (!host.asked && document.documentElement.requestFullscreen) {
        host.asked = true;
        document.documentElement.requestFullscreen().catch(() => {});
      }
      if (click && document.pointerLockElement !== host.canvas && host.canvas.requestPointerLock) {
        try { const lock = host.canvas.requestPointerLock(); if (lock && lock.catch) lock.catch(() => {}); } catch (e) {}
      }
    };
    const key = (down) => (event) => {
      const code = host.keyCodes.get(event.code);
      if (!code) return;
      event.preventDefault();
      if (down) ask(false);
      // Repeats are not presses, and a release is news only of a key seen down.
      if (down === host.keysDown.has(code)) return;
      if (down) host.keysDown.add(code); else host.keysDown.delete(code);
      push(down ? Type.KeyDown : Type.KeyUp, code, 0, 0);
    };
    const buttons = [1, 3, 2];  // left, middle, right as the host numbers them
    const button = (down) => (event) => {
      if (down) ask(true);
      if (event.button < 3) push(Type.MouseButton, buttons[event.button], down ? 1 : 0, 0);
    };
    const listen = (target, name, handler) => {
      target.addEventListener(name, handler, {passive: false});
      host.listeners.push([target, name, handler]);
    };
    listen(window, "keydown", key(true));
    listen(window, "keyup", key(false));
    listen(window, "mousedown", button(true));
    listen(window, "mouseup", button(false));
    listen(window, "mousemove", (event) => {
      if (host.active && (event.movementX || event.movementY)) {
        push(Type.MouseMove, 0, event.movementX | 0, event.movementY | 0);
      }
    });
    // A finger is the mouse: the first one down moves it, in device pixels as
    // the viewport is measured, and touching is the left button, so a tap does
    // what a click does. The browser's own mouse events for a touch are
    // prevented, and the page's touch-action keeps it from scrolling or zooming.
    let finger = null;  // the touch that is the mouse, and where it is in device pixels
    const devicePixels = (touch) => [Math.round(touch.clientX * (window.devicePixelRatio || 1)),
                                     Math.round(touch.clientY * (window.devicePixelRatio || 1))];
    const fingerIn = (event) => finger && Array.from(event.changedTouches).find((t) => t.identifier === finger.id);
    listen(window, "touchstart", (event) => {
      event.preventDefault();
      if (finger || !event.changedTouches.length) return;
      const touch = event.changedTouches[0];
      const [x, y] = devicePixels(touch);
      finger = {id: touch.identifier, x, y};
      push(Type.MouseButton, 1, 1, 0);
    });
    listen(window, "touchmove", (event) => {
      event.preventDefault();
      const touch = fingerIn(event);
      if (!touch) return;
      const [x, y] = devicePixels(touch);
      if (host.active && (x !== finger.x || y !== finger.y)) push(Type.MouseMove, 0, x - finger.x, y - finger.y);
      finger.x = x;
      finger.y = y;
    });
    const lift = (tap) => (event) => {
      event.preventDefault();
      if (!fingerIn(event)) return;
      finger = null;
      if (tap) ask(false);  // a touch's end, not its start, may ask for full screen
      push(Type.MouseButton, 1, 0, 0);
    };
    listen(window, "touchend", lift(true));
    listen(window, "touchcancel", lift(false));
    // A notch a wheel event, away from the user counting up.
    listen(window, "wheel", (event) => { if (event.deltaY) push(Type.MouseWheel, event.deltaY < 0 ? 120 : -120, 0, 0); });
    listen(window, "contextmenu", (event) => event.preventDefault());
    listen(window, "blur", () => focus(false));
    listen(window, "focus", () => focus(true));
    listen(document, "visibilitychange", () => focus(document.visibilityState === "visible"));
  },

  WebKeyCode: function(name, code) { Module.webHost.keyCodes.set(UTF8ToString(name), code); },

  WebNow: function() { return performance.now(); },

  WebViewportWidth: function() { return Math.round(window.innerWidth * (window.devicePixelRatio || 1)); },
  WebViewportHeight: function() { return Math.round(window.innerHeight * (window.devicePixelRatio || 1)); },
  // The gap measured between animation frames, with the time of the last of
  // them at lastFrame[0]; 0 until it is measured.
  WebMeasuredFrameGap: function(lastFrame) {
    const host = Module.webHost;
    if (host.frameGap) HEAPF64[lastFrame >> 3] = host.lastFrame;
    return host.frameGap;
  },

  // Sizes the canvas for a mode (a canvas already of that size is kept as it
  // is); the keys down now come back as KeyHeld.
  WebCanvasOpen: function(width, height) {
    const host = Module.webHost;
    if (host.canvas.width !== width) host.canvas.width = width;
    if (host.canvas.height !== height) host.canvas.height = height;
    host.image = null;
    for (const code of host.keysDown) host.events.push([host.Type.KeyHeld, code, 0, 0]);
  },

  WebCanvasCursor: function(visible) { Module.webHost.canvas.style.cursor = visible ? "" : "none"; },

  // Puts the RGBA picture's rectangle into the canvas. The ImageData lies over
  // the program's memory and is made again when that memory grows.
  WebCanvasPut: function(rgba, width, height, left, top, right, bottom) {
    const host = Module.webHost;
    if (!host.image || host.image.data.buffer !== HEAPU8.buffer || host.imageAt !== rgba) {
      host.image = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4), width, height);
      host.imageAt = rgba;
    }
    host.context.putImageData(host.image, 0, 0, left, top, right - left, bottom - top);
  },

  // Tells the page of a present: its number is the page's to count.
  WebFrameReport: function(workMs, presentMs) {
    if (Module.onRavlinFrame) Module.onRavlinFrame(workMs, presentMs);
  },

  // The next event, into out[4]; 0 when none is waiting.
  WebTakeEvent: function(out) {
    const event = Module.webHost.events.shift();
    if (!event) return 0;
    HEAP32.set(event, out >> 2);
    return 1;
  },

  WebPageEnd: function() {
    const host = Module.webHost;
    for (const listener of host.listeners) listener[0].removeEventListener(listener[1], listener[2]);
    if (document.pointerLockElement && document.exitPointerLock) document.exitPointerLock();
    host.canvas.style.cursor = "";
  },
});
