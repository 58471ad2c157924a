// Frame time of the browser build in chromium, Firefox ESR and WebKitGTK,
// and the cost of handing one frame to the browser, beside the native SSE2
// path's in the same run:
//   ORVO_NODE_MODULES=build/web-node/node_modules node bench/web_frame_time.mjs build/web [FRAMES]
//     [--native build/release/bench/orvo-bench] [--engines chromium,firefox,webkit] [--runs 2]
// Firefox (windowed: headless it has no WebGL) and WebKitGTK's MiniBrowser run
// on a private Xvfb unless DISPLAY names an X server; both play sound to a
// PulseAudio server of the bench's own. Each engine runs --runs times.
// For the simd128 and the plain program:
// - rendering alone: the still form renders FRAMES frames of one run (the
//   clock times of a 60 fps run from 8 s) and one frame; the difference over
//   FRAMES - 1 is one frame's rendering, as the page's clock (wall, every
//   engine) and as the page thread's own CPU time (chromium's thread ticks)
//   see it (the first frames run on the browser's quick first compilation of
//   the module until its optimised one is ready);
// - the whole frame of the running demo: 5 s of it, over the frames shown,
//   the time the page thread spends in animation-frame callbacks and message
//   handlers by performance.now() (every engine: a script run before the
//   page's own wraps them) and, in chromium, the page thread's CPU time
//   (rendering, conversion, putImageData, the Asyncify unwind and rewind, the
//   song's blocks); with the mean interval between frames shown; then the
//   simd128 program's whole frame with its putImageData replaced by the
//   bench's WebGL2 presenter (a texture uploaded, drawn texel for pixel);
// - start-up: page open to the still frame shown, and the click on the start
//   screen to the first frame of the scene.
// Then the hand-off of one 640 x 480 frame, nothing else drawn, on a small
// page of the bench's own: putImageData into a 2D canvas, and a WebGL texture
// allocated once then texSubImage2D and one quad; each frame ends in a
// one-pixel read-back (getImageData, readPixels), so work the browser defers
// is counted too.
// With --native, orvo-bench's BM_Frame (the frame chain and the conversion)
// on the SSE2 path and on plain, wall and CPU, run before and after the
// browsers and averaged, so that a change in the machine's load between them
// shows less in the ratios.
import {execFileSync, spawn} from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

import {openBrowser, serve, sleep, startPulse, waitForState} from '../tests/web/browser.mjs';

const args = process.argv.slice(2);
const option = (name, fallback) => {
  const at = args.indexOf(name);
  return at >= 0 ? args.splice(at, 2)[1] : fallback;
};
const native = option('--native', null);
const engines = option('--engines', 'chromium,firefox,webkit').split(',');
const runs = Number(option('--runs', 2));
const [siteFolder, framesArgument] = args;
const frames = Number(framesArgument || 600);
const clockTimes = (count) => Array.from({length: count}, (_, n) => 8000 + Math.floor((n * 1000) / 60)).join(',');
const site = await serve(siteFolder);
const handoffFolder = fs.mkdtempSync(path.join(os.tmpdir(), 'orvo-handoff-'));
fs.writeFileSync(path.join(handoffFolder, 'index.html'), handoffPage());
const handoffSite = await serve(handoffFolder);
const soundFolder = fs.mkdtempSync(path.join(os.tmpdir(), 'orvo-pulse-'));
const pulse = engines.some((e) => e !== 'chromium') ? await startPulse(soundFolder) : null;

// WebKitGTK's MiniBrowser has no headless form, and headless Firefox no
// WebGL: a private X server for both unless DISPLAY names one.
async function display() {
  if (process.env.DISPLAY) return null;
  for (let n = 90; n < 100; ++n) {
    if (fs.existsSync(`/tmp/.X11-unix/X${n}`) || fs.existsSync(`/tmp/.X${n}-lock`)) continue;
    const x = spawn('Xvfb', [`:${n}`, '-screen', '0', '1920x1080x24', '-nolisten', 'tcp'], {stdio: 'ignore'});
    process.on('exit', () => x.exitCode === null && x.kill('SIGTERM'));
    for (let i = 0; i < 100 && !fs.existsSync(`/tmp/.X11-unix/X${n}`); ++i) await sleep(50);
    process.env.DISPLAY = `:${n}`;
    return x;
  }
  throw new Error('no free X display for WebKit');
}

