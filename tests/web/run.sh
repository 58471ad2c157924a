#!/usr/bin/env bash
# The browser build's tests, on this machine:
#   run.sh OUT        (OUT = build/web, as scripts/build-web.sh leaves it)
# - the frame parameters agree with the native build's over hours of clock
#   times (the C library's sin and cos differ between the two);
# - in headless chromium and Firefox ESR, and in WebKitGTK's MiniBrowser
#   through WebKitWebDriver on Xvfb (tests/web/browser_test.mjs): "?t="
#   frames bit for bit against the native orvo-render's, the start screen,
#   the scene and its letterbox, the song through an AudioWorklet under a
#   busy main thread against libopenmpt's own render, fullscreen, Escape, a
#   browser that gives no sound, a broken king.jpg, a missing song;
# - on a phone as chromium emulates one (tests/web/phone_test.mjs): the touch
#   start screen, a tap to start, the bar and its stop, the letterbox upright
#   and on its side, the screen's wake lock, installability, and the page
#   played again with the network gone.
# puppeteer-core comes from npm into build/web-node/ (package-lock.json).
set -uo pipefail
out=$(realpath "$1")
here=$(dirname "$(realpath "$0")")
root=$(realpath "$here/../..")
native=$root/build/release
# shellcheck source-path=SCRIPTDIR source=../support/harness.sh
. "$here/../support/harness.sh"
harness_begin "Web tests"
export NODE_PATH=/usr/share/nodejs NODE_OPTIONS=--no-experimental-fetch

group "frame parameters: wasm against native"
wasm_digest=$(timeout 120 node "$out/build-plain/tests/web/orvo_parameters_digest.js")
native_digest=$(timeout 120 "$native/tests/web/orvo_parameters_digest")
if [ -n "$native_digest" ] && [ "$wasm_digest" = "$native_digest" ]; then
  echo "ok: $native_digest" >&2
else
  fail "frame parameters differ: wasm '$wasm_digest', native '$native_digest'"
fi

group "puppeteer-core"
modules=$root/build/web-node
if ! cmp -s "$here/package-lock.json" "$modules/package-lock.json" || [ ! -d "$modules/node_modules" ]; then
  rm -rf "$modules" && mkdir -p "$modules"
  cp "$here/package.json" "$here/package-lock.json" "$modules/"
  (cd "$modules" && timeout 300 npm ci --no-audit --no-fund --loglevel=error) ||
    { fail "npm ci puppeteer-core"; finish; }
fi

group "the sites and the native frames"
mkdir -p "$work/sites" "$work/frames"
cp -r "$out" "$work/sites/site" && rm -rf "$work/sites/site"/build-* "$work/sites/site/prefix"
cp -r "$work/sites/site" "$work/sites/broken"
printf "this is not a JPEG picture\n" >"$work/sites/broken/king.jpg"
cp -r "$work/sites/site" "$work/sites/nosong" && rm "$work/sites/nosong/s.s3m"
timeout 120 "$native/tools/render/orvo-render" --assets "$out" --out "$work/frames" \
  --times -5000,0,0,1234,-1,987654,-2147483648 >/dev/null || { fail "native orvo-render"; finish; }
# The native program's own line for the broken picture.
(cd "$work/sites/broken" && timeout 60 "$native/tools/render/orvo-render" --out "$work/unused" --times 0 \
  2>"$work/broken-line.txt" >/dev/null)
[ -s "$work/broken-line.txt" ] || { fail "orvo-render accepted the broken king.jpg"; finish; }
cp "$native/tests/orvo_song_compare" "$work/"

for engine in chromium firefox webkit; do
  if [ "$engine" = webkit ]; then
    # WebKitGTK's MiniBrowser has no headless form: a private X server.
    group "WebKitGTK on Xvfb"
    start_x 1920x1080x24 || continue
  else
    group "headless $engine"
  fi
  ORVO_NODE_MODULES=$modules/node_modules timeout 400 node "$here/browser_test.mjs" "$engine" "$work/sites" "$work" ||
    fail "browser_test.mjs in $engine"
done

group "a phone, emulated by chromium; the installable app, offline"
ORVO_NODE_MODULES=$modules/node_modules timeout 300 node "$here/phone_test.mjs" "$work/sites" "$work" ||
  fail "phone_test.mjs"
finish
