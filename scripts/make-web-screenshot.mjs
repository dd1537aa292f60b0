// The show's page in fullscreen at 1920 × 1080, in Debian's chromium, into
// docs/web-fullscreen.png for the README (after scripts/build-web.sh, and npm ci in
// tests/web):
//   node scripts/make-web-screenshot.mjs [OUTPUT.png]
import {fileURLToPath} from 'node:url';

import {openBrowser} from '../tests/web/chromium.mjs';

const output = process.argv[2] ?? fileURLToPath(new URL('../docs/web-fullscreen.png', import.meta.url));
const directory = fileURLToPath(new URL('../out/web', import.meta.url));
const kFrame = 930;  // 93 seconds in, at ten frames a second: the fifth scene

const {browser, isolated, address, close} = await openBrowser(directory);
const page = await browser.newPage();
await page.setViewport({width: 1920, height: 1080});
await page.goto(address(isolated, '?deterministic&manual&fps=10'));
await page.waitForFunction(() => window.glint);
await page.evaluate(async (last) => {
    for (let frame = 0; frame <= last; ++frame) window.glint.advance();
    window.glint.draw();
}, kFrame);
await page.click('#fullscreen');
await page.waitForFunction(() => document.fullscreenElement !== null, {polling: 100});
await page.screenshot({path: output});
console.log(`The page in fullscreen: ${output}`);
await close();
