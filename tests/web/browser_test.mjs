// The browser build in a browser, as a user meets it:
//   node browser_test.mjs ENGINE SITES WORK
// ENGINE: chromium or firefox (headless), webkit (WebKitGTK's MiniBrowser on
// the X display in DISPLAY).
// SITES holds one folder per served variant (site: the build as it is;
// broken: king.jpg not a JPEG file; nosong: no s.s3m); WORK receives screenshots
// and holds frames/ (the native orvo-render's frames at TIMES),
// broken-line.txt (the native program's line for the broken picture) and
// orvo_song_compare (the native song checker).
// Prints one line a check; exits 1 when any failed. Every wait is bounded.
import {execFileSync, spawnSync} from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';

import {checks, openBrowser, rgb, sceneFractions, serve, sleep, startPulse, waitForState} from './browser.mjs';

const [engine, sites, workRoot] = process.argv.slice(2);
const work = path.join(workRoot, engine);
fs.mkdirSync(work, {recursive: true});
const TIMES = [-5000, 0, 0, 1234, -1, 987654, -2147483648];
const counted = checks(engine);
const {check, fail} = counted;

const site = await serve(sites);
const {server, base} = site;
// Chromium fakes a sound device; the others play to a PulseAudio server.
const pulse = engine !== 'chromium' ? await startPulse(work) : null;
const browser = await openBrowser(engine, site, pulse ? pulse.server : '');
// A page that records its console errors and uncaught exceptions.
const open = (width, height, preload) => browser.newPage(width, height, preload);
const noErrors = async (page, what) => {
  const errors = await page.errors();
  check(errors.length === 0, what, errors.join(' | '));
};

const frameName = (n) => `frame-${String(n).padStart(6, '0')}.png`;

// --- The still form: "?t=" frames at 1:1 against the native renderer's, from
// the program the page picks (simd128 here) and from the plain one.
async function stillFrames(program, extra) {
  const page = await open(640, 480);
  let same = 0;
  for (let n = 0; n < TIMES.length; ++n) {
    await page.goto(`${base}/site/index.html?t=${TIMES.slice(0, n + 1).join(',')}${extra}`);
    const reached = await waitForState(page, ['still', 'failed', 'ended'], 30000);
    const shot = path.join(work, `still-${n}.png`);
    await page.screenshot(shot);
    const equal = reached === 'still' && rgb(shot).equals(rgb(path.join(workRoot, 'frames', frameName(n))));
    if (equal) same += 1;
    else fail(`${program}: ?t= frame ${n} (t = ${TIMES[n]}) differs from orvo-render's (page state ${reached})`);
  }
  const ran = await page.evaluate(() => window.Module.orvo.program);
  check(ran === program, `the page ran ${program}`, ran);
  check(same === TIMES.length, `${program}: ?t= frames: ${same} of ${TIMES.length} identical to orvo-render's`);
  await noErrors(page, `${program} still form: no console errors`);
  await page.close();
}

async function badTimes() {
  const bad = await open(640, 480);
  await bad.goto(`${base}/site/index.html?t=12,x`);
  const reached = await waitForState(bad, ['failed', 'still'], 30000);
  const shown = await bad.evaluate(() => document.getElementById('message').textContent);
  check(reached === 'failed' && shown.includes('not a list of clock times'), 'a bad ?t= list is refused on the page',
    `${reached}: ${shown}`);
  await bad.close();
}

// Clicks the start screen and waits until frames are being drawn. The start
// screen shows the title, a still of the scene, how to start and how to end.
async function startDemo(page, site) {
  await page.goto(`${base}/${site}/index.html`);
  const waiting = await waitForState(page, ['waiting', 'failed'], 30000);
  check(waiting === 'waiting', `${site}: start screen shown`, waiting);
  const text = await page.evaluate(() => document.getElementById('screen').innerText);
  check(/click or press a key to start/i.test(text) && /Orvo/.test(text) && /Escape/.test(text),
    `${site}: start screen names the demo, how to start it and that Escape ends it`, text);
  await page.click(20, 20);
  return waitForState(page, ['running', 'failed', 'ended'], 10000);
}

const framesDrawn = (page) => page.evaluate(() => (window.Module.orvo && window.Module.orvo.frames) || 0);

