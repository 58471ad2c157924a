'use strict';
// Keeps the page's files so that a demo opened once plays again with no
// network (and from the home screen): each file from the network while there
// is one, the copy kept of it when there is none. Every file is fetched into
// the cache as the page is first opened: both builds of the program, since the
// browser picks one at start. A file the server lacks (a site without the
// song) is left out and the rest still kept.
const cacheName = 'orvo-@PROJECT_VERSION@';
const files = ['index.html', 'manifest.webmanifest', 'orvo.js', 'orvo.wasm', 'orvo-simd128.js', 'orvo-simd128.wasm',
  '02.jpg', '02a.jpg', 'king.jpg', 's.s3m', 'orvo-32.png', 'orvo-128.png', 'orvo-256.png'];
const scope = new URL('./', self.location).href;

// The kept file a request stands for, or null: the folder is its index.html,
// the query ("?t=") does not matter.
const keptAs = (request) => {
  const url = new URL(request.url);
  if (request.method !== 'GET' || !url.href.startsWith(scope)) return null;
  const name = url.origin + url.pathname === scope ? 'index.html' : (url.origin + url.pathname).slice(scope.length);
  return files.includes(name) ? new URL(name, scope).href : null;
};

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(cacheName).then((cache) =>
    Promise.all(files.map((name) => cache.add(new Request(name, {cache: 'no-cache'})).catch(() => {}))))
    .then(() => self.skipWaiting()));
});

// Older versions' copies go.
self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names.filter((name) => name.startsWith('orvo-') && name !== cacheName)
      .map((name) => caches.delete(name))))
    .then(() => self.clients.claim()));
});

self.addEventListener('fetch', (event) => {
  const key = keptAs(event.request);
  if (!key) return;
  event.respondWith(fetch(event.request).then((response) => {
    if (response.ok) {
      const copy = response.clone();
      event.waitUntil(caches.open(cacheName).then((cache) => cache.put(key, copy)));
    }
    return response;
  }, (error) => caches.match(key).then((kept) => kept || Promise.reject(error))));
});
