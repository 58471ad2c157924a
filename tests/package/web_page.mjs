// The unpacked web zip, served: its page names the version, reaches its start
// screen, and its ?t= frame is the native orvo-render's, bit for bit.
//   node web_page.mjs SITE_URL VERSION NATIVE_FRAME_9000 WORK
import {execFileSync} from 'node:child_process';
import path from 'node:path';

import {launch, waitForState} from '../web/browser.mjs';

const [site, version, nativeFrame, work] = process.argv.slice(2);
let failures = 0;
const check = (condition, what) => {
  console.log(`${condition ? 'ok' : 'FAIL'}: ${what}`);
  if (!condition) failures += 1;
};
const rgb = (file) => execFileSync('convert', [file, '-depth', '8', 'rgb:-'], {maxBuffer: 1 << 26});

const browser = await launch();
try {
  const page = await browser.newPage();
  await page.setViewport({width: 640, height: 480, deviceScaleFactor: 1});
  const errors = [];
  page.on('pageerror', (e) => errors.push(String(e)));

  await page.goto(site, {timeout: 30000});
  const waiting = await waitForState(page, ['waiting', 'failed'], 30000);
  check(waiting === 'waiting', `the page reaches its start screen (state ${waiting})`);
  const title = await page.title();
  check(title.includes(`Orvo ${version}`), `the page's title names the version: "${title}"`);

  await page.goto(`${site}?t=0,9000`, {timeout: 30000});
  const still = await waitForState(page, ['still', 'failed', 'ended'], 30000);
  const shot = path.join(work, 'web-9000.png');
  await page.screenshot({path: shot});
  check(still === 'still' && rgb(shot).equals(rgb(nativeFrame)),
    `?t=0,9000: the frame is orvo-render's (state ${still})`);
  check(errors.length === 0, `no page errors ${errors.join(' | ')}`);
} finally {
  await browser.close();
}
process.exit(failures === 0 ? 0 : 1);
