// What the browser tests and the browser benchmark share: a static server on
// 127.0.0.1 (a port of its own choosing) and Debian's chromium or Firefox ESR,
// headless, through puppeteer-core from ORVO_NODE_MODULES (chromium through
// its DevTools protocol, Firefox through WebDriver BiDi), or WebKitGTK's
// MiniBrowser through WebKitWebDriver (W3C WebDriver over HTTP, on the X
// display in DISPLAY); and one page interface over the three (openBrowser).
import {execFileSync, spawn, spawnSync} from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import net from 'node:net';
import path from 'node:path';
import {createRequire} from 'node:module';

const require = createRequire(path.join(path.resolve(process.env.ORVO_NODE_MODULES), 'x.js'));
const puppeteer = require('puppeteer-core');

const types = {'.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm',
  '.webmanifest': 'application/manifest+json', '.png': 'image/png'};

// Serves the files under root; returns the server and its base address.
// Under /preload/N/ it serves the same files, with the Nth script given to
// preload() run first in every HTML page: how a WebDriver page gets a script
// in before the page's own.
export async function serve(root) {
  const preloads = [];
  const server = http.createServer((request, response) => {
    const url = new URL(request.url, 'http://127.0.0.1');
    let pathname = decodeURIComponent(url.pathname);
    const preloaded = pathname.match(/^\/preload\/(\d+)(\/.*)$/);
    if (preloaded) pathname = preloaded[2];
    let file = path.join(root, path.normalize(pathname).replace(/^(\.\.[/\\])+/, ''));
    if (file.endsWith('/')) file += 'index.html';
    fs.readFile(file, (error, data) => {
      if (error) {
        response.writeHead(404).end();
        return;
      }
      if (preloaded && file.endsWith('.html')) {
        data = data.toString().replace('<head>', `<head><script>${preloads[Number(preloaded[1])]}</script>`);
      }
      response.writeHead(200, {'Content-Type': types[path.extname(file)] || 'application/octet-stream'});
      response.end(data);
    });
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const preload = (source) => `/preload/${preloads.push(source) - 1}`;
  return {server, base: `http://127.0.0.1:${server.address().port}`, preload};
}

// Firefox plays sound only to a device (chromium fakes one): a PulseAudio
// server of our own in folder with one null sink. Returns its address for
// PULSE_SERVER and a function that stops it.
export async function startPulse(folder) {
  const socket = path.join(folder, 'pulse.sock');
  const server = `unix:${socket}`;
  const pulse = spawn('pulseaudio', ['-n', '--daemonize=no', '--exit-idle-time=-1', '--disallow-exit',
    '--use-pid-file=no', `--load=module-native-protocol-unix socket=${socket} auth-anonymous=1`,
    '--load=module-null-sink sink_name=orvo', '--load=module-always-sink'],
  {stdio: 'ignore', env: {...process.env, HOME: folder}});
  const env = {...process.env, PULSE_SERVER: server};
  // Stopped with the test however it ends.
  const stop = () => pulse.exitCode === null && pulse.kill('SIGTERM');
  process.on('exit', stop);
  for (let i = 0; i < 100 && pulse.exitCode === null; ++i) {
    if (spawnSync('pactl', ['info'], {env, timeout: 5000, stdio: 'ignore'}).status === 0) return {server, stop};
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
  stop();
  throw new Error('no PulseAudio server started');
}

// engine: 'chromium' or 'firefox'; pulseServer: where Firefox plays sound;
// windowed: Firefox in a window on the X display in DISPLAY (headless, it
// finds no GL driver: no WebGL).
export function launch(engine = 'chromium', pulseServer = '', windowed = false) {
  if (engine === 'firefox') {
    return puppeteer.launch({
      browser: 'firefox',
      executablePath: '/usr/bin/firefox-esr',
      headless: !windowed,
      env: {...process.env, PULSE_SERVER: pulseServer},
      // Every connection but loopback goes to a closed local port, should
      // anything in the browser still reach out; no DNS look-ups ahead.
      extraPrefsFirefox: {
        'network.proxy.type': 1, 'network.proxy.http': '127.0.0.1', 'network.proxy.http_port': 9,
        'network.proxy.ssl': '127.0.0.1', 'network.proxy.ssl_port': 9, 'network.proxy.share_proxy_settings': true,
        'network.dns.disablePrefetch': true, 'network.trr.mode': 5,
      },
      timeout: 60000,
      protocolTimeout: 120000,
    });
  }
  return puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    // The machine has no network beyond loopback: no background connections.
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', '--force-color-profile=srgb', '--hide-scrollbars'],
    // The song is to be played, not muted.
    ignoreDefaultArgs: ['--mute-audio'],
    timeout: 60000,
    protocolTimeout: 120000,
  });
}

// Resolves with the page's state once it is one of wanted, or the last state
// seen when ms have passed.
// (page: puppeteer's, or openBrowser's.)
export async function waitForState(page, wanted, ms) {
  const reached = (w) => w.includes(document.body.dataset.state);
  if (page.waitFor) await page.waitFor(reached, ms, wanted);
  else await page.waitForFunction(reached, {timeout: ms, polling: 50}, wanted).catch(() => {});
  return page.evaluate(() => document.body.dataset.state);
}

// --- One page interface over the three engines:
//   page.goto(url), page.evaluate(fn, ...args), page.waitFor(fn, ms, ...args)
//   (true once fn returns a true value), page.state(), page.screenshot(file)
//   (the viewport, PNG), page.click(x, y, count), page.press(key),
//   page.errors() (console errors and uncaught exceptions so far),
//   page.close(); page.raw is puppeteer's page (none in WebKit).
// WebDriver gives no console: there a script run before the page's own
// (through site.preload) keeps console.error's lines and uncaught errors.

// The screenshot's raw RGB bytes and those of a PNG file, through ImageMagick.
export const rgb = (file) => execFileSync('convert', [file, '-depth', '8', 'rgb:-'], {maxBuffer: 1 << 26});

// Fractions of black, grey and red pixels, as the native tests count them,
// and of blue ones.
export function sceneFractions(file) {
  const bytes = rgb(file);
  let black = 0, grey = 0, red = 0, blue = 0;
  const n = bytes.length / 3;
  for (let i = 0; i < bytes.length; i += 3) {
    const r = bytes[i] / 255, g = bytes[i + 1] / 255, b = bytes[i + 2] / 255;
    if (r + g + b < 0.06) black += 1;
    if (Math.abs(r - g) < 0.08 && Math.abs(g - b) < 0.08 && r > 0.15 && r < 0.95) grey += 1;
    if (r > 0.35 && r > 2 * g && r > 2 * b) red += 1;
    if (b > 0.3 && b > r + 0.1 && b > g + 0.1) blue += 1;
  }
  return {black: black / n, grey: grey / n, red: red / n, blue: blue / n};
}

export const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// One line a check ("ok: NAME: what" or "FAIL: NAME: what (detail)");
// checks.failures counts the failed ones.
export function checks(name) {
  const counted = {failures: 0};
  counted.pass = (what) => console.log(`ok: ${name}: ${what}`);
  counted.fail = (what) => {
    console.log(`FAIL: ${name}: ${what}`);
    counted.failures += 1;
  };
  counted.check = (condition, what, detail = '') =>
    (condition ? counted.pass(what) : counted.fail(detail ? `${what} (${detail})` : what));
  return counted;
}

// engine: chromium, firefox or webkit; site: serve()'s answer; pulseServer:
// where Firefox and WebKit play sound; windowed: as for launch().
export async function openBrowser(engine, site, pulseServer = '', windowed = false) {
  if (engine === 'webkit') return openWebKit(site, pulseServer);
  const browser = await launch(engine, pulseServer, windowed);
  return {
    close: () => browser.close(),
    async newPage(width, height, preload) {
      const raw = await browser.newPage();
      if (preload) await raw.evaluateOnNewDocument(preload);
      await raw.setViewport({width, height, deviceScaleFactor: 1});
      const errors = [];
      raw.on('console', (m) => {
        if (m.type() !== 'error') return;
        // A file the server lacks is the browser's own error, named by its address.
        const where = m.location() && m.location().url;
        errors.push(m.text().startsWith('Failed to load resource') && where ? `${m.text()}: ${where}` : m.text());
      });
      raw.on('pageerror', (e) => errors.push(String(e)));
      return {
        raw,
        goto: (url) => raw.goto(url, {timeout: 30000}),
        evaluate: (fn, ...args) => raw.evaluate(fn, ...args),
        waitFor: (fn, ms, ...args) => raw.waitForFunction(fn, {timeout: ms, polling: 50}, ...args).then(() => true,
          () => false),
        state: () => raw.evaluate(() => document.body.dataset.state),
        screenshot: (file) => raw.screenshot({path: file}),
        click: (x, y, count = 1) => raw.mouse.click(x, y, {count}),
        press: (key) => raw.keyboard.press(key),
        errors: async () => errors,
        close: () => raw.close(),
      };
    },
  };
}

// Caught before the page's own script runs, in every page WebKit opens.
function keepErrors() {
  const errors = window.orvoErrors = [];
  const error = console.error;
  console.error = (...parts) => {
    errors.push(parts.map(String).join(' '));
    error.apply(console, parts);
  };
  window.addEventListener('error', (event) => errors.push(String(event.error || event.message)));
  window.addEventListener('unhandledrejection', (event) => errors.push(`unhandled rejection: ${event.reason}`));
}

const freePort = () => new Promise((resolve) => {
  const probe = net.createServer().listen(0, '127.0.0.1', () => {
    const {port} = probe.address();
    probe.close(() => resolve(port));
  });
});

async function openWebKit(site, pulseServer) {
  const port = await freePort();
  const driver = spawn('WebKitWebDriver', [`--port=${port}`], {stdio: 'ignore',
    env: {...process.env, PULSE_SERVER: pulseServer}});
  const stop = () => driver.exitCode === null && driver.kill('SIGTERM');
  process.on('exit', stop);
  // Every request bounded: without a display the new session never answers.
  // (node:http, as the tests run node without its fetch.)
  const request = (method, where, body, ms = 60000) => new Promise((resolve, reject) => {
    const sent = http.request({host: '127.0.0.1', port, path: where, method, timeout: ms,
      headers: {'Content-Type': 'application/json'}}, (response) => {
      let text = '';
      response.setEncoding('utf8');
      response.on('data', (part) => { text += part; });
      response.on('end', () => {
        try {
          const {value} = JSON.parse(text);
          if (response.statusCode === 200) resolve(value);
          else reject(new Error(`WebDriver ${method} ${where}: ${value.error}: ${value.message}`));
        } catch (error) {
          reject(new Error(`WebDriver ${method} ${where}: ${error.message}`));
        }
      });
    });
    sent.on('timeout', () => sent.destroy(new Error(`WebDriver ${method} ${where}: no answer in ${ms} ms`)));
    sent.on('error', reject);
    sent.end(body === undefined ? undefined : JSON.stringify(body));
  });
  for (let i = 0; ; ++i) {
    try {
      if ((await request('GET', '/status', undefined, 2000)).ready) break;
    } catch (error) {
      if (i === 50 || driver.exitCode !== null) {
        stop();
        throw new Error(`WebKitWebDriver did not start: ${error.message}`);
      }
    }
    await sleep(100);
  }
  // A browser of its own for every page, as puppeteer's pages are apart:
  // nothing one page left running (its sound, its worker) reaches the next.
  const newSession = async () => {
    try {
      return `/session/${(await request('POST', '/session', {capabilities: {alwaysMatch: {}}}, 60000)).sessionId}`;
    } catch (error) {
      throw new Error(`no WebKit session (is DISPLAY an X server?): ${error.message}`);
    }
  };
  const keys = {Escape: '\uE00C'};
  return {
    close: stop,
    async newPage(width, height, preload) {
      const session = await newSession();
      // The script and its arguments; a promise it returns is waited for
      // (execute/sync waits for it).
      const evaluate = async (fn, ...args) => {
        const result = await request('POST', `${session}/execute/sync`, {args, script: `
          const args = Array.prototype.slice.call(arguments);
          return Promise.resolve().then(() => (${fn}).apply(null, args))
            .then((value) => ({value}), (error) => ({error: String(error)}));`});
        if (result.error !== undefined) throw new Error(result.error);
        return result.value;
      };
      const actions = (list) => request('POST', `${session}/actions`, {actions: list});
      const prefix = site.preload(`(${keepErrors})();${preload ? `(${preload})();` : ''}`);
      // The window is the viewport and the browser's own bar: sized so the
      // viewport is width x height.
      await request('POST', `${session}/url`, {url: 'about:blank'});
      await request('POST', `${session}/window/rect`, {width, height});
      const [innerWidth, innerHeight] = await evaluate(() => [window.innerWidth, window.innerHeight]);
      await request('POST', `${session}/window/rect`, {width: 2 * width - innerWidth, height: 2 * height - innerHeight});
      const earlier = [];
      const errors = () => evaluate(() => window.orvoErrors || []).catch(() => []);
      const page = {
        goto: async (url) => {
          earlier.push(...await errors());
          await request('POST', `${session}/url`, {url: url.replace(site.base, site.base + prefix)});
        },
        evaluate,
        async waitFor(fn, ms, ...args) {
          for (const end = Date.now() + ms; Date.now() < end; await sleep(50)) {
            if (await evaluate(fn, ...args).catch(() => false)) return true;
          }
          return false;
        },
        state: () => evaluate(() => document.body.dataset.state),
        screenshot: async (file) => fs.writeFileSync(file, Buffer.from(await request('GET', `${session}/screenshot`),
          'base64')),
        click: (x, y, count = 1) => actions([{type: 'pointer', id: 'mouse', parameters: {pointerType: 'mouse'},
          actions: [{type: 'pointerMove', x, y, origin: 'viewport'}, ...Array.from({length: count}, () => [
            {type: 'pointerDown', button: 0}, {type: 'pointerUp', button: 0}]).flat()]}]),
        press: (key) => actions([{type: 'key', id: 'keyboard', actions: [{type: 'keyDown', value: keys[key] || key},
          {type: 'keyUp', value: keys[key] || key}]}]),
        errors: async () => [...earlier, ...await errors()],
        close: () => request('DELETE', session).catch(() => {}),
      };
      return page;
    },
  };
}
