// Vorn3's package and player page in Debian's chromium, headless, against the native
// library (vorn3play's renders):
//   node vorn3_test.mjs OUT_WEB_DIR VORN3PLAY MODULE WRITTEN_MODULES_DIR
// MODULE plays through the worklet and the page; the written modules (every format, as
// the fuzzer's seeds) render in every interpolation mode.
import assert from 'node:assert/strict';
import {execFileSync} from 'node:child_process';
import {mkdtempSync, readdirSync, readFileSync, writeFileSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {join} from 'node:path';
import {test} from 'node:test';

import {openBrowser} from './chromium.mjs';

const [directory, vorn3play, modulePath, writtenModules] = process.argv.slice(2);
const kRate = 44100;
const kSeconds = 3;
const kModes = ['nearest', 'linear', 'cubic', 'sinc'];
const kWavHeaderBytes = 44;
const kMinute = 60000;

const scratch = mkdtempSync(join(tmpdir(), 'vorn3-web-'));
function nativeRender(name, options, module = modulePath) {
    const file = join(scratch, name);
    execFileSync(vorn3play, ['-q', '--rate', String(kRate), ...options, '-o', file, module]);
    return readFileSync(file);
}
const floatWav = nativeRender('float.wav', ['--float', '--seconds', String(kSeconds)]);
const reference = new Float32Array(floatWav.buffer.slice(
    floatWav.byteOffset + kWavHeaderBytes, floatWav.byteOffset + floatWav.length));
const s16Wav = nativeRender('s16.wav', []);
const moduleBytes = readFileSync(modulePath);

const {browser, plain, address, close} = await openBrowser(directory);

async function open() {
    const page = await browser.newPage();
    page.errors = [];
    page.on('console', (message) => {
        if (message.type() === 'error') page.errors.push(message.text());
    });
    page.on('pageerror', (error) => page.errors.push(error.message));
    await page.goto(address(plain, 'vorn3/player.html'));
    return page;
}

// What the worklet plays of the module's first seconds with `players` players at once,
// interleaved, and with one player the WAV the render worker makes of the whole song.
function renderInPage(page, players) {
    return page.evaluate(async (module, players, rate, seconds) => {
        const vorn3 = await import('./vorn3.mjs');
        const bytes = Uint8Array.from(atob(module), (c) => c.charCodeAt(0));
        const context = new OfflineAudioContext(2, rate * seconds, rate);
        for (let i = 0; i < players; ++i) {
            const player = await vorn3.createPlayer(context);
            await player.load(bytes);
            await player.play();
        }
        const sound = await context.startRendering();
        const [left, right] = [sound.getChannelData(0), sound.getChannelData(1)];
        const frames = new Float32Array(2 * left.length);
        left.forEach((value, i) => (frames[2 * i] = value));
        right.forEach((value, i) => (frames[2 * i + 1] = value));
        const wav = players === 1 ? await (await vorn3.renderWav(bytes, {rate})).arrayBuffer() :
                                    new ArrayBuffer(0);
        const base64 = (data) =>
            btoa(Array.from(data, (byte) => String.fromCharCode(byte)).join(''));
        return {frames: base64(new Uint8Array(frames.buffer)), wav: base64(new Uint8Array(wav))};
    }, moduleBytes.toString('base64'), players, kRate, kSeconds);
}

function floatsOf(base64) {
    const bytes = Buffer.from(base64, 'base64');
    return new Float32Array(bytes.buffer, bytes.byteOffset, bytes.length / 4);
}

test('the worklet plays the native render, alone and beside a second player', async () => {
    const page = await open();
    const alone = await renderInPage(page, 1);
    assert.deepEqual(floatsOf(alone.frames), reference);
    assert.ok(Buffer.from(alone.wav, 'base64').equals(s16Wav), 'the worker renders the native WAV');
    const two = await renderInPage(page, 2);
    assert.deepEqual(floatsOf(two.frames), reference.map((value) => 2 * value));
    assert.deepEqual(page.errors, []);
    await page.close();
});

test('the wasm renders every format in every interpolation mode as natively', async () => {
    const page = await open();
    for (const name of readdirSync(writtenModules)) {
        const module = join(writtenModules, name);
        for (const mode of kModes) {
            const native = nativeRender(
                'mode.wav', ['--float', '--seconds', String(kSeconds), '-i', mode], module);
            const rendered = await page.evaluate(async (module, mode, rate, seconds) => {
                const vorn3 = await import('./vorn3.mjs');
                const tune = await vorn3.openTune(
                    Uint8Array.from(atob(module), (c) => c.charCodeAt(0)), {rate});
                tune.setInterpolation(mode);
                const frames = new Float32Array(2 * rate * seconds);
                for (let at = 0, sound;
                     at < frames.length && (sound = tune.renderFloat(1000)).length;
                     at += sound.length)
                    frames.set(sound.subarray(0, frames.length - at), at);
                tune.free();
                return btoa(
                    Array.from(new Uint8Array(frames.buffer), (byte) => String.fromCharCode(byte))
                        .join(''));
            }, readFileSync(module).toString('base64'), mode, kRate, kSeconds);
            const expected = native.subarray(kWavHeaderBytes);
            assert.ok(
                Buffer.from(rendered, 'base64').subarray(0, expected.length).equals(expected),
                `${name}, ${mode}`);
        }
    }
    assert.deepEqual(page.errors, []);
    await page.close();
});

test('the page plays opened files, marks a damaged one, goes on and pauses', async () => {
    const damaged = join(scratch, 'damaged.xm');
    writeFileSync(damaged, moduleBytes.subarray(0, 200));
    const page = await open();
    await (await page.$('#files')).uploadFile(damaged, modulePath);
    await page.waitForFunction(() => {
        const state = window.vorn3Page.player?.state;
        return state?.seconds > 1 && state.channels.some((channel) => channel.level > 0);
    }, {timeout: kMinute, polling: 100});
    const shown = await page.evaluate(
        () => ({
            bad: document.querySelector('#playlist li.bad')?.title,
            playing: document.querySelector('#playlist li.playing')?.textContent,
            position: document.getElementById('position').textContent,
            pattern: document.getElementById('pattern-rows').textContent.split('\n'),
        }));
    assert.equal(shown.bad, 'the file ends inside the header');
    assert.equal(shown.playing, 'intro.xm');
    assert.match(
        shown.position, /^Order \d+\/21 · Pattern \d+ · Row \d+ · Speed \d+ · BPM \d+$/);
    assert.match(shown.pattern[0], /^  0 │ (.{14} │ ){11}.{14}$/, 'twelve channels');
    // Paused, the audio context is suspended, and the keys still seek and play.
    await page.keyboard.press(' ');
    const paused = await page.waitForFunction(() => {
        const {context, player} = window.vorn3Page;
        return context.state === 'suspended' && !player.state.playing && player.state.seconds;
    }, {timeout: kMinute, polling: 100});
    const pausedAt = await paused.jsonValue();
    await page.keyboard.press('ArrowRight');
    await page.waitForFunction(
        (at) => window.vorn3Page.player.state.seconds >= at + 5, {timeout: kMinute}, pausedAt);
    await page.keyboard.press(' ');
    await page.waitForFunction(
        () => window.vorn3Page.context.state === 'running' &&
            document.getElementById('play').textContent === 'Pause',
        {timeout: kMinute});
    assert.deepEqual(page.errors, []);
    await page.close();
});

test.after(close);
