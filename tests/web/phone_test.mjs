// The browser build on a phone, as chromium emulates one (390 x 844 CSS
// pixels at a device pixel ratio of 3, touch, mobile), and as an installable
// app that plays with no network:
//   node phone_test.mjs SITES WORK
// SITES/site is the build as it is; WORK receives screenshots.
// Prints one line a check; exits 1 when any failed. Every wait is bounded.
import fs from 'node:fs';
import path from 'node:path';

import {checks, launch, rgb, sceneFractions, serve, sleep, waitForState} from './browser.mjs';

const [sites, workRoot] = process.argv.slice(2);
const work = path.join(workRoot, 'phone');
fs.mkdirSync(work, {recursive: true});
const counted = checks('phone');
const {check, fail} = counted;
const phone = {width: 390, height: 844, deviceScaleFactor: 3, isMobile: true, hasTouch: true};
const turned = {...phone, width: 844, height: 390, isLandscape: true};

const site = await serve(sites);
const browser = await launch('chromium');
const page = await browser.newPage();
await page.setViewport(phone);
const errors = [];
page.on('console', (m) => m.type() === 'error' && errors.push(m.text()));
page.on('pageerror', (e) => errors.push(String(e)));
const cdp = await page.createCDPSession();
// Headless chromium grants the screen's wake lock only when told to.
await cdp.send('Browser.setPermission', {permission: {name: 'screen-wake-lock'}, setting: 'granted'});

const orvo = () => page.evaluate(() => {
  const o = window.Module.orvo;
  return {state: document.body.dataset.state, frames: o.frames || 0, sound: o.audioContext && o.audioContext.state,
    lock: !!(o.wakeLock.held && !o.wakeLock.held.released), bar: !document.getElementById('bar').hidden,
    sharp: document.body.classList.contains('sharp')};
});
const framesOver = (n) => page.waitForFunction((m) => (window.Module.orvo.frames || 0) > m, {timeout: 30000}, n)
  .catch(() => {});

// The count of pixels lit in the screenshot (device pixels) outside the
// picture's box (CSS pixels) and the two pixels its smoothed edge may reach.
function letterboxed(file, box, scale) {
  const {width, height} = page.viewport();
  const bytes = rgb(file);
  const [w, h] = [width * scale, height * scale];
  const [top, bottom] = [Math.floor(box.top * scale) - 2, Math.ceil((box.top + box.height) * scale) + 1];
  const [left, right] = [Math.floor(box.left * scale) - 2, Math.ceil((box.left + box.width) * scale) + 1];
  let outsideLit = 0;
  for (let y = 0; y < h; ++y) {
    const inY = y >= top && y <= bottom;
    for (let x = 0; x < w; ++x) {
      if (inY && x >= left && x <= right) continue;
      const i = 3 * (y * w + x);
      if (bytes[i] + bytes[i + 1] + bytes[i + 2] > 0) outsideLit += 1;
    }
  }
  return outsideLit;
}

async function pictureAndBars(name, expected) {
  await sleep(300);
  const box = await page.evaluate(() => {
    const r = document.getElementById('canvas').getBoundingClientRect();
    return {left: r.left, top: r.top, width: r.width, height: r.height};
  });
  const shot = path.join(work, `${name}.png`);
  await page.screenshot({path: shot});
  const near = (a, b) => Math.abs(a - b) < 1;
  check(near(box.left, expected.left) && near(box.top, expected.top) && near(box.width, expected.width) &&
    near(box.height, expected.height), `${name}: the picture fills the width or height, its shape kept`,
  JSON.stringify(box));
  const lit = letterboxed(shot, box, 3);
  check(lit === 0, `${name}: black around it`, `${lit} pixels lit outside`);
}

