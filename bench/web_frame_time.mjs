// Frame time of the browser build in headless chromium: the still form renders
// FRAMES frames of one run (the clock times of a 60 fps run from 8 s) and the
// page's own clock times it, for the simd128 and the plain program.
//   ORVO_NODE_MODULES=build/web-node/node_modules node bench/web_frame_time.mjs build/web [FRAMES]
// Prints milliseconds per frame for each; start-up (fetching the files,
// compiling the module, loading the pictures) is timed apart as the still
// form of one frame.
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

try {
  for (const simd of ['', '&simd=plain']) {
    const one = await timed(`t=8000${simd}`);
    const many = await timed(`t=${times}${simd}`);
    // The difference leaves start-up and the one present out.
    const perFrame = (many.main - one.main) / (frames - 1);
    console.log(`${one.program}: ${perFrame.toFixed(2)} ms a frame over ${frames} frames; ` +
      `page open to first frame shown ${one.took} ms`);
  }
} finally {
  await browser.close();
  server.close();
}