// Installed in the page before its own script: every audio context gets a
// recorder (an AudioWorklet of the test's own) between the speakers and
// whatever the page connects to them; it passes on and keeps what it gets.
// window.orvoTap.take() returns that as 16-bit stereo, base64.
function tapTheSpeakers() {
  const source = `registerProcessor('orvo-test-tap', class extends AudioWorkletProcessor {
    constructor() { super(); this.fresh(); }
    fresh() { this.left = new Float32Array(4096); this.right = new Float32Array(4096); this.n = 0; }
    process(inputs, outputs) {
      const [left, right] = [inputs[0][0], inputs[0][1] || inputs[0][0]];
      if (left) outputs[0][0].set(left);
      if (right) outputs[0][1].set(right);
      for (let i = 0; i < 128; ++i) {
        this.left[this.n] = left ? left[i] : 0;
        this.right[this.n] = right ? right[i] : 0;
        if (++this.n === 4096) {
          this.port.postMessage([this.left, this.right], [this.left.buffer, this.right.buffer]);
          this.fresh();
        }
      }
      return true;
    }
  });`;
  const Base = window.AudioContext;
  const connect = AudioNode.prototype.connect;
  const tap = window.orvoTap = {chunks: [], late: false, node: null, waiting: []};
  window.AudioContext = class extends Base {
    constructor(...options) {
      super(...options);
      const worklet = this.audioWorklet;
      const addModule = worklet.addModule.bind(worklet);
      const ready = addModule(URL.createObjectURL(new Blob([source], {type: 'text/javascript'}))).then(() => {
        tap.node = new AudioWorkletNode(this, 'orvo-test-tap', {outputChannelCount: [2]});
        tap.node.port.onmessage = (event) => tap.chunks.push(event.data);
        connect.call(tap.node, this.destination);
        tap.waiting.forEach((node) => connect.call(node, tap.node));
      });
      // The page's own module counts as loaded only once the recorder stands
      // before the speakers: on a busy machine the recorder's module could
      // load after the page's, and the song's first blocks go unrecorded.
      worklet.addModule = (...args) => Promise.all([addModule(...args), ready]).then(() => undefined);
    }
  };
  AudioNode.prototype.connect = function (target, ...rest) {
    if (!(target instanceof AudioDestinationNode) || this === tap.node) return connect.call(this, target, ...rest);
    if (tap.node) return connect.call(this, tap.node);
    tap.late = true;
    tap.waiting.push(this);
    return target;
  };
  tap.take = () => {
    const frames = tap.chunks.length * 4096;
    const samples = new Int16Array(2 * frames);
    tap.chunks.forEach(([left, right], c) => {
      for (let i = 0; i < 4096; ++i) {
        samples[2 * (c * 4096 + i)] = Math.round(Math.max(-32768, Math.min(32767, left[i] * 32768)));
        samples[2 * (c * 4096 + i) + 1] = Math.round(Math.max(-32768, Math.min(32767, right[i] * 32768)));
      }
    });
    let text = '';
    const bytes = new Uint8Array(samples.buffer);
    for (let i = 0; i < bytes.length; i += 8192) text += String.fromCharCode(...bytes.subarray(i, i + 8192));
    return btoa(text);
  };
}

const audioState = (page) => page.evaluate(() => ({
  path: window.Module.orvo.audioPath,
  state: window.Module.orvo.audioContext && window.Module.orvo.audioContext.state,
  rate: window.Module.orvo.audioContext && window.Module.orvo.audioContext.sampleRate,
  blocks: window.Module.orvo.audioBlocks || 0,
  peak: window.Module.orvo.audioPeak || 0,
  gapFrames: window.Module.orvo.audioGapFrames,
}));

// What the speakers got from the start against libopenmpt's own render.
async function compareWithTheSong(page) {
  const late = await page.evaluate(() => window.orvoTap.late);
  const played = path.join(work, 'played.raw');
  fs.writeFileSync(played, Buffer.from(await page.evaluate(() => window.orvoTap.take()), 'base64'));
  const compared = spawnSync(path.join(workRoot, 'orvo_song_compare'), [path.join(sites, 'site', 's.s3m'), played],
    {encoding: 'utf8', timeout: 60000});
  const seconds = Number((compared.stdout.match(/^([\d.]+) s of the song/) || [])[1] || 0);
  check(!late && compared.status === 0 && seconds > 11, 'the speakers got the song as libopenmpt renders it, no gap',
    `${late ? 'tap late; ' : ''}${compared.stdout.trim()}${compared.stderr.trim()}`);
}

