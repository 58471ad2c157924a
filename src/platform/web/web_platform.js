// The web backend's side in the page (an emscripten JS library, linked with
// --js-library): the canvas, the key and visibility events, the display
// refresh and WebAudio. Every function reads or writes Module.orvo, which
// index.html creates; the backend works without it too (no events, no sound).
mergeInto(LibraryManager.library, {
  web_canvas_found: function () {
    return Module['canvas'] ? 1 : 0;
  },

  // Events become a queue of [message, wparam] pairs (window messages: 0x1C
  // activation, 0x100 key down, 0x20 the pointer over the window); Escape is
  // also kept as "down now" and "pressed since the last look", as a key
  // state is.
  web_listen: function () {
    const web = Module['orvo'] = Module['orvo'] || {};
    const visible = () => (document.visibilityState === 'visible' ? 1 : 0);
    web.messages = [[0x001C, visible()]];
    web.escapeDown = false;
    web.escapePressed = false;
    web.onKeyDown = (event) => {
      if (event.key === 'Escape') {
        web.escapeDown = true;
        web.escapePressed = true;
      }
      web.messages.push([0x0100, event.keyCode | 0]);
    };
    web.onKeyUp = (event) => {
      if (event.key === 'Escape') web.escapeDown = false;
    };
    web.onVisibility = () => web.messages.push([0x001C, visible()]);
    web.onPointerEnter = () => web.messages.push([0x0020, 0]);
    window.addEventListener('keydown', web.onKeyDown);
    window.addEventListener('keyup', web.onKeyUp);
    document.addEventListener('visibilitychange', web.onVisibility);
    Module['canvas'].addEventListener('pointerenter', web.onPointerEnter);
  },

  web_stop_listening: function () {
    const web = Module['orvo'];
    if (!web || !web.onKeyDown) return;
    window.removeEventListener('keydown', web.onKeyDown);
    window.removeEventListener('keyup', web.onKeyUp);
    document.removeEventListener('visibilitychange', web.onVisibility);
    Module['canvas'].removeEventListener('pointerenter', web.onPointerEnter);
    web.onKeyDown = null;
    web.messages = [];
  },

  // Takes the oldest message: its code, and its wparam in *wparam; 0 if none.
  web_next_message: function (wparam) {
    const web = Module['orvo'];
    if (!web || !web.messages || web.messages.length === 0) return 0;
    const [message, parameter] = web.messages.shift();
    HEAPU32[wparam >> 2] = parameter;
    return message;
  },

  web_escape_state: function () {
    const web = Module['orvo'];
    if (!web) return 0;
    const state = (web.escapeDown ? 0x8000 : 0) | (web.escapePressed ? 1 : 0);
    web.escapePressed = false;
    return state;
  },

  web_set_canvas_size: function (width, height) {
    Module['canvas'].width = width;
    Module['canvas'].height = height;
  },

  web_hide_cursor: function () {
    Module['canvas'].style.cursor = 'none';
  },

  // Puts the RGBA picture at pixels into the canvas, then suspends the
  // program until the next display refresh: this paces the frames. The
  // program resumes as emscripten's own timers resume it, so that an exit
  // ends it quietly. (The function runs again when the program resumes; only
  // what is handed to handleSleep runs once.)
  web_show_and_wait_for_refresh__deps: ['$callUserCallback'],
  web_show_and_wait_for_refresh: function (pixels, width, height) {
    Asyncify.handleSleep((wakeUp) => {
      const web = Module['orvo'] = Module['orvo'] || {};
      if (!web.image || web.image.data.buffer !== HEAPU8.buffer || web.imageAt !== pixels ||
          web.image.width !== width || web.image.height !== height) {
        web.image = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, pixels, width * height * 4), width, height);
        web.imageAt = pixels;
        web.context2d = Module['canvas'].getContext('2d', {alpha: false});
      }
      web.context2d.putImageData(web.image, 0, 0);
      web.frames = (web.frames || 0) + 1;
      requestAnimationFrame(() => callUserCallback(wakeUp));
    });
  },

  // Opens the sound output on the page's audio context (made at the user's
  // gesture), or a new one. Returns the context's sample rate, 0 without one.
  web_audio_open: function (rate) {
    const web = Module['orvo'] = Module['orvo'] || {};
    try {
      if (!web.audioContext) web.audioContext = new AudioContext({sampleRate: rate});
      return web.audioContext.sampleRate | 0;
    } catch (error) {
      return 0;
    }
  },

  // Starts pulling the song: every 1,024 sample frames the mixer fills two
  // channel buffers through orvo_web_mix. The peak of the last block is kept
  // where the page and its tests can see that the song sounds.
  web_audio_start: function (frames) {
    const web = Module['orvo'];
    if (!web || !web.audioContext) return 0;
    const node = web.audioContext.createScriptProcessor(frames, 0, 2);
    node.onaudioprocess = (event) => {
      const left = event.outputBuffer.getChannelData(0);
      const right = event.outputBuffer.getChannelData(1);
      const at = Module['_orvo_web_mix'](frames) >> 2;
      left.set(HEAPF32.subarray(at, at + frames));
      right.set(HEAPF32.subarray(at + frames, at + 2 * frames));
      let peak = 0;
      for (let i = 0; i < frames; ++i) peak = Math.max(peak, Math.abs(left[i]), Math.abs(right[i]));
      web.audioPeak = peak;
      web.audioBlocks = (web.audioBlocks || 0) + 1;
    };
    node.connect(web.audioContext.destination);
    web.audioNode = node;
    web.audioContext.resume();
    return 1;
  },

  web_audio_close: function () {
    const web = Module['orvo'];
    if (!web || !web.audioContext) return;
    if (web.audioNode) {
      web.audioNode.onaudioprocess = null;
      web.audioNode.disconnect();
      web.audioNode = null;
    }
    web.audioContext.close();
    web.audioContext = null;
  },
});