// Run in every page before its own script: the time the page thread spends in
// animation-frame callbacks (where the running demo's frame runs, from the
// rewind to putImageData and the unwind) and in message handlers (the song's
// blocks for the worklet), as performance.now() sees it.
function timeCallbacks() {
  // With "bench-webgl" in the address: the page's canvas hands its 2D context's
  // putImageData to a WebGL2 texture instead, fetched texel for pixel (rows
  // turned over, as GL counts them from the bottom), so that the whole frame is
  // timed through the other presenter the page could have.
  // window.orvoWebGL.report() names the GL renderer and says whether it drew.
  const webglForPutImageData = () => {
    const getContext = HTMLCanvasElement.prototype.getContext;
    HTMLCanvasElement.prototype.getContext = function (type, options) {
      if (type !== '2d' || this.id !== 'canvas') return getContext.call(this, type, options);
      if (this.orvoWebGL) return this.orvoWebGL;
      const gl = getContext.call(this, 'webgl2', {alpha: false, antialias: false, depth: false, premultipliedAlpha: false});
      let frames = 0;
      window.orvoWebGL = {report: () => `${gl ? gl.getParameter(gl.RENDERER) : 'no WebGL2'}, ${frames} frames, ` +
        `GL error ${gl ? gl.getError() : '-'}`};
      if (!gl) return null;
      const compile = (kind, source) => {
        const shader = gl.createShader(kind);
        gl.shaderSource(shader, `#version 300 es\nprecision highp float;\n${source}`);
        gl.compileShader(shader);
        return shader;
      };
      const program = gl.createProgram();
      gl.attachShader(program, compile(gl.VERTEX_SHADER, 'in vec2 at; void main() { gl_Position = vec4(at, 0, 1); }'));
      gl.attachShader(program, compile(gl.FRAGMENT_SHADER, 'uniform highp sampler2D t; out vec4 c; void main() { ' +
        'ivec2 p = ivec2(gl_FragCoord.xy); c = texelFetch(t, ivec2(p.x, textureSize(t, 0).y - 1 - p.y), 0); }'));
      gl.bindAttribLocation(program, 0, 'at');
      gl.linkProgram(program);
      gl.useProgram(program);
      gl.bindBuffer(gl.ARRAY_BUFFER, gl.createBuffer());
      gl.bufferData(gl.ARRAY_BUFFER, new Float32Array([-1, -1, 3, -1, -1, 3]), gl.STATIC_DRAW);
      gl.enableVertexAttribArray(0);
      gl.vertexAttribPointer(0, 2, gl.FLOAT, false, 0, 0);
      gl.bindTexture(gl.TEXTURE_2D, gl.createTexture());
      gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MIN_FILTER, gl.NEAREST);
      gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MAG_FILTER, gl.NEAREST);
      let width = 0, height = 0;
      this.orvoWebGL = {
        putImageData: (image) => {
          if (image.width !== width || image.height !== height) {
            ({width, height} = image);
            gl.texImage2D(gl.TEXTURE_2D, 0, gl.RGBA8, width, height, 0, gl.RGBA, gl.UNSIGNED_BYTE, null);
            gl.viewport(0, 0, width, height);
          }
          gl.texSubImage2D(gl.TEXTURE_2D, 0, 0, 0, width, height, gl.RGBA, gl.UNSIGNED_BYTE, image.data);
          gl.drawArrays(gl.TRIANGLES, 0, 3);
          frames += 1;
        },
      };
      return this.orvoWebGL;
    };
  };
  const busy = window.orvoBusy = {ms: 0};
  const timed = (fn) => function (...parts) {
    const start = performance.now();
    try {
      return fn.apply(this, parts);
    } finally {
      busy.ms += performance.now() - start;
    }
  };
  if (new URLSearchParams(location.search).get('bench-webgl')) webglForPutImageData();
  const raf = window.requestAnimationFrame.bind(window);
  window.requestAnimationFrame = (fn) => raf(timed(fn));
  const onmessage = Object.getOwnPropertyDescriptor(MessagePort.prototype, 'onmessage');
  Object.defineProperty(MessagePort.prototype, 'onmessage', {
    configurable: true,
    get() { return onmessage.get.call(this); },
    set(fn) { onmessage.set.call(this, typeof fn === 'function' ? timed(fn) : fn); },
  });
}

