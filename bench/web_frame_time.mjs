// Frame time of the browser build in headless chromium: the still form renders
// FRAMES frames of one run (the clock times of a 60 fps run from 8 s) and the
// page's own clock times it, for the simd128 and the plain program.
//   ORVO_NODE_MODULES=build/web-node/node_modules node bench/web_frame_time.mjs build/web [FRAMES]
// Prints milliseconds per frame for each, the time from opening the page to
// the still frame shown (fetching the files, compiling the module, loading
// the pictures, one frame), and for the demo itself the time from the click
// on the start screen to its first frame of the scene.
import {launch, serve, waitForState} from '../tests/web/browser.mjs';

const [site, framesArgument] = process.argv.slice(2);
const frames = Number(framesArgument || 600);
const times = Array.from({length: frames}, (_, n) => 8000 + Math.floor((n * 1000) / 60)).join(',');
const {server, base} = await serve(site);
const browser = await launch();

async function timed(query) {
  const page = await browser.newPage();
  await page.setViewport({width: 640, height: 480, deviceScaleFactor: 1});
  const opened = Date.now();
  await page.goto(`${base}/index.html?${query}`, {timeout: 30000});
  const state = await waitForState(page, ['still', 'failed'], 600000);
  const took = Date.now() - opened;
  const page_ = await page.evaluate(() => ({
    program: window.Module.orvo.program,
    main: window.Module.orvo.endedAt - window.Module.orvo.startedAt,
  }));
  await page.close();
  if (state !== 'still') throw new Error(`the page stopped in state ${state}`);
  return {...page_, took};
}

// From the click on the start screen to the first frame of the scene (the
// second shown: the first is the black page of start-up).
async function clickToFirstFrame(simd) {
  const page = await browser.newPage();
  await page.setViewport({width: 1280, height: 720, deviceScaleFactor: 1});
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
  const ms = await page.evaluate(() => window.firstFrameAt - window.clickedAt);
  await page.keyboard.press('Escape');
  await page.close();
  return ms;
}

try {
  for (const simd of ['', '&simd=plain']) {
    const one = await timed(`t=8000${simd}`);
    const many = await timed(`t=${times}${simd}`);
    // The difference leaves start-up and the one present out.
    const perFrame = (many.main - one.main) / (frames - 1);
    const click = await clickToFirstFrame(simd.slice(1));
    console.log(`${one.program}: ${perFrame.toFixed(2)} ms a frame over ${frames} frames; ` +
      `page open to still frame shown ${one.took} ms; click to first frame ${click.toFixed(0)} ms`);
  }
} finally {
  await browser.close();
  server.close();
}