// --- The demo: scene, letterbox, the song under a busy main thread,
// fullscreen, Escape.
async function liveDemo() {
  // WebKitGTK's page thread was seen to stop for good, waiting on a lock,
  // soon after the test's recorder joined the page's worklet: there the page's
  // own count of blocks, peak and gap stand for what the speakers got.
  const tapped = engine !== 'webkit';
  const page = await open(1280, 720, tapped ? tapTheSpeakers : null);
  const reached = await startDemo(page, 'site');
  check(reached === 'running', 'the demo runs after a click', reached);
  await page.waitFor(() => (window.Module.orvo.frames || 0) > 60, 30000);
  const frames = await framesDrawn(page);
  check(frames > 60, 'frames are drawn', `${frames} frames`);
  const shot = path.join(work, 'scene.png');
  await page.screenshot(shot);
  const f = sceneFractions(shot);
  check(f.black < 0.5 && f.grey > 0.01 && f.red > 0.01, 'the scene shows',
    `black ${f.black.toFixed(3)}, grey ${f.grey.toFixed(3)}, red ${f.red.toFixed(3)}`);
  // 1280 x 720: the picture 960 x 720 in the middle, 160 black columns each side.
  const bars = path.join(work, 'bars.png');
  execFileSync('convert', [shot, '(', '-clone', '0', '-crop', '150x720+0+0', '+repage', ')', '(', '-clone', '0',
    '-crop', '150x720+1130+0', '+repage', ')', '-delete', '0', '+append', bars]);
  const barBytes = rgb(bars);
  check(barBytes.every((b) => b === 0), 'black bars beside the picture, its shape kept');

  // The song: 10 s with the main thread busy 50 ms in every 100, then what
  // the speakers got from the start against libopenmpt's own render.
  await page.evaluate(() => {
    window.stall = setInterval(() => {
      const end = performance.now() + 50;
      while (performance.now() < end);
    }, 100);
  });
  await sleep(10000);
  if (tapped) await page.waitFor(() => window.orvoTap.chunks.length * 4096 > 12 * 44100, 10000);
  await page.evaluate(() => clearInterval(window.stall));
  const audio = await audioState(page);
  check(audio.path === 'AudioWorklet' && audio.state === 'running' && audio.rate === 44100 && audio.blocks > 300 &&
    audio.peak > 0.01, 'the song plays through an AudioWorklet at 44,100 Hz', JSON.stringify(audio));
  check(audio.gapFrames === 0, 'the worklet never ran dry with the main thread busy 50 ms in 100',
    `${audio.gapFrames} frames of gap`);
  if (tapped) await compareWithTheSong(page);

  // Fullscreen on a double-click and on F; the first Escape leaves it, the
  // demo runs on.
  const fullscreen = () => page.evaluate(() => !!document.fullscreenElement);
  const stillRunning = async () => {
    const before = await framesDrawn(page);
    await sleep(300);
    return (await page.evaluate(() => document.body.dataset.state)) === 'running' &&
      (await framesDrawn(page)) > before;
  };
  await page.click(640, 360, 2);
  await sleep(500);
  check(await fullscreen(), 'a double-click gives fullscreen');
  await page.press('Escape');
  await sleep(500);
  check(!(await fullscreen()) && (await stillRunning()), 'the first Escape leaves fullscreen, the demo runs on');
  await page.press('f');
  await sleep(500);
  check(await fullscreen(), 'F gives fullscreen');
  await page.press('Escape');
  await sleep(500);
  check(!(await fullscreen()) && (await stillRunning()), 'Escape leaves it again');

  const before = await framesDrawn(page);
  await page.press('Escape');
  const ended = await waitForState(page, ['ended', 'failed'], 5000);
  check(ended === 'ended', 'the next Escape ends the demo and the page says so', ended);
  const after = await framesDrawn(page);
  await sleep(300);
  check((await framesDrawn(page)) === after && after >= before, 'no frames after Escape');
  const closed = await page.evaluate(() => !window.Module.orvo.audioContext);
  check(closed, 'the audio context is closed at the end');
  await noErrors(page, 'demo: no console errors');
  await page.close();
}