// The page thread's CPU time so far, in ms (chromium's thread ticks).
async function threadTime(page) {
  const {metrics} = await page.cdp.send('Performance.getMetrics');
  return 1000 * metrics.find((m) => m.name === 'TaskDuration').value;
}

async function newPage(browser, engine, width, height) {
  const page = await browser.newPage(width, height, timeCallbacks);
  if (engine === 'chromium') {
    page.cdp = await page.raw.createCDPSession();
    await page.cdp.send('Performance.disable');
    await page.cdp.send('Performance.enable', {timeDomain: 'threadTicks'});
  }
  return page;
}

async function timed(browser, engine, query) {
  const page = await newPage(browser, engine, 640, 480);
  const opened = Date.now();
  await page.goto(`${site.base}/index.html?${query}`);
  const state = await waitForState(page, ['still', 'failed'], 600000);
  const took = Date.now() - opened;
  const cpu = page.cdp ? await threadTime(page) : NaN;
  const seen = await page.evaluate(() => ({
    program: window.Module.orvo.program,
    main: window.Module.orvo.endedAt - window.Module.orvo.startedAt,
  }));
  await page.close();
  if (state !== 'still') throw new Error(`the page stopped in state ${state}`);
  return {...seen, took, cpu};
}

// The running demo: from the click on the start screen to the first frame of
// the scene (the second shown: the first is the black page of start-up), then
// over 5 s the page thread's time a frame: its CPU time (chromium) and the
// time in its callbacks (every engine).
async function running(browser, engine, query) {
  const page = await newPage(browser, engine, 1280, 720);
  await page.goto(`${site.base}/index.html${query ? '?' + query : ''}`);
  if ((await waitForState(page, ['waiting'], 30000)) !== 'waiting') throw new Error('no start screen');
  await page.evaluate(() => {
    window.addEventListener('pointerdown', () => { window.clickedAt = performance.now(); }, {capture: true});
    const watch = () => {
      if ((window.Module.orvo.frames || 0) >= 2) window.firstFrameAt = performance.now();
      else requestAnimationFrame(watch);
    };
    requestAnimationFrame(watch);
  });
  await page.click(20, 20);
  if (!await page.waitFor(() => window.firstFrameAt, 30000)) throw new Error('no first frame');
  const click = await page.evaluate(() => window.firstFrameAt - window.clickedAt);
  await sleep(1000);
  const sample = () => page.evaluate(() => ({frames: window.Module.orvo.frames, busy: window.orvoBusy.ms,
    at: performance.now()}));
  const s0 = await sample();
  const cpu0 = page.cdp ? await threadTime(page) : NaN;
  await sleep(5000);
  const cpu1 = page.cdp ? await threadTime(page) : NaN;
  const s1 = await sample();
  const webgl = await page.evaluate(() => window.orvoWebGL && window.orvoWebGL.report());
  await page.press('Escape');
  await page.close();
  const shown = s1.frames - s0.frames;
  return {click, frameCpu: (cpu1 - cpu0) / shown, frameBusy: (s1.busy - s0.busy) / shown,
    interval: (s1.at - s0.at) / shown, webgl};
}

