// The browser build in Debian's chromium, headless, as a user meets it:
//   node browser_test.mjs SITES WORK
// SITES holds one folder per served variant (site: the build as it is;
// broken: king.jpg not a JPEG file; nosong: no s.s3m); WORK receives screenshots
// and holds frames/ (the native orvo-render's frames at TIMES) and
// broken-line.txt (the native program's line for the broken picture).
// Prints one line a check; exits 1 when any failed. Every wait is bounded.
import {execFileSync} from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';

import {launch, serve, waitForState} from './browser.mjs';

const [sites, work] = process.argv.slice(2);
const TIMES = [-5000, 0, 0, 1234, -1, 987654, -2147483648];
let failures = 0;
const pass = (what) => console.log(`ok: ${what}`);
const fail = (what) => {
  console.log(`FAIL: ${what}`);
  failures += 1;
};
const check = (condition, what, detail = '') => (condition ? pass(what) : fail(detail ? `${what} (${detail})` : what));

const {server, base} = await serve(sites);
const browser = await launch();

// A page that records its console errors and uncaught exceptions.
async function open(width, height) {
  const page = await browser.newPage();
  await page.setViewport({width, height, deviceScaleFactor: 1});
  page.errors = [];
  page.on('console', (m) => {
    if (m.type() !== 'error') return;
    // A file the server lacks is the browser's own error, named by its address.
    const where = m.location() && m.location().url;
    page.errors.push(m.text().startsWith('Failed to load resource') && where ? `${m.text()}: ${where}` : m.text());
  });
  page.on('pageerror', (e) => page.errors.push(String(e)));
  return page;
}

// The screenshot's raw RGB bytes and those of a PNG file, through ImageMagick.
const rgb = (file) => execFileSync('convert', [file, '-depth', '8', 'rgb:-'], {maxBuffer: 1 << 26});

// Fractions of black, grey and red pixels, as the native tests count them.
function sceneFractions(file) {
  const bytes = rgb(file);
  let black = 0, grey = 0, red = 0;
  const n = bytes.length / 3;
  for (let i = 0; i < bytes.length; i += 3) {
    const r = bytes[i] / 255, g = bytes[i + 1] / 255, b = bytes[i + 2] / 255;
    if (r + g + b < 0.06) black += 1;
    if (Math.abs(r - g) < 0.08 && Math.abs(g - b) < 0.08 && r > 0.15 && r < 0.95) grey += 1;
    if (r > 0.35 && r > 2 * g && r > 2 * b) red += 1;
  }
  return {black: black / n, grey: grey / n, red: red / n};
}

const frameName = (n) => `frame-${String(n).padStart(6, '0')}.png`;

// --- The still form: "?t=" frames at 1:1 against the native renderer's, from
// the program the page picks (simd128 here) and from the plain one.
async function stillFrames(program, extra) {
  const page = await open(640, 480);
  let same = 0;
  for (let n = 0; n < TIMES.length; ++n) {
    await page.goto(`${base}/site/index.html?t=${TIMES.slice(0, n + 1).join(',')}${extra}`, {timeout: 30000});
    const reached = await waitForState(page, ['still', 'failed', 'ended'], 30000);
    const shot = path.join(work, `still-${n}.png`);
    await page.screenshot({path: shot});
    const equal = reached === 'still' && rgb(shot).equals(rgb(path.join(work, 'frames', frameName(n))));
    if (equal) same += 1;
    else fail(`${program}: ?t= frame ${n} (t = ${TIMES[n]}) differs from orvo-render's (page state ${reached})`);
  }
  const ran = await page.evaluate(() => window.Module.orvo.program);
  check(ran === program, `the page ran ${program}`, ran);
  check(same === TIMES.length, `${program}: ?t= frames: ${same} of ${TIMES.length} identical to orvo-render's`);
  check(page.errors.length === 0, `${program} still form: no console errors`, page.errors.join(' | '));
  await page.close();
}

async function badTimes() {
  const bad = await open(640, 480);
  await bad.goto(`${base}/site/index.html?t=12,x`, {timeout: 30000});
  const reached = await waitForState(bad, ['failed', 'still'], 30000);
  const shown = await bad.evaluate(() => document.getElementById('message').textContent);
  check(reached === 'failed' && shown.includes('not a list of clock times'), 'a bad ?t= list is refused on the page',
    `${reached}: ${shown}`);
  await bad.close();
}

// Clicks the start screen and waits until frames are being drawn.
async function startDemo(page, site) {
  await page.goto(`${base}/${site}/index.html`, {timeout: 30000});
  const waiting = await waitForState(page, ['waiting', 'failed'], 30000);
  check(waiting === 'waiting', `${site}: start screen shown`, waiting);
  const prompt = await page.evaluate(() => document.getElementById('prompt').textContent);
  check(/click or press a key to start/i.test(prompt), `${site}: start screen asks for a click or key`, prompt);
  await page.mouse.click(20, 20);
  return waitForState(page, ['running', 'failed', 'ended'], 10000);
}

const framesDrawn = (page) => page.evaluate(() => (window.Module.orvo && window.Module.orvo.frames) || 0);

