// What the browser tests and the browser benchmark share: a static server on
// 127.0.0.1 (a port of its own choosing) and Debian's chromium or Firefox ESR,
// headless, through puppeteer-core from ORVO_NODE_MODULES (chromium through
// its DevTools protocol, Firefox through WebDriver BiDi).
import {spawn, spawnSync} from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import {createRequire} from 'node:module';

const require = createRequire(path.join(path.resolve(process.env.ORVO_NODE_MODULES), 'x.js'));
const puppeteer = require('puppeteer-core');

const types = {'.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm'};

// Serves the files under root; returns the server and its base address.
export async function serve(root) {
  const server = http.createServer((request, response) => {
    const url = new URL(request.url, 'http://127.0.0.1');
    let file = path.join(root, path.normalize(decodeURIComponent(url.pathname)).replace(/^(\.\.[/\\])+/, ''));
    if (file.endsWith('/')) file += 'index.html';
    fs.readFile(file, (error, data) => {
      if (error) {
        response.writeHead(404).end();
        return;
      }
      response.writeHead(200, {'Content-Type': types[path.extname(file)] || 'application/octet-stream'});
      response.end(data);
    });
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return {server, base: `http://127.0.0.1:${server.address().port}`};
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

// engine: 'chromium' or 'firefox'; pulseServer: where Firefox plays sound.
export function launch(engine = 'chromium', pulseServer = '') {
  if (engine === 'firefox') {
    return puppeteer.launch({
      browser: 'firefox',
      executablePath: '/usr/bin/firefox-esr',
      headless: true,
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
export async function waitForState(page, wanted, ms) {
  try {
    await page.waitForFunction((w) => w.includes(document.body.dataset.state), {timeout: ms, polling: 50}, wanted);
  } catch {
    // The caller says what the page reached instead.
  }
  return page.evaluate(() => document.body.dataset.state);
}