// The standalone page for the hand-off of one 640 x 480 RGBA frame, nothing
// else drawn: putImageData into a 2D canvas, or a WebGL texture allocated once
// then texSubImage2D and one quad. One byte changes every frame, so nothing
// can be reused; every frame ends in a one-pixel read-back (getImageData,
// readPixels), which waits for the frame's work however the browser defers
// it, so the time counted is the whole hand-off.
function handoffPage() {
  const script = () => {
    const W = 640, H = 480, warm = 20;
    const canvas = () => {
      const c = document.createElement('canvas');
      c.width = W;
      c.height = H;
      document.body.replaceChildren(c);
      return c;
    };
    const fill = (bytes) => {
      for (let i = 0; i < bytes.length; ++i) bytes[i] = (i * 2654435761) >>> 24;
    };
    const loop = (n, one) => {
      for (let k = 0; k < warm; ++k) one(k);
      const start = performance.now();
      for (let k = 0; k < n; ++k) one(k);
      return (performance.now() - start) / n;
    };
    window.putImage = (n) => {
      const context = canvas().getContext('2d', {alpha: false});
      const image = new ImageData(W, H);
      fill(image.data);
      return {ms: loop(n, (k) => {
        image.data[(k * 4099) % image.data.length] ^= 0xff;
        context.putImageData(image, 0, 0);
        context.getImageData(0, 0, 1, 1);
      })};
    };
    window.webglUpload = (n) => {
      const gl = canvas().getContext('webgl', {alpha: false, antialias: false, depth: false});
      if (!gl) return {ms: NaN, renderer: 'no WebGL context'};
      const shader = (type, source) => {
        const s = gl.createShader(type);
        gl.shaderSource(s, source);
        gl.compileShader(s);
        return s;
      };
      const program = gl.createProgram();
      gl.attachShader(program, shader(gl.VERTEX_SHADER,
        'attribute vec2 p; varying vec2 uv; void main() { uv = vec2(p.x, -p.y) * 0.5 + 0.5; gl_Position = vec4(p, 0, 1); }'));
      gl.attachShader(program, shader(gl.FRAGMENT_SHADER,
        'precision mediump float; uniform sampler2D t; varying vec2 uv; void main() { gl_FragColor = texture2D(t, uv); }'));
      gl.linkProgram(program);
      gl.useProgram(program);
      gl.bindBuffer(gl.ARRAY_BUFFER, gl.createBuffer());
      gl.bufferData(gl.ARRAY_BUFFER, new Float32Array([-1, -1, 1, -1, -1, 1, 1, 1]), gl.STATIC_DRAW);
      gl.enableVertexAttribArray(0);
      gl.vertexAttribPointer(0, 2, gl.FLOAT, false, 0, 0);
      gl.bindTexture(gl.TEXTURE_2D, gl.createTexture());
      for (const [name, value] of [[gl.TEXTURE_MIN_FILTER, gl.NEAREST], [gl.TEXTURE_MAG_FILTER, gl.NEAREST],
        [gl.TEXTURE_WRAP_S, gl.CLAMP_TO_EDGE], [gl.TEXTURE_WRAP_T, gl.CLAMP_TO_EDGE]]) {
        gl.texParameteri(gl.TEXTURE_2D, name, value);
      }
      gl.texImage2D(gl.TEXTURE_2D, 0, gl.RGBA, W, H, 0, gl.RGBA, gl.UNSIGNED_BYTE, null);
      gl.viewport(0, 0, W, H);
      const bytes = new Uint8Array(W * H * 4);
      fill(bytes);
      const pixel = new Uint8Array(4);
      const info = gl.getExtension('WEBGL_debug_renderer_info');
      const renderer = gl.getParameter(info ? info.UNMASKED_RENDERER_WEBGL : gl.RENDERER);
      const ms = loop(n, (k) => {
        bytes[(k * 4099) % bytes.length] ^= 0xff;
        gl.texSubImage2D(gl.TEXTURE_2D, 0, 0, 0, W, H, gl.RGBA, gl.UNSIGNED_BYTE, bytes);
        gl.drawArrays(gl.TRIANGLE_STRIP, 0, 4);
        gl.readPixels(0, 0, 1, 1, gl.RGBA, gl.UNSIGNED_BYTE, pixel);
      });
      // The quad drew the texture: its first pixel is the first bytes'.
      const drawn = pixel[0] === bytes[(H - 1) * W * 4] || pixel[0] === bytes[0];
      return {ms, renderer: String(renderer), error: gl.getError(), drawn};
    };
  };
  return `<!doctype html><html><head><meta charset="utf-8"></head><body style="margin:0">
<script>(${script})();</script></body></html>`;
}