// --- The start screen's still; a browser that does not start the sound
// (made so here: the audio context stays suspended) gets one line on the page.
async function startScreenAndNoSound() {
  const page = await open(800, 600, () => {
    const Base = window.AudioContext;
    window.AudioContext = class extends Base {
      constructor(...options) {
        super(...options);
        this.suspend();
      }
      resume() {
        return new Promise(() => {});
      }
    };
  });
  await page.goto(`${base}/site/index.html`);
  await waitForState(page, ['waiting', 'failed'], 30000);
  await page.waitFor(() => !document.getElementById('still').hidden, 10000);
  const shot = path.join(work, 'start-screen.png');
  await page.screenshot(shot);
  const f = sceneFractions(shot);
  check(f.black < 0.2 && f.blue > 0.2, 'the start screen shows a still of the scene (the sky blue behind the king)',
    `black ${f.black.toFixed(3)}, blue ${f.blue.toFixed(3)}`);
  await page.click(20, 20);
  await page.waitFor(() => document.getElementById('message').textContent !== '', 10000);
  const shown = await page.evaluate(() => document.getElementById('message').textContent);
  const state = await page.evaluate(() => document.body.dataset.state);
  check(state === 'running' && /has not started the sound/.test(shown) && !shown.includes('\n'),
    'no sound from the browser: the page says so in one line, the demo runs', `${state}: "${shown}"`);
  await noErrors(page, 'no sound: no console errors');
  await page.press('Escape');
  await waitForState(page, ['ended', 'failed'], 5000);
  await page.close();
}

// --- A broken picture: the decoder's own line, on the page and the console.
async function brokenPicture() {
  const page = await open(800, 600);
  const reached = await startDemo(page, 'broken');
  const ended = reached === 'failed' ? reached : await waitForState(page, ['failed', 'ended'], 10000);
  const expected = fs.readFileSync(path.join(workRoot, 'broken-line.txt'), 'utf8').trim();
  const shown = await page.evaluate(() => document.getElementById('message').textContent);
  check(ended === 'failed', 'a broken king.jpg stops the demo', ended);
  check(shown === expected && !expected.includes('\n'), 'the page shows the decoder\'s one line',
    `page: "${shown}", native: "${expected}"`);
  const errors = await page.errors();
  check(errors.join('\n') === expected, 'the console has the same, and nothing else', errors.join(' | '));
  await page.close();
}

// --- No song: the demo runs silently.
async function noSong() {
  const page = await open(800, 600);
  const reached = await startDemo(page, 'nosong');
  await page.waitFor(() => (window.Module.orvo.frames || 0) > 30, 30000);
  const frames = await framesDrawn(page);
  const message = await page.evaluate(() => document.getElementById('message').textContent);
  check(reached === 'running' && frames > 30 && message === '', 'without s.s3m the demo runs silently',
    `${reached}, ${frames} frames, message "${message}"`);
  // Chromium logs the 404 on the console, Firefox does not.
  const errors = await page.errors();
  const others = errors.filter((e) => !/^Failed to load resource: .* 404 .*\/s\.s3m$/.test(e));
  check(others.length === 0, 'no song: no console error but the browser\'s 404 for s.s3m', errors.join(' | '));
  await page.close();
}

const watchdog = setTimeout(() => {
  console.log(`FAIL: the ${engine} tests took over 5 minutes`);
  process.exit(1);
}, 300000);
try {
  await stillFrames('orvo-simd128', '');
  await stillFrames('orvo', '&simd=plain');
  await badTimes();
  await liveDemo();
  await startScreenAndNoSound();
  await brokenPicture();
  await noSong();
} catch (error) {
  fail(`the browser tests stopped: ${error}`);
} finally {
  clearTimeout(watchdog);
  await browser.close();
  server.close();
  if (pulse) pulse.stop();
}
console.log(counted.failures === 0 ? `${engine}: all passed` : `${engine}: ${counted.failures} failed`);
process.exit(counted.failures === 0 ? 0 : 1);