// --- The demo: scene, letterbox, song, Escape.
async function liveDemo() {
  const page = await open(1280, 720);
  const reached = await startDemo(page, 'site');
  check(reached === 'running', 'the demo runs after a click', reached);
  try {
    await page.waitForFunction(() => (window.Module.orvo.frames || 0) > 60, {timeout: 30000, polling: 100});
  } catch {
    // counted below
  }
  const frames = await framesDrawn(page);
  check(frames > 60, 'frames are drawn', `${frames} frames`);
  const shot = path.join(work, 'scene.png');
  await page.screenshot({path: shot});
  const f = sceneFractions(shot);
  check(f.black < 0.5 && f.grey > 0.01 && f.red > 0.01, 'the scene shows',
    `black ${f.black.toFixed(3)}, grey ${f.grey.toFixed(3)}, red ${f.red.toFixed(3)}`);
  // 1280 x 720: the picture 960 x 720 in the middle, 160 black columns each side.
  const bars = path.join(work, 'bars.png');
  execFileSync('convert', [shot, '(', '-clone', '0', '-crop', '150x720+0+0', '+repage', ')', '(', '-clone', '0',
    '-crop', '150x720+1130+0', '+repage', ')', '-delete', '0', '+append', bars]);
  const barBytes = rgb(bars);
  check(barBytes.every((b) => b === 0), 'black bars beside the picture, its shape kept');

  let audio = {};
  try {
    await page.waitForFunction(() => (window.Module.orvo.audioBlocks || 0) > 20, {timeout: 15000, polling: 100});
  } catch {
    // reported below
  }
  audio = await page.evaluate(() => ({
    state: window.Module.orvo.audioContext && window.Module.orvo.audioContext.state,
    rate: window.Module.orvo.audioContext && window.Module.orvo.audioContext.sampleRate,
    blocks: window.Module.orvo.audioBlocks || 0,
    peak: window.Module.orvo.audioPeak || 0,
  }));
  check(audio.state === 'running' && audio.blocks > 20 && audio.peak > 0.01, 'the song plays through WebAudio',
    JSON.stringify(audio));

  const before = await framesDrawn(page);
  await page.keyboard.press('Escape');
  const ended = await waitForState(page, ['ended', 'failed'], 5000);
  check(ended === 'ended', 'Escape ends the demo and the page says so', ended);
  const after = await framesDrawn(page);
  await new Promise((resolve) => setTimeout(resolve, 300));
  check((await framesDrawn(page)) === after && after >= before, 'no frames after Escape');
  const closed = await page.evaluate(() => !window.Module.orvo.audioContext);
  check(closed, 'the audio context is closed at the end');
  check(page.errors.length === 0, 'demo: no console errors', page.errors.join(' | '));
  await page.close();
}

// --- A broken picture: the decoder's own line, on the page and the console.
async function brokenPicture() {
  const page = await open(800, 600);
  const reached = await startDemo(page, 'broken');
  const ended = reached === 'failed' ? reached : await waitForState(page, ['failed', 'ended'], 10000);
  const expected = fs.readFileSync(path.join(work, 'broken-line.txt'), 'utf8').trim();
  const shown = await page.evaluate(() => document.getElementById('message').textContent);
  check(ended === 'failed', 'a broken king.jpg stops the demo', ended);
  check(shown === expected && !expected.includes('\n'), 'the page shows the decoder\'s one line',
    `page: "${shown}", native: "${expected}"`);
  check(page.errors.join('\n') === expected, 'the console has the same, and nothing else', page.errors.join(' | '));
  await page.close();
}

// --- No song: the demo runs silently.
async function noSong() {
  const page = await open(800, 600);
  const reached = await startDemo(page, 'nosong');
  try {
    await page.waitForFunction(() => (window.Module.orvo.frames || 0) > 30, {timeout: 30000, polling: 100});
  } catch {
    // counted below
  }
  const frames = await framesDrawn(page);
  const message = await page.evaluate(() => document.getElementById('message').textContent);
  check(reached === 'running' && frames > 30 && message === '', 'without s.s3m the demo runs silently',
    `${reached}, ${frames} frames, message "${message}"`);
  const others = page.errors.filter((e) => !/^Failed to load resource: .* 404 .*\/s\.s3m$/.test(e));
  check(others.length === 0 && page.errors.length === 1, 'no song: no console error but the browser\'s 404 for s.s3m',
    page.errors.join(' | '));
  await page.close();
}

const watchdog = setTimeout(() => {
  console.log('FAIL: the browser tests took over 5 minutes');
  process.exit(1);
}, 300000);
try {
  await stillFrames('orvo-simd128', '');
  await stillFrames('orvo', '&simd=plain');
  await badTimes();
  await liveDemo();
  await brokenPicture();
  await noSong();
} catch (error) {
  fail(`the browser tests stopped: ${error}`);
} finally {
  clearTimeout(watchdog);
  await browser.close();
  server.close();
}
console.log(failures === 0 ? 'Browser tests: all passed' : `Browser tests: ${failures} failed`);
process.exit(failures === 0 ? 0 : 1);
