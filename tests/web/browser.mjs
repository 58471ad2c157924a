// What the browser tests and the browser benchmark share: a static server on
// 127.0.0.1 (a port of its own choosing) and Debian's chromium, headless,
// through puppeteer-core from ORVO_NODE_MODULES.
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

export function launch() {
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
