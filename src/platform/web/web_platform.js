// The web backend's side in the page (an emscripten JS library, linked with
// --js-library): the canvas, the key and visibility events, the display
// refresh and WebAudio. Every function reads or writes Module.orvo, which
// index.html creates; the backend works without it too (no events, no sound).
//
// The song: libopenmpt stays in the program, on the page's thread, and
// renders a second ahead into blocks that circulate over an AudioWorklet's
// port (no SharedArrayBuffer, so any static server will do). libopenmpt
// built a second time for the worklet's scope would be a second 1.2 MB module
// in a scope that lacks most of the page's APIs, for nothing the render-ahead
// lacks short of a stall of a second, which freezes the picture too. Where
// AudioWorklet is missing (an old browser, a page that is not a secure
// context) a ScriptProcessorNode plays the same blocks.
mergeInto(LibraryManager.library, {
  web_canvas_found: function () {
    return Module['canvas'] ? 1 : 0;
  },

  // Events become a queue of [message, wparam] pairs (window messages: 0x1C
  // activation, 0x100 key down, 0x20 the pointer over the window); Escape is
  // also kept as "down now" and "pressed since the last look", as a key
  // state is (the page's stop button presses it too). In fullscreen, Escape
  // leaves fullscreen and nothing else: most browsers keep that key to
  // themselves there, and where one passes it on (headless chromium does) the
  // page does what they do.
  web_listen: function () {
    const web = Module['orvo'] = Module['orvo'] || {};
    const visible = () => (document.visibilityState === 'visible' ? 1 : 0);
    web.messages = [[0x001C, visible()]];
    web.escapeDown = false;
    web.escapePressed = false;
    web.onKeyDown = (event) => {
      if (event.key === 'Escape' && document.fullscreenElement) {
        document.exitFullscreen().catch(() => {});
        return;
      }
      if (event.key === 'Escape') {
        web.escapeDown = true;
        web.escapePressed = true;
      }
      web.messages.push([0x0100, event.keyCode | 0]);
    };
    web.onKeyUp = (event) => {
      if (event.key === 'Escape') web.escapeDown = false;
    };
    // The page's stop button: as Escape pressed and let go.
    web.stop = () => {
      web.escapePressed = true;
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
  // gesture), or a new one, and starts loading the song's AudioWorklet
  // processor there. Returns the context's sample rate, 0 without one.
  web_audio_open__deps: ['$orvoSongProcessor'],
  web_audio_open: function (rate) {
    const web = Module['orvo'] = Module['orvo'] || {};
    try {
      if (!web.audioContext) web.audioContext = new AudioContext({sampleRate: rate});
    } catch (error) {
      return 0;
    }
    // AudioWorklet is missing in old browsers and outside a secure context
    // (a page served over http from an address other than the machine's own).
    const worklet = web.audioContext.audioWorklet;
    const source = URL.createObjectURL(new Blob([`(${orvoSongProcessor})()`], {type: 'text/javascript'}));
    web.workletLoaded = (worklet ? worklet.addModule(source).then(() => true, () => false) : Promise.resolve(false))
      .then((loaded) => (URL.revokeObjectURL(source), loaded));
    return web.audioContext.sampleRate | 0;
  },

  // The song's processor, in the AudioWorkletGlobalScope: plays the blocks
  // the page posts (frames of the left channel, then of the right) in order
  // and hands each one back once played, with its peak, to be filled again.
  // Frames it had to leave silent after the first block are counted as a gap.
  $orvoSongProcessor: function () {
    registerProcessor('orvo-song', class extends AudioWorkletProcessor {
      constructor() {
        super();
        this.blocks = [];
        this.at = 0;
        this.peak = 0;
        this.started = false;
        this.gapFrames = 0;
        this.port.onmessage = (event) => this.blocks.push(event.data);
      }

      process(inputs, outputs) {
        const [left, right] = outputs[0];
        let filled = 0;
        while (filled < left.length && this.blocks.length > 0) {
          const block = this.blocks[0];
          const frames = block.length >> 1;
          const n = Math.min(left.length - filled, frames - this.at);
          for (let i = 0; i < n; ++i) {
            const l = block[this.at + i], r = block[frames + this.at + i];
            left[filled + i] = l;
            right[filled + i] = r;
            this.peak = Math.max(this.peak, Math.abs(l), Math.abs(r));
          }
          filled += n;
          this.at += n;
          if (this.at === frames) {
            this.blocks.shift();
            this.at = 0;
            this.port.postMessage({block, peak: this.peak, gapFrames: this.gapFrames}, [block.buffer]);
            this.peak = 0;
          }
        }
        if (filled > 0) this.started = true;
        if (filled < left.length) {
          left.fill(0, filled);
          right.fill(0, filled);
          if (this.started) this.gapFrames += left.length - filled;
        }
        return true;
      }
    });
  },

  // Starts the song: through the AudioWorklet where the browser has one, so
  // that it plays on while this thread is busy; else through a script
  // processor on this thread. Either way orvo_web_mix renders blocks of
  // `frames` sample frames; the last block's peak and the count of blocks
  // played are kept where the page and its tests see them. The page is told
  // in one line when the browser does not start the sound.
  web_audio_start__deps: ['$orvoPlayThroughWorklet', '$orvoPlayThroughScriptProcessor'],
  web_audio_start: function (frames) {
    const web = Module['orvo'];
    if (!web || !web.audioContext) return 0;
    const context = web.audioContext;
    web.audioBlocks = 0;
    web.workletLoaded.then((loaded) => {
      if (web.audioContext !== context) return;
      web.audioPath = loaded ? 'AudioWorklet' : 'ScriptProcessorNode';
      web.audioNode = loaded ? orvoPlayThroughWorklet(web, frames) : orvoPlayThroughScriptProcessor(web, frames);
    });
    context.resume().catch(() => {});
    // Where there is no audio device, or the browser waits for a gesture
    // it did not count as one, the context stays suspended.
    setTimeout(() => {
      if (web.audioContext === context && context.state !== 'running' && web.say) {
        web.say('orvo: the browser has not started the sound (no audio device, or sound not allowed yet): ' +
                'the demo runs silently');
      }
    }, 3000);
    return 1;
  },

  // Enough blocks in flight that a main thread busy for many frames never
  // leaves the worklet without one: 44 of 1,024 frames are a second at
  // 44,100 Hz (a screenshot on a busy machine was seen to hold the thread for
  // more than the 370 ms of 16).
  // The browsers run a worklet's processor connected or not, so the node is
  // connected before the first block is posted: none is played into nothing.
  $orvoPlayThroughWorklet: function (web, frames) {
    const node = new AudioWorkletNode(web.audioContext, 'orvo-song', {numberOfInputs: 0, outputChannelCount: [2]});
    node.connect(web.audioContext.destination);
    const post = (block) => {
      const at = Module['_orvo_web_mix'](frames) >> 2;
      block.set(HEAPF32.subarray(at, at + 2 * frames));
      node.port.postMessage(block, [block.buffer]);
    };
    node.port.onmessage = (event) => {
      web.audioPeak = event.data.peak;
      web.audioGapFrames = event.data.gapFrames;
      web.audioBlocks += 1;
      post(event.data.block);
    };
    for (let i = 0; i < 44; ++i) post(new Float32Array(2 * frames));
    return node;
  },

  $orvoPlayThroughScriptProcessor: function (web, frames) {
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
      web.audioBlocks += 1;
    };
    node.connect(web.audioContext.destination);
    return node;
  },

  web_audio_close: function () {
    const web = Module['orvo'];
    if (!web || !web.audioContext) return;
    if (web.audioNode) {
      if (web.audioNode.port) web.audioNode.port.onmessage = null;
      web.audioNode.onaudioprocess = null;
      web.audioNode.disconnect();
      web.audioNode = null;
    }
    web.audioContext.close();
    web.audioContext = null;
  },
});
