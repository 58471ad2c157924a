// Frame time of the browser build in headless chromium, beside the native
// SSE2 path's in the same run:
//   ORVO_NODE_MODULES=build/web-node/node_modules node bench/web_frame_time.mjs build/web [FRAMES]
//     [--native build/release/bench/orvo-bench]
// For the simd128 and the plain program:
// - rendering alone: the still form renders FRAMES frames of one run (the
//   clock times of a 60 fps run from 8 s) and one frame; the difference over
//   FRAMES - 1 is one frame's rendering, as the page's clock (wall) and as
//   the page thread's own CPU time (chromium's thread ticks) see it (the
//   first frames run on the browser's quick first compilation of the module
//   until its optimised one is ready);
// - the whole frame of the running demo: 5 s of it, the page thread's CPU
//   time over the frames shown (rendering, conversion, putImageData, the
//   Asyncify unwind and rewind, the song's blocks);
// - start-up: page open to the still frame shown, and the click on the start
//   screen to the first frame of the scene.
// With --native, orvo-bench's BM_Frame (the frame chain and the conversion)
// on the SSE2 path and on plain, wall and CPU, run before and after the
// browser and averaged, so that a change in the machine's load between them
// shows less in the ratios.
import {execFileSync} from 'node:child_process';

import {launch, serve, waitForState} from '../tests/web/browser.mjs';

const args = process.argv.slice(2);
const nativeAt = args.indexOf('--native');
const native = nativeAt >= 0 ? args.splice(nativeAt, 2)[1] : null;
const [site, framesArgument] = args;
const frames = Number(framesArgument || 600);
const clockTimes = (count) => Array.from({length: count}, (_, n) => 8000 + Math.floor((n * 1000) / 60)).join(',');
const {server, base} = await serve(site);
const browser = await launch();

// The page thread's CPU time so far, in ms (chromium's thread ticks).
async function threadTime(page) {
  const {metrics} = await page.cdp.send('Performance.getMetrics');
  return 1000 * metrics.find((m) => m.name === 'TaskDuration').value;
}

async function newPage(width, height) {
  const page = await browser.newPage();
  await page.setViewport({width, height, deviceScaleFactor: 1});
  page.cdp = await page.createCDPSession();
  await page.cdp.send('Performance.disable');
  await page.cdp.send('Performance.enable', {timeDomain: 'threadTicks'});
  return page;
}

async function timed(query) {
  const page = await newPage(640, 480);
  const opened = Date.now();
  await page.goto(`${base}/index.html?${query}`, {timeout: 30000});
  const state = await waitForState(page, ['still', 'failed'], 600000);
  const took = Date.now() - opened;
  const cpu = await threadTime(page);
  const page_ = await page.evaluate(() => ({
    program: window.Module.orvo.program,
    main: window.Module.orvo.endedAt - window.Module.orvo.startedAt,
  }));
  await page.close();
  if (state !== 'still') throw new Error(`the page stopped in state ${state}`);
  return {...page_, took, cpu};
}

// The running demo: from the click on the start screen to the first frame of
// the scene (the second shown: the first is the black page of start-up), then
// the page thread's CPU time a frame over 5 s.
async function running(simd) {
  const page = await newPage(1280, 720);
  await page.goto(`${base}/index.html${simd ? '?' + simd : ''}`, {timeout: 30000});
  if ((await waitForState(page, ['waiting'], 30000)) !== 'waiting') throw new Error('no start screen');
  await page.evaluate(() => {
    window.addEventListener('pointerdown', () => { window.clickedAt = performance.now(); }, {capture: true});
    const watch = () => {
      if ((window.Module.orvo.frames || 0) >= 2) window.firstFrameAt = performance.now();
      else requestAnimationFrame(watch);
    };
    requestAnimationFrame(watch);
  });
  await page.mouse.click(20, 20);
  await page.waitForFunction(() => window.firstFrameAt, {timeout: 30000, polling: 20});
  const click = await page.evaluate(() => window.firstFrameAt - window.clickedAt);
  await new Promise((resolve) => setTimeout(resolve, 1000));
  const frames0 = await page.evaluate(() => window.Module.orvo.frames);
  const cpu0 = await threadTime(page);
  await new Promise((resolve) => setTimeout(resolve, 5000));
  const cpu1 = await threadTime(page);
  const frames1 = await page.evaluate(() => window.Module.orvo.frames);
  await page.keyboard.press('Escape');
  await page.close();
  return {click, frameCpu: (cpu1 - cpu0) / (frames1 - frames0), fps: (frames1 - frames0) / 5};
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
const mean = (a, b) => ({wall: (a.wall + b.wall) / 2, cpu: (a.cpu + b.cpu) / 2});

try {
  const before = native ? nativeBoth() : null;
  const rows = [];
  for (const simd of ['', '&simd=plain']) {
    const one = await timed(`t=8000${simd}`);
    const many = await timed(`t=${clockTimes(frames)}${simd}`);
    const live = await running(simd.slice(1));
    const row = {
      program: one.program,
      wall: (many.main - one.main) / (frames - 1),
      cpu: (many.cpu - one.cpu) / (frames - 1),
      ...live,
      took: one.took,
    };
    rows.push(row);
    console.log(`${row.program}: rendering ${row.wall.toFixed(2)} ms a frame (wall), ${row.cpu.toFixed(2)} ms CPU, ` +
      `over ${frames} frames; the running demo's whole frame ${row.frameCpu.toFixed(2)} ms CPU at ` +
      `${row.fps.toFixed(0)} fps; page open to still frame shown ${row.took} ms; click to first frame ` +
      `${row.click.toFixed(0)} ms`);
  }
  if (native) {
    const after = nativeBoth();
    for (const row of rows) {
      const simd128 = row.program === 'orvo-simd128';
      const key = simd128 ? 'simd128' : 'plain';
      const n = mean(before[key], after[key]);
      const against = simd128 ? 'native SSE2' : 'native plain';
      console.log(`${against} BM_Frame: ${n.wall.toFixed(2)} ms wall, ${n.cpu.toFixed(2)} ms CPU; ${row.program} ` +
        `against it: rendering ${(row.wall / n.wall).toFixed(2)} x (wall), ${(row.cpu / n.cpu).toFixed(2)} x (CPU); ` +
        `the whole frame ${(row.frameCpu / n.cpu).toFixed(2)} x (CPU)`);
    }
  }
} finally {
  await browser.close();
  server.close();
}
