// The player inside the audio worklet: its own instance of the wasm renders on the audio
// thread, so nothing the page's thread does can stop the sound. The page sends commands
// ({id, command, ...}) and gets a reply to each ({id, value} or {id, error}), a state
// 30 times a second of sound while playing and after every change, 'ended', and {error}
// when rendering failed.
import {failure, instantiateCore} from './vorn3-core.mjs';

// As often as a page wants to draw: each state costs it a frame, which in a browser that
// composites in software costs more than all the mixing.
const kStateSeconds = 1 / 30;
// Commands after which playback is somewhere in the song again.
const kMoves = ['play', 'stop', 'seekTime', 'seekPosition', 'selectSubsong'];

class Vorn3Processor extends AudioWorkletProcessor {
    constructor(options) {
        super();
        this.wasm = options.processorOptions.wasm;
        this.core = instantiateCore(this.wasm);
        this.tune = null;
        this.playing = false;
        this.ended = false;
        this.closed = false;
        this.framesToState = 0;
        this.port.onmessage = (event) => this.receive(event.data);
    }

    receive(message) {
        try {
            const value = this.run(message);
            this.port.postMessage({id: message.id, value});
        } catch (error) {
            this.port.postMessage({id: message.id, error: this.recover(error)});
        }
        if (this.tune) this.postState();
    }

    // A trap leaves the instance's memory as it stood mid-call: a new one starts without
    // the tune.
    recover(error) {
        if (error instanceof WebAssembly.RuntimeError) {
            this.core = instantiateCore(this.wasm);
            this.tune = null;
            this.playing = false;
        }
        return failure(error).message;
    }

    run({command, ...arg}) {
        if (command === 'load') return this.load(arg);
        if (command === 'close') return this.close();
        if (!this.tune) throw new Error('no module is loaded');
        const tune = this.tune;
        // Played to its end, a tune plays again from its start.
        if (command === 'play' && this.ended) tune.seekTime(0);
        const commands = {
            play: () => (this.playing = true),
            pause: () => (this.playing = false),
            stop: () => {
                this.playing = false;
                tune.seekTime(0);
            },
            seekTime: () => tune.seekTime(arg.seconds),
            seekPosition: () => tune.seekPosition(arg.order, arg.row),
            setLoops: () => tune.setPasses(arg.loops),
            selectSubsong: () => tune.selectSubsong(arg.index),
            setStereoSeparation: () => tune.setStereoSeparation(arg.percent),
            setGain: () => tune.setGain(arg.decibels),
            setInterpolation: () => tune.setInterpolation(arg.mode),
            muteChannel: () => tune.muteChannel(arg.channel, arg.muted),
        };
        if (!commands[command]) throw new Error(`no command "${command}"`);
        commands[command]();
        if (kMoves.includes(command)) this.ended = false;
        return undefined;
    }

    load({data, loops}) {
        const tune = this.core.load(data, sampleRate);
        this.tune?.free();
        this.tune = tune;
        this.playing = false;
        this.ended = false;
        tune.setPasses(loops);
        this.channels = new Int32Array(3 * tune.readInfo().channels);
        this.levels = new Float32Array(this.channels.length / 3);
        return tune.info();
    }

    close() {
        this.tune?.free();
        this.tune = null;
        this.closed = true;
    }

    postState() {
        const state = this.tune.state(this.channels, this.levels);
        this.port.postMessage({
            state: {...state, playing: this.playing},
            channels: this.channels.slice(),
            levels: this.levels.slice(),
        });
    }

    process(inputs, outputs) {
        if (this.closed) return false;
        if (!this.playing) return true;
        const [left, right] = outputs[0];
        let sound;
        try {
            sound = this.tune.renderFloat(left.length);
        } catch (error) {
            this.port.postMessage({error: this.recover(error)});
            return true;
        }
        const frames = sound.length / 2;
        for (let i = 0; i < frames; ++i) {
            left[i] = sound[2 * i];
            right[i] = sound[2 * i + 1];
        }
        this.framesToState -= frames;
        if (frames < left.length) {
            this.playing = false;
            this.ended = true;
            this.postState();
            this.port.postMessage({ended: true});
        } else if (this.framesToState <= 0) {
            this.framesToState += Math.round(kStateSeconds * sampleRate);
            this.postState();
        }
        return true;
    }
}

registerProcessor('vorn3-player', Vorn3Processor);