async function handoff(browser, engine, n = 300) {
  const page = await newPage(browser, engine, 640, 480);
  await page.goto(`${handoffSite.base}/index.html`);
  if (!await page.waitFor(() => window.webglUpload, 30000)) throw new Error('no hand-off page');
  const put = await page.evaluate((count) => window.putImage(count), n);
  const webgl = await page.evaluate((count) => window.webglUpload(count), n);
  await page.close();
  return {put: put.ms, webgl: webgl.ms, renderer: webgl.renderer, webglOk: webgl.error === 0 && webgl.drawn};
}

// orvo-bench's BM_Frame on one path (ORVO_SIMD), in ms.
function nativeFrame(simd) {
  const out = execFileSync(native, ['--benchmark_filter=BM_Frame$', '--benchmark_format=json'],
    {env: {...process.env, ORVO_SIMD: simd}, encoding: 'utf8', stdio: ['ignore', 'pipe', 'ignore']});
  const b = JSON.parse(out).benchmarks[0];
  const scale = {ns: 1e-6, us: 1e-3, ms: 1}[b.time_unit];
  return {wall: b.real_time * scale, cpu: b.cpu_time * scale};
}

const nativeBoth = () => ({simd128: nativeFrame('sse2'), plain: nativeFrame('plain')});
const mean = (list) => list.reduce((a, b) => a + b, 0) / list.length;
const ms = (value) => (Number.isNaN(value) ? '-' : value.toFixed(2));

async function measure(engine, run) {
  // Firefox in a window on the X display: headless, it has no WebGL.
  const browser = await openBrowser(engine, site, pulse ? pulse.server : '', engine === 'firefox');
  const rows = [];
  try {
    for (const simd of ['', '&simd=plain']) {
      const one = await timed(browser, engine, `t=8000${simd}`);
      const many = await timed(browser, engine, `t=${clockTimes(frames)}${simd}`);
      const live = await running(browser, engine, simd.slice(1));
      const row = {engine, run, program: one.program, wall: (many.main - one.main) / (frames - 1),
        cpu: (many.cpu - one.cpu) / (frames - 1), ...live, took: one.took};
      rows.push(row);
      console.log(`${engine} run ${run}: ${row.program}: rendering ${ms(row.wall)} ms a frame (page clock), ` +
        `${ms(row.cpu)} ms CPU, over ${frames} frames; the running demo's whole frame ${ms(row.frameBusy)} ms ` +
        `in the page's callbacks, ${ms(row.frameCpu)} ms CPU, a frame every ${ms(row.interval)} ms; page open to still frame shown ${row.took} ms; click to first frame ` +
        `${row.click.toFixed(0)} ms`);
    }
    // The simd128 program's whole frame through the bench's WebGL presenter.
    const live = await running(browser, engine, 'bench-webgl=1');
    rows.push({engine, run, program: 'webgl', ...live});
    console.log(`${engine} run ${run}: orvo-simd128 through WebGL (${live.webgl}): the whole frame ` +
      `${ms(live.frameBusy)} ms in the page's callbacks, ${ms(live.frameCpu)} ms CPU, a frame every ` +
      `${ms(live.interval)} ms`);
    const hand = await handoff(browser, engine);
    rows.push({engine, run, program: 'handoff', ...hand});
    console.log(`${engine} run ${run}: one 640 x 480 frame handed over: putImageData ${ms(hand.put)} ms, ` +
      `WebGL texSubImage2D + quad ${ms(hand.webgl)} ms (${hand.renderer}${hand.webglOk ? '' : ', NOT DRAWN'}), ` +
      'each with a one-pixel read-back');
  } finally {
    await browser.close();
  }
  return rows;
}

