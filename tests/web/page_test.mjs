// The show's page in Debian's chromium, headless, against the native build:
//   node page_test.mjs OUT_WEB_DIR REFERENCE_JSON
// The recorded show's frames at the golden times and its hand-overs, the first seconds of
// sound the live page's audio takes, Escape, black bars in a wide window, and a page
// served without the isolation headers (one thread) drawing the same frames.
import assert from 'node:assert/strict';
import {readFile} from 'node:fs/promises';
import {test} from 'node:test';

import {openBrowser} from './chromium.mjs';

const [directory, referenceFile] = process.argv.slice(2);
const reference = JSON.parse(await readFile(referenceFile, 'utf8'));
const kPlainFrames = 160;  // the one-thread page is held to the first golden frame
const kMinute = 60000;

const {browser, isolated, plain, address, close} = await openBrowser(directory);

// A page, with every error it logs or throws collected.
async function open(url, viewport = {width: 800, height: 600}) {
    const page = await browser.newPage();
    await page.setViewport(viewport);
    page.errors = [];
    page.on('console', (message) => {
        if (message.type() === 'error') page.errors.push(message.text());
    });
    page.on('pageerror', (error) => page.errors.push(error.message));
    await page.goto(url);
    await page.waitForFunction(() => window.glint, {timeout: kMinute});
    return page;
}

// The recorded show up to `lastFrame` (or its end): golden frames' hashes and hand-overs.
function playRecorded(page, lastFrame) {
    return page.evaluate(async (golden, last) => {
        const frames = {};
        const handOvers = [];
        let scene = window.glint.sceneIndex();
        for (let frame = 0; frame <= last && window.glint.advance(); ++frame) {
            if (window.glint.sceneIndex() !== scene) handOvers.push(frame);
            scene = window.glint.sceneIndex();
            if (golden.includes(String(frame))) frames[frame] = window.glint.frameHash();
            if (frame % 100 === 0) await new Promise((resolve) => setTimeout(resolve));
        }
        return {frames, handOvers, threads: window.glint.threads};
    }, Object.keys(reference.frames), lastFrame);
}

test('the recorded show draws the native frames and hands over on the same frames', async () => {
    const page = await open(address(isolated, '?deterministic&manual&fps=10'));
    const played = await playRecorded(page, Infinity);
    assert.ok(played.threads > 1, 'an isolated page draws with threads');
    assert.deepEqual(played.frames, reference.frames);
    assert.deepEqual(played.handOvers, reference.handOvers);
    assert.deepEqual(page.errors, []);
    await page.close();
});

test('a page served without the isolation headers draws the same frames on one thread', async () => {
    const page = await open(address(plain, '?deterministic&manual&fps=10'));
    const played = await playRecorded(page, kPlainFrames);
    assert.equal(played.threads, 1);
    const first = Object.keys(reference.frames).filter((frame) => frame <= kPlainFrames);
    assert.deepEqual(Object.keys(played.frames), first);
    for (const frame of first) assert.equal(played.frames[frame], reference.frames[frame]);
    assert.deepEqual(page.errors, []);
    await page.close();
});

test('the live page plays the song as the native render has it, and ends on Escape', async () => {
    const page = await open(address(isolated, ''));
    await page.waitForFunction((frames) => window.glint.soundHash(frames) !== '',
                               {timeout: kMinute}, reference.soundFrames);
    assert.equal(await page.evaluate((frames) => window.glint.soundHash(frames),
                                     reference.soundFrames),
                 reference.sound);
    await page.keyboard.press('Escape');
    await page.waitForFunction(
        () => document.getElementById('status').textContent === 'The show has ended.' &&
              !document.getElementById('panel').hidden,
        {timeout: 5000});
    assert.deepEqual(page.errors, []);
    await page.close();
});

// Every pixel outside the 4:3 picture (960 × 720 in the middle of 1280 × 720) is black,
// but for the fullscreen button's.
test('the bars stay black in a 16:9 window', async () => {
    const page = await open(address(plain, ''), {width: 1280, height: 720});
    await page.waitForFunction(() => window.glint.soundHash(44100) !== '', {timeout: kMinute});
    const button = await page.evaluate(() => {
        const box = document.getElementById('fullscreen').getBoundingClientRect();
        return {left: box.left, top: box.top, right: box.right, bottom: box.bottom};
    });
    const shot = await page.screenshot({encoding: 'base64'});
    const lit = await page.evaluate(async (png, box) => {
        const picture = new Image();
        picture.src = `data:image/png;base64,${png}`;
        await picture.decode();
        const scratch = document.createElement('canvas');
        scratch.width = picture.width;
        scratch.height = picture.height;
        const context = scratch.getContext('2d');
        context.drawImage(picture, 0, 0);
        const {data} = context.getImageData(0, 0, picture.width, picture.height);
        let count = 0;
        for (let y = 0; y < picture.height; ++y) {
            for (let x = 0; x < picture.width; ++x) {
                if (x >= 160 && x < 1120) continue;
                if (x >= box.left && x < box.right && y >= box.top && y < box.bottom) continue;
                const at = 4 * (y * picture.width + x);
                if (data[at] || data[at + 1] || data[at + 2]) ++count;
            }
        }
        return count;
    }, shot, button);
    assert.equal(lit, 0);
    await page.close();
});

test.after(close);
