// Vorn3's player page playing a module, in Debian's chromium at 1280 × 800, into
// docs/vorn3-player.png for the README (after scripts/build-web.sh, and npm ci in
// tests/web):
//   node scripts/make-player-screenshot.mjs [MODULE] [OUTPUT.png]
import {fileURLToPath} from 'node:url';

import {openBrowser} from '../tests/web/chromium.mjs';

const module =
    process.argv[2] ?? fileURLToPath(new URL('../resources/song/intro.xm', import.meta.url));
const output =
    process.argv[3] ?? fileURLToPath(new URL('../docs/vorn3-player.png', import.meta.url));
const directory = fileURLToPath(new URL('../out/web', import.meta.url));
const kSecondsIn = 20;

const {browser, plain, address, close} = await openBrowser(directory);
const page = await browser.newPage();
await page.setViewport({width: 1280, height: 800});
await page.goto(address(plain, 'vorn3/player.html'));
await (await page.$('#files')).uploadFile(module);
await page.waitForFunction(() => window.vorn3Page.player?.state?.playing, {polling: 100});
await page.evaluate((seconds) => window.vorn3Page.player.seek(seconds), kSecondsIn);
await page.waitForFunction(
    (seconds) => window.vorn3Page.player.state.seconds > seconds + 1, {polling: 100}, kSecondsIn);
await page.screenshot({path: output});
console.log(`The player page: ${output}`);
await close();