const methods = {
  chromium: 'rendering: page clock and thread CPU (CDP thread ticks); whole frame: time in rAF and message ' +
    'callbacks (performance.now()) and thread CPU (CDP)',
  firefox: 'page clock only (in a window on X): rendering by the page\'s own clock, whole frame as time in rAF and ' +
    'message callbacks',
  webkit: 'page clock only: rendering by the page\'s own clock, whole frame as time in rAF and message callbacks',
};

let x = null;
try {
  const before = native ? nativeBoth() : null;
  const rows = [];
  for (let run = 1; run <= runs; ++run) {
    for (const engine of engines) {
      if (engine !== 'chromium' && !x) x = await display();
      rows.push(...await measure(engine, run));
    }
  }
  const after = native ? nativeBoth() : null;
  console.log(`\nMeans over ${runs} runs, ms (simd128 program; the page's clock):`);
  console.log('engine    whole frame  (CPU)  render  (CPU)  putImageData  WebGL  WebGL wins by > 1/5' +
    '  whole frame through WebGL  (CPU)  wins by > 1/5');
  for (const engine of engines) {
    const of = (program, key) => mean(rows.filter((r) => r.engine === engine && r.program === program)
      .map((r) => r[key]));
    const simd128 = rows.find((r) => r.engine === engine && r.program !== 'handoff').program;
    const put = of('handoff', 'put'), webgl = of('handoff', 'webgl');
    const whole = of(simd128, 'frameBusy'), wholeWebGL = of('webgl', 'frameBusy');
    console.log(`${engine.padEnd(9)} ${ms(of(simd128, 'frameBusy')).padStart(11)} ${ms(of(simd128, 'frameCpu'))
      .padStart(6)} ${ms(of(simd128, 'wall')).padStart(7)} ${ms(of(simd128, 'cpu')).padStart(6)} ${ms(put)
      .padStart(13)} ${ms(webgl).padStart(6)}  ${webgl < 0.8 * put ? 'yes' : 'no'} (${(webgl / put).toFixed(2)} x)` +
      `${ms(wholeWebGL).padStart(27)} ${ms(of('webgl', 'frameCpu')).padStart(6)}  ${wholeWebGL < 0.8 * whole ? 'yes'
        : 'no'} (${(wholeWebGL / whole).toFixed(2)} x)` +
      `  [${simd128}; ${methods[engine]}]`);
  }
  if (native) {
    const avg = (key) => ({wall: (before[key].wall + after[key].wall) / 2, cpu: (before[key].cpu + after[key].cpu) / 2});
    for (const [key, against] of [['simd128', 'native SSE2'], ['plain', 'native plain']]) {
      const n = avg(key);
      console.log(`${against} BM_Frame: ${ms(n.wall)} ms wall, ${ms(n.cpu)} ms CPU`);
      for (const row of rows.filter((r) => r.program.startsWith('orvo') && (r.program === 'orvo-simd128') ===
        (key === 'simd128'))) {
        console.log(`  ${row.engine} run ${row.run} ${row.program} against it: rendering ${(row.wall / n.wall)
          .toFixed(2)} x (page clock); the whole frame ${(row.frameBusy / n.cpu).toFixed(2)} x (callbacks)` +
          (Number.isNaN(row.cpu) ? '' : `, ${(row.cpu / n.cpu).toFixed(2)} x and ${(row.frameCpu / n.cpu)
            .toFixed(2)} x (CPU)`));
      }
    }
  }
} finally {
  site.server.close();
  handoffSite.server.close();
  if (pulse) pulse.stop();
  if (x) x.kill('SIGTERM');
  fs.rmSync(handoffFolder, {recursive: true, force: true});
  fs.rmSync(soundFolder, {recursive: true, force: true});
}
