// The show's page: loads the show's wasm (with drawing threads where the page is
// cross-origin isolated), starts it on a gesture where the browser wants one, and gives
// it the page's clock, keys and sound. ?deterministic runs the recorded show instead:
// frame by frame on the virtual clock, for tests (&manual: driven from outside) and for
// measuring (&bench: every frame as fast as it draws).
const kSampleRate = 44100;  // the show's music; the browser resamples where it must
const kAudioFrames = 1024;  // frames the page's audio takes at a time
const kEscape = 1;
const kMostThreads = 64;

const params = new URLSearchParams(location.search);
const canvas = document.getElementById('picture');
const context = canvas.getContext('2d', {alpha: false});
const panel = document.getElementById('panel');
const status = document.getElementById('status');
const startButton = document.getElementById('start');

function say(text, button) {
    panel.hidden = false;
    status.textContent = text;
    startButton.hidden = !button;
    if (button) startButton.textContent = button;
}

function loadScript(url) {
    return new Promise((resolve, reject) => {
        const script = document.createElement('script');
        script.src = url;
        script.onload = resolve;
        script.onerror = () => reject(new Error(`cannot load ${url}`));
        document.head.appendChild(script);
    });
}

// One thread where SharedArrayBuffer is missing: the same frames either way.
async function loadShow() {
    const threaded = self.crossOriginIsolated && !params.has('one-thread');
    const name = threaded ? 'glint-threads.js' : 'glint.js';
    await loadScript(name);
    const show = await createGlint({mainScriptUrlOrBlob: name});
    // No more than the workers made at load (one a core): the page cannot wait for another.
    const cores = Math.min(navigator.hardwareConcurrency || 1, kMostThreads);
    const asked = Number(params.get('threads')) || cores;
    return {show, threads: threaded ? Math.min(Math.max(asked, 1), cores) : 1};
}

let image = null;  // the frame as the canvas takes it

// An ImageData cannot view shared memory: the threaded show's frame is copied out once,
// the other's shown from where the show wrote it.
function drawFrame(show) {
    const pixels = show._glintCanvas();
    if (!pixels) return;
    const width = show._glintFrameWidth();
    const height = show._glintFrameHeight();
    const frame = show.HEAPU8.subarray(pixels, pixels + width * height * 4);
    const shared = !(frame.buffer instanceof ArrayBuffer);
    if (!image || image.width !== width || image.height !== height ||
        (!shared && (image.data.buffer !== frame.buffer || image.data.byteOffset !== pixels))) {
        canvas.width = width;
        canvas.height = height;
        image = shared ?
            context.createImageData(width, height) :
            new ImageData(new Uint8ClampedArray(frame.buffer, pixels, frame.length), width, height);
    }
    if (shared) image.data.set(frame);
    context.putImageData(image, 0, 0);
}

function toggleFullscreen() {
    if (document.fullscreenElement) {
        document.exitFullscreen();
    } else {
        document.documentElement.requestFullscreen().catch(() => {});
    }
}

function listenForFullscreen() {
    document.getElementById('fullscreen').addEventListener('click', toggleFullscreen);
    canvas.addEventListener('dblclick', toggleFullscreen);
    addEventListener('keydown', (event) => {
        if (event.key === 'F11' || (event.key === 'Enter' && event.altKey)) {
            event.preventDefault();
            toggleFullscreen();
        }
    });
}

// The page's sound: the show's ring, taken as the audio context plays. While the
// context is not running, the show's clock stands still with it, so the scenes never
// run ahead of the song.
function openSound(show) {
    const audio = new AudioContext({sampleRate: kSampleRate});
    const node = audio.createScriptProcessor(kAudioFrames, 0, 2);
    node.onaudioprocess = (event) => {
        const output = event.outputBuffer;
        const frames = output.length;
        const at = show._glintSound(frames) >> 1;
        const pcm = show.HEAP16.subarray(at, at + frames * 2);
        const left = output.getChannelData(0);
        const right = output.getChannelData(1);
        for (let i = 0; i < frames; ++i) {
            left[i] = pcm[2 * i] / 32768;
            right[i] = pcm[2 * i + 1] / 32768;
        }
    };
    node.connect(audio.destination);
    return audio;
}

function makeClock(audio) {
    let stoppedFor = 0;
    let stoppedAt = audio.state === 'running' ? null : performance.now();
    audio.addEventListener('statechange', () => {
        const now = performance.now();
        if (audio.state === 'running' && stoppedAt !== null) {
            stoppedFor += now - stoppedAt;
            stoppedAt = null;
        } else if (audio.state !== 'running' && stoppedAt === null) {
            stoppedAt = now;
        }
    });
    return () => (stoppedAt ?? performance.now()) - stoppedFor;
}

async function playLive(show, threads) {
    const audio = openSound(show);
    const clock = makeClock(audio);
    addEventListener('keydown', (event) => {
        if (event.key === 'Escape') show._glintKey(kEscape);
    });
    const frame = () => {
        if (!show._glintFrame(clock())) {
            say('The show has ended.', 'Start again');
            return;
        }
        drawFrame(show);
        requestAnimationFrame(frame);
    };
    const start = async () => {
        await audio.resume();
        panel.hidden = true;
        if (show._glintStart(threads) < 0) {
            say('This browser cannot draw the show.', null);
            return;
        }
        requestAnimationFrame(frame);
    };
    startButton.addEventListener('click', start);
    window.glint = {
        threads,
        soundHash: (frames) => show.UTF8ToString(show._glintSoundHash(frames)),
    };
    // Browsers that let a page play sound at once start the show at once.
    if (audio.state === 'running') {
        start();
    } else {
        say('Sound and pictures, about four minutes.', 'Start');
    }
}

// The recorded show: window.glint drives it frame by frame for tests.
function playRecorded(show, threads) {
    const framesPerSecond = Number(params.get('fps')) || 60;
    const started = show._glintStartRecorded(framesPerSecond, threads);
    panel.hidden = true;
    const glint = {
        threads,
        started,
        advance: () => show._glintAdvance() === 1,
        sceneIndex: () => show._glintSceneIndex(),
        frameHash: () => show.UTF8ToString(show._glintFrameHash()),
        draw: () => drawFrame(show),
    };
    window.glint = glint;
    if (params.has('manual')) return;
    if (params.has('bench')) {
        window.glintBench = measureScenes(glint);
        return;
    }
    const frame = () => {
        if (!glint.advance()) return;
        glint.draw();
        requestAnimationFrame(frame);
    };
    requestAnimationFrame(frame);
}

// Frames per second of each scene, the median frame's, drawing as fast as it can.
async function measureScenes(glint) {
    const times = [];
    for (;;) {
        const scene = glint.sceneIndex();
        const before = performance.now();
        if (!glint.advance()) break;
        (times[scene] ??= []).push(performance.now() - before);
        // Let the page breathe now and then.
        if (times[scene].length % 64 === 0) await new Promise((resolve) => setTimeout(resolve));
    }
    return times.map((list) => {
        const sorted = [...list].sort((a, b) => a - b);
        return 1000 / sorted[sorted.length >> 1];
    });
}

async function main() {
    listenForFullscreen();
    try {
        const {show, threads} = await loadShow();
        if (params.has('deterministic')) {
            playRecorded(show, threads);
        } else {
            await playLive(show, threads);
        }
    } catch (error) {
        say(`The show cannot run here: ${error.message ?? error}`, null);
    }
}

main();
