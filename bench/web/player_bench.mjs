// Figures of Vorn3 in Debian's chromium, headless (after scripts/build-web.sh, and npm ci
// in tests/web):
//   node player_bench.mjs VORN3PLAY MODULE...
// Each module's whole song rendered at 48 kHz in floats in a page of its own (wasm), after
// a first run that compiles, and by the native vorn3play, in five pairs of runs: the
// medians as seconds of sound per second, and the median of the pairs' ratios; the
// package's size; and the share of a core the browser takes with the player page playing
// the first module, over ten seconds, against the page paused and the page open before any
// sound; and, as the floor under those, what the browser takes for a page that plays a
// tone through an audio worklet and animates a canvas.
import {execFileSync} from 'node:child_process';
import {readFileSync} from 'node:fs';
import {basename} from 'node:path';
import {fileURLToPath} from 'node:url';

import {openBrowser} from '../../tests/web/chromium.mjs';

import {browserShare, shareText} from './browser_share.mjs';

const [vorn3play, ...modules] = process.argv.slice(2);
const directory = fileURLToPath(new URL('../../out/web', import.meta.url));
const kRuns = 5;
const kRate = 48000;
const kLiveSeconds = 10;

const median = (values) => values.sort((a, b) => a - b)[Math.floor(values.length / 2)];

// Seconds a native render of the whole song takes.
function nativeTime(module) {
    const start = process.hrtime.bigint();
    execFileSync(vorn3play, ['-q', '--float', '--rate', String(kRate), '-o', '/dev/null', module]);
    return Number(process.hrtime.bigint() - start) / 1e9;
}

// Seconds a render of the whole song takes in the page, and the seconds of sound.
function wasmTime(page, base64) {
    return page.evaluate(async (base64, rate) => {
        const vorn3 = await import('./vorn3.mjs');
        const bytes = Uint8Array.from(atob(base64), (c) => c.charCodeAt(0));
        const start = performance.now();
        const tune = await vorn3.openTune(bytes, {rate});
        let frames = 0;
        for (let got; (got = tune.renderFloat(1024).length / 2) > 0;)
            frames += got;
        tune.free();
        return {time: (performance.now() - start) / 1000, seconds: frames / rate};
    }, base64, kRate);
}

// Each wasm run is paired with a native one, so that both meet the machine's mood alike.
async function speeds(page, module) {
    const base64 = readFileSync(module).toString('base64');
    const {seconds} = await wasmTime(page, base64);  // compiles the hot code
    const wasm = [];
    const native = [];
    const ratios = [];
    for (let run = 0; run < kRuns; ++run) {
        const {time} = await wasmTime(page, base64);
        const nativeRun = nativeTime(module);
        wasm.push(seconds / time);
        native.push(seconds / nativeRun);
        ratios.push(nativeRun / time);
    }
    return {seconds, wasm: median(wasm), native: median(native), ratio: median(ratios)};
}

// This browser's own share for a page that plays a tone through an audio worklet and, with
// `frames`, changes a canvas 30 times a second: the floor under the player's figures.
async function floorShare(frames) {
    const page = await browser.newPage();
    // A page of the server's, for the worklet wants a secure context.
    await page.goto(address(plain, 'vorn3/player.html'));
    await page.evaluate(async (frames) => {
        const context = new AudioContext();
        const tone = `registerProcessor('tone', class extends AudioWorkletProcessor {
            process(inputs, [[left, right]]) {
                for (let i = 0; i < left.length; ++i) left[i] = right[i] = Math.sin(i / 8);
                return true;
            }
        });`;
        await context.audioWorklet.addModule(
            URL.createObjectURL(new Blob([tone], {type: 'text/javascript'})));
        new AudioWorkletNode(context, 'tone', {
            outputChannelCount: [2]
        }).connect(context.destination);
        if (!frames) return;
        const canvas = Object.assign(document.createElement('canvas'), {width: 600, height: 64});
        document.body.replaceChildren(canvas);
        const g = canvas.getContext('2d');
        let frame = 0;
        setInterval(
            () => requestAnimationFrame(() => {
                g.fillStyle = ++frame % 2 ? '#000' : '#111';
                g.fillRect(0, 0, 600, 64);
            }),
            1000 / 30);
    }, frames);
    const share = await browserShare(browser, kLiveSeconds);
    await page.close();
    return share;
}

const {browser, plain, address, close} = await openBrowser(directory);
// The player page's own work would stall the renders now and then.
const quiet = await browser.newPage();
await quiet.goto(address(plain, 'vorn3/package.json'));
for (const module of modules) {
    const {seconds, wasm, native, ratio} = await speeds(quiet, module);
    console.log(
        `${basename(module)}: ${seconds.toFixed(0)} s of sound; wasm ${wasm.toFixed(0)}×` +
        ` real time, native ${native.toFixed(0)}×: wasm at ${ratio.toFixed(2)} of native`);
}

const pack = JSON.parse(execFileSync(
    'npm', ['pack', '--dry-run', '--json'],
    {cwd: `${directory}/vorn3`, stdio: ['ignore', 'pipe', 'ignore']}))[0];
console.log(
    `package: ${pack.filename}, ${(pack.size / 1024).toFixed(0)} KB packed,` +
    ` ${(pack.unpackedSize / 1024).toFixed(0)} KB unpacked, ${pack.entryCount} files`);

await quiet.close();
const page = await browser.newPage();
await page.goto(address(plain, 'vorn3/player.html'));
console.log(`player page open, idle: ${shareText(await browserShare(browser, kLiveSeconds))}`);
await (await page.$('#files')).uploadFile(modules[0]);
await page.waitForFunction(() => window.vorn3Page.player?.state?.seconds > 1, {polling: 100});
const playing = await browserShare(browser, kLiveSeconds);
console.log(`player page playing ${basename(modules[0])}: ${shareText(playing)}`);
await page.click('#play');  // pauses, as a listener would
console.log(`player page paused: ${shareText(await browserShare(browser, kLiveSeconds))}`);
await page.close();
console.log(`a page playing a tone through a worklet: ${shareText(await floorShare(false))}`);
console.log(`a page playing a tone through a worklet, a canvas changing 30 times a second: ${
    shareText(await floorShare(true))}`);
await close();
