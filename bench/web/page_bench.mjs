// Figures of the show's page in Debian's chromium, headless (after scripts/build-web.sh,
// and npm ci in tests/web):
//   node page_bench.mjs [OUT_WEB_DIR]
// Each scene's frames per second in the recorded show at 30 frames a second, drawn as fast
// as it goes (the median frame's; bench/recorded_show_bench.cpp measures the native build
// alike), on one thread and with threads; and the share of a core the live page takes,
// paced to the display, over ten seconds.
import {fileURLToPath} from 'node:url';

import {openBrowser} from '../../tests/web/chromium.mjs';

import {browserShare, shareText} from './browser_share.mjs';

const directory = process.argv[2] ?? fileURLToPath(new URL('../../out/web', import.meta.url));
const kLiveSeconds = 10;

const {browser, isolated, plain, address, close} = await openBrowser(directory);

async function sceneRates(server) {
    const page = await browser.newPage();
    await page.goto(address(server, '?deterministic&bench&fps=30'));
    await page.waitForFunction(() => window.glintBench, {polling: 1000, timeout: 0});
    const rates = await page.evaluate(() => window.glintBench);
    const threads = await page.evaluate(() => window.glint.threads);
    await page.close();
    return {threads, rates: rates.map((rate) => Math.round(rate))};
}

async function liveShare(server) {
    const page = await browser.newPage();
    await page.goto(address(server, ''));
    await page.waitForFunction(
        () => window.glint && window.glint.soundHash(44100) !== '', {timeout: 60000});
    const share = await browserShare(browser, kLiveSeconds);
    await page.close();
    return share;
}

for (const [name, server] of [['one thread', plain], ['threads', isolated]]) {
    const {threads, rates} = await sceneRates(server);
    console.log(
        `recorded show, ${name} (${threads}): frames per second by scene: ${rates.join(' ')}`);
}
for (const [name, server] of [['one thread', plain], ['threads', isolated]]) {
    console.log(`live page, ${name}: ${shareText(await liveShare(server))}`);
}
await close();