async function startScreenAndDemo() {
  await page.goto(`${site.base}/site/index.html`, {timeout: 30000});
  const waiting = await waitForState(page, ['waiting', 'failed'], 30000);
  const text = await page.evaluate(() => document.getElementById('screen').innerText);
  const title = await page.title();
  check(waiting === 'waiting' && /tap to start/i.test(text) && /tap while it runs for fullscreen or to stop it/i.test(
    text) && !/escape|click|key/i.test(text + title), 'the start screen says what a finger does, not keys',
  `${waiting}: ${text} | ${title}`);

  await page.touchscreen.tap(195, 422);
  await framesOver(30);
  await page.waitForFunction(() => window.Module.orvo.audioContext.state === 'running', {timeout: 5000})
    .catch(() => {});
  let now = await orvo();
  check(now.state === 'running' && now.frames > 30 && now.sound === 'running' && !now.bar,
    'a tap starts the scene and the song, no bar yet', JSON.stringify(now));
  await page.waitForFunction(() => window.Module.orvo.wakeLock.held, {timeout: 5000}).catch(() => {});
  check((await orvo()).lock, 'the screen is kept awake while it runs');
  // Another tab in front: the browser lets the lock go; back in front, the
  // page takes it again.
  const other = await browser.newPage();
  await other.bringToFront();
  await page.waitForFunction(() => document.visibilityState === 'hidden', {timeout: 5000}).catch(() => {});
  const hidden = await orvo();
  await page.bringToFront();
  await other.close();
  await page.waitForFunction(() => window.Module.orvo.wakeLock.held && !window.Module.orvo.wakeLock.held.released,
    {timeout: 5000}).catch(() => {});
  check(!hidden.lock && (await orvo()).lock, 'hidden, the lock is let go; shown again, it is taken again',
    `${JSON.stringify(hidden)}`);
  const shot = path.join(work, 'portrait.png');
  await page.screenshot({path: shot});
  const f = sceneFractions(shot);
  check(f.grey > 0.005 && f.red > 0.005, 'the scene shows', JSON.stringify(f));

  // 390 x 844: the picture 390 x 292.5, in the middle; drawn smoothly (below
  // two screen pixels to one).
  await pictureAndBars('portrait', {left: 0, top: (844 - 292.5) / 2, width: 390, height: 292.5});
  check(!now.sharp, 'portrait: smoothed, at 1.8 screen pixels to one');
  await page.setViewport(turned);
  await pictureAndBars('landscape', {left: (844 - 520) / 2, top: 0, width: 520, height: 390});
  now = await orvo();
  check(now.sharp, 'landscape: sharp, at 2.4 screen pixels to one');

  // A tap shows the bar, which hides itself again; stop ends the demo.
  await page.touchscreen.tap(422, 195);
  const shown = await orvo();
  const buttons = await page.evaluate(() => [...document.querySelectorAll('#bar button')].filter((b) => !b.hidden)
    .map((b) => b.textContent));
  check(shown.bar && buttons.join() === 'Fullscreen,Stop', 'a tap shows the bar: fullscreen and stop',
    `${shown.bar} ${buttons}`);
  await page.waitForFunction(() => document.getElementById('bar').hidden, {timeout: 8000}).catch(() => {});
  check(!(await orvo()).bar, 'the bar hides itself after a few seconds');
  await page.touchscreen.tap(422, 195);
  const stop = await page.evaluate(() => {
    const r = document.getElementById('stop').getBoundingClientRect();
    return [r.left + r.width / 2, r.top + r.height / 2];
  });
  await page.touchscreen.tap(stop[0], stop[1]);
  const ended = await waitForState(page, ['ended', 'failed'], 5000);
  const message = await page.evaluate(() => document.getElementById('prompt').textContent);
  now = await orvo();
  check(ended === 'ended' && /has ended/.test(message) && !now.lock && !now.bar,
    'stop ends the demo: the end message, the screen free to sleep', `${ended}: ${message} ${JSON.stringify(now)}`);
}

// Chromium's own check that the page installs as an app, and its manifest.
async function installable() {
  const {installabilityErrors} = await cdp.send('Page.getInstallabilityErrors');
  check(installabilityErrors.length === 0, 'chromium finds the page installable',
    JSON.stringify(installabilityErrors));
  const manifest = await cdp.send('Page.getAppManifest');
  const parsed = JSON.parse(manifest.data || '{}');
  check(manifest.errors.length === 0 && parsed.display === 'fullscreen' && parsed.orientation === 'landscape',
    'the manifest: fullscreen, landscape, no errors', JSON.stringify(manifest.errors));
}

// Opened once, the demo plays again with the network gone (the server
// closed and the browser offline).
async function offline() {
  await page.setViewport(phone);
  await page.goto(`${site.base}/site/index.html`, {timeout: 30000});
  await waitForState(page, ['waiting', 'failed'], 30000);
  const kept = await page.waitForFunction(async () => {
    const registration = await navigator.serviceWorker.getRegistration();
    if (!registration || !registration.active || !navigator.serviceWorker.controller) return false;
    const names = await caches.keys();
    return names.length === 1 && (await (await caches.open(names[0])).keys()).length === 13;
  }, {timeout: 30000, polling: 200}).then(() => true, () => false);
  check(kept, 'the service worker keeps the page\'s 13 files');
  site.server.closeAllConnections();
  await new Promise((resolve) => site.server.close(resolve));
  await page.setOfflineMode(true);
  await page.reload({timeout: 30000}).catch((error) => fail(`reload offline: ${error.message}`));
  const waiting = await waitForState(page, ['waiting', 'failed'], 30000);
  await page.touchscreen.tap(195, 422);
  await framesOver(30);
  await page.waitForFunction(() => (window.Module.orvo.audioBlocks || 0) > 20, {timeout: 10000}).catch(() => {});
  const now = await page.evaluate(() => [document.body.dataset.state, window.Module.orvo.frames,
    window.Module.orvo.audioBlocks, document.getElementById('message').textContent]);
  check(waiting === 'waiting' && now[0] === 'running' && now[1] > 30 && now[2] > 20 && now[3] === '',
    'offline, the page opens again and plays the scene and the song', JSON.stringify(now));
  await page.setOfflineMode(false);
}

const watchdog = setTimeout(() => {
  console.log('FAIL: the phone tests took over 4 minutes');
  process.exit(1);
}, 240000);
try {
  await startScreenAndDemo();
  await installable();
  await offline();
  check(errors.length === 0, 'no console errors', errors.join(' | '));
} catch (error) {
  fail(`the phone tests stopped: ${error}`);
} finally {
  clearTimeout(watchdog);
  await browser.close();
  site.server.close();
}
console.log(counted.failures === 0 ? 'phone: all passed' : `phone: ${counted.failures} failed`);
process.exit(counted.failures === 0 ? 0 : 1);
