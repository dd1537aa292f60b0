// Vorn3 in a web page: XM, MOD, S3M and IT modules read, inspected, played through an
// AudioWorklet and rendered to WAV in a worker. vorn3.d.ts states the interface; the C
// header <vorn3/vorn3_c.h> states what each call does.
import {failure, instantiateCore, kInterpolations, Vorn3Error} from './vorn3-core.mjs';

export {Vorn3Error};
export const interpolations = kInterpolations;

const kDefaultRate = 48000;
const kRenderChunkSeconds = 1;

let compiled = null;
let mainCore = null;

// The wasm, compiled once for every tune, player and worker of the page.
function wasmModule() {
    compiled ??= fetch(new URL('./vorn3.wasm', import.meta.url))
                     .then((response) => {
                         if (!response.ok) throw new Vorn3Error(`vorn3.wasm: ${response.status}`);
                         return response.arrayBuffer();
                     })
                     .then((bytes) => WebAssembly.compile(bytes));
    return compiled;
}

// Runs use with this thread's instance; one that traps is left to the tunes it holds.
async function withCore(use) {
    mainCore ??= instantiateCore(await wasmModule());
    try {
        return use(mainCore);
    } catch (error) {
        if (error instanceof WebAssembly.RuntimeError) mainCore = null;
        throw failure(error);
    }
}

function bytesOf(data) {
    if (data instanceof Uint8Array) return data;
    if (data instanceof ArrayBuffer) return new Uint8Array(data);
    throw new TypeError('a module is an ArrayBuffer or a Uint8Array');
}

export async function version() { return (await core()).version(); }

// Whether and as what the bytes would load, without loading them.
export function probe(data, fileSize = -1) {
    return withCore((core) => core.probe(bytesOf(data), fileSize));
}

// A module loaded on the calling thread, to inspect or render there.
export function openTune(data, {rate = kDefaultRate} = {}) {
    return withCore((core) => core.load(bytesOf(data), rate));
}

const registered = new WeakMap();

function registerWorklet(context) {
    if (!registered.has(context))
        registered.set(
            context,
            context.audioWorklet.addModule(new URL('./vorn3-worklet.mjs', import.meta.url)));
    return registered.get(context);
}

// A state as the page reads it, from the worklet's message.
function stateOf({state, channels, levels}) {
    return {
        ...state,
        channels: Array.from(levels, (level, i) => ({
                                         note: channels[3 * i],
                                         instrument: channels[3 * i + 1],
                                         volume: channels[3 * i + 2],
                                         level,
                                     })),
    };
}

export class Player extends EventTarget {
    constructor(node) {
        super();
        this.node = node;
        this.info = null;
        this.state = null;
        this.replies = new Map();
        this.nextId = 1;
        node.port.onmessage = (event) => this.receive(event.data);
    }

    receive(message) {
        if (message.id !== undefined) {
            const reply = this.replies.get(message.id);
            this.replies.delete(message.id);
            if (message.error !== undefined)
                reply.reject(new Vorn3Error(message.error));
            else
                reply.resolve(message.value);
        } else if (message.state) {
            this.state = stateOf(message);
            this.dispatchEvent(new CustomEvent('state', {detail: this.state}));
        } else if (message.ended) {
            this.dispatchEvent(new Event('ended'));
        } else if (message.error) {
            this.dispatchEvent(new CustomEvent('error', {detail: new Vorn3Error(message.error)}));
        }
    }

    send(command, arg = {}) {
        const id = this.nextId++;
        return new Promise((resolve, reject) => {
            this.replies.set(id, {resolve, reject});
            this.node.port.postMessage({id, command, ...arg});
        });
    }

    // Loads a module in place of the one before, paused at its start.
    async load(data, {loops = 1} = {}) {
        this.info = await this.send('load', {data: bytesOf(data).slice(), loops});
        return this.info;
    }

    play() { return this.send('play'); }

    pause() { return this.send('pause'); }

    resume() { return this.send('play'); }

    // Pauses and goes back to the start.
    stop() { return this.send('stop'); }

    seek(seconds) { return this.send('seekTime', {seconds}); }

    seekPosition(order, row = 0) { return this.send('seekPosition', {order, row}); }

    setLoops(loops) { return this.send('setLoops', {loops}); }

    selectSubsong(index) { return this.send('selectSubsong', {index}); }

    setStereoSeparation(percent) { return this.send('setStereoSeparation', {percent}); }

    setGain(decibels) { return this.send('setGain', {decibels}); }

    setInterpolation(mode) { return this.send('setInterpolation', {mode}); }

    muteChannel(channel, muted) { return this.send('muteChannel', {channel, muted}); }

    // Frees the tune and takes the player out of the graph.
    async close() {
        await this.send('close');
        this.node.disconnect();
    }
}

// A player in the context's graph, playing into destination at the context's rate.
export async function createPlayer(context, {destination = context.destination} = {}) {
    const [wasm] = await Promise.all([wasmModule(), registerWorklet(context)]);
    const node = new AudioWorkletNode(context, 'vorn3-player', {
        numberOfInputs: 0,
        numberOfOutputs: 1,
        outputChannelCount: [2],
        processorOptions: {wasm},
    });
    node.connect(destination);
    return new Player(node);
}

// The song as a WAV file, rendered in a worker; onProgress(seconds, duration) as it goes.
export async function renderWav(data, options = {}, onProgress = () => {}) {
    const wasm = await wasmModule();
    const worker = new Worker(new URL('./vorn3-render.mjs', import.meta.url), {type: 'module'});
    return new Promise((resolve, reject) => {
        worker.onmessage = ({data: message}) => {
            if (message.progress) return onProgress(message.seconds, message.duration);
            worker.terminate();
            if (message.error)
                reject(new Vorn3Error(message.error));
            else
                resolve(new Blob([message.wav], {type: 'audio/wav'}));
        };
        worker.onerror = (event) => {
            worker.terminate();
            reject(new Vorn3Error(event.message));
        };
        worker.postMessage({
            wasm,
            data: bytesOf(data).slice(),
            options: {rate: kDefaultRate, chunkSeconds: kRenderChunkSeconds, ...options},
        });
    });
}
