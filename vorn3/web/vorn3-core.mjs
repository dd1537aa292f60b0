// One instance of Vorn3's wasm and the tunes in its memory, read through the records of
// <vorn3/vorn3_c.h>. It needs nothing a page, a worker or an audio worklet lacks (no fetch,
// no TextDecoder), so all three use it.

// Offsets into the C records; record_layout.c holds the header to them.
const kStatusBytes = 164;
const kStatusMessage = 4;
const kStatusMessageBytes = 160;
const kInfoNameBytes = 32;
const kInfoTracker = 32;
const kInfoFormat = 64;
// Then int32 each: channels, orders, patterns, instruments, samples, subsongs, linear
// frequencies, speed, bpm.
const kInfoNumbers = 96;
const kSubsongSeconds = 8;
const kStateBytes = 40;
const kStateSeconds = 24;
const kStateChannels = 32;
const kChannelStateBytes = 16;
const kCellTextBytes = 16;
const kProbeBytes = 12;
const kProbeFormat = 4;
const kScratchBytes = 256;

export const kInterpolations = ['nearest', 'linear', 'cubic', 'sinc'];
const kProbeVerdicts = ['not a module', 'loads', 'cut short', 'need more'];

// DOS trackers wrote their texts in code page 437; MOD files came from the Amiga, whose
// texts are Latin-1.
const kCodePage437 =
    'ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜ¢£¥₧ƒáíóúñÑªº¿⌐¬½¼¡«»░▒▓│┤╡╢╖╕╣║╗╝╜╛┐└┴┬├─┼╞╟╚╔╩╦╠═╬╧╨╤╥╙╘╒╓╫╪┘┌' +
    '█▄▌▐▀αßΓπΣσµτΦΘΩδ∞φε∩≡±≥≤⌠⌡÷≈°∙·√ⁿ²■\u00a0';

export class Vorn3Error extends Error {
    constructor(message) {
        super(message);
        this.name = 'Vorn3Error';
    }
}

// The error to report for one a call threw: a trap becomes the library's failure.
export function failure(error) {
    return error instanceof WebAssembly.RuntimeError ?
        new Vorn3Error(`the library failed (${error.message})`) :
        error;
}

// A new instance of the compiled wasm (a WebAssembly.Module), with its own memory. The
// library asks its host only for the time (which playback never reads) and says when
// memory grew.
export function instantiateCore(wasmModule) {
    let core = null;
    const imports = {
        env: {emscripten_notify_memory_growth() {}},
        wasi_snapshot_preview1: {
            proc_exit(code) { throw new Vorn3Error(`the library stopped (exit ${code})`); },
            clock_time_get(id, precision, out) {
                core.view().setBigUint64(out, BigInt(Date.now()) * 1000000n, true);
                return 0;
            },
        },
    };
    core = new Core(new WebAssembly.Instance(wasmModule, imports).exports);
    return core;
}

class Core {
    constructor(exports) {
        this.c = exports;
        this.c._initialize();
        this.scratch = this.c.malloc(kScratchBytes);
    }

    view() { return new DataView(this.c.memory.buffer); }

    bytes() { return new Uint8Array(this.c.memory.buffer); }

    text(address, most = Infinity, latin1 = false) {
        const bytes = this.bytes();
        let text = '';
        for (let i = address; i < address + most && bytes[i] !== 0; ++i)
            text += bytes[i] < 0x80 || latin1 ? String.fromCharCode(bytes[i]) :
                                                kCodePage437[bytes[i] - 0x80];
        return text;
    }

    version() { return this.text(this.c.vorn3_version_text()); }

    // The status record at the scratch area: thrown when it failed, else its warning.
    checked() {
        const message = this.text(this.scratch + kStatusMessage, kStatusMessageBytes);
        if (this.view().getInt32(this.scratch, true) === 0) throw new Vorn3Error(message);
        return message;
    }

    // Copies the bytes into the instance's memory for as long as the callback runs.
    withBytes(data, use) {
        const bytes = data instanceof Uint8Array ? data : new Uint8Array(data);
        const address = this.c.malloc(Math.max(bytes.length, 1));
        if (address === 0) throw new Vorn3Error('out of memory for the file');
        try {
            this.bytes().set(bytes, address);
            return use(address, bytes.length);
        } finally {
            this.c.free(address);
        }
    }

    probe(data, fileSize = -1) {
        return this.withBytes(data, (address, size) => {
            this.c.vorn3_probe(this.scratch, address, size, BigInt(fileSize));
            return {
                verdict: kProbeVerdicts[this.view().getInt32(this.scratch, true)],
                format: this.text(this.scratch + kProbeFormat, kProbeBytes - kProbeFormat),
            };
        });
    }

    // A tune rendered at rate Hz; throws a Vorn3Error with the library's message.
    load(data, rate) {
        return this.withBytes(data, (address, size) => {
            const handle = this.scratch + kStatusBytes;
            this.c.vorn3_load(this.scratch, address, size, rate, handle);
            const warning = this.checked();
            return new Tune(this, this.view().getUint32(handle, true), warning);
        });
    }
}

// A loaded module. Its methods are the C interface's, named as the package names them.
export class Tune {
    constructor(core, handle, warning) {
        this.core = core;
        this.handle = handle;
        this.warning = warning;
        this.renderAddress = 0;
        this.renderFrames = 0;
        this.view = null;
        const info = this.readInfo();
        this.latin1 = info.format.startsWith('MOD');
        this.stateAddress = core.c.malloc(kStateBytes + kChannelStateBytes * info.channels);
    }

    readInfo() {
        const {c, scratch} = this.core;
        c.vorn3_get_info(scratch, this.handle);
        const view = this.core.view();
        const number = (index) => view.getInt32(scratch + kInfoNumbers + 4 * index, true);
        const name = (at) => this.core.text(scratch + at, kInfoNameBytes, this.latin1);
        return {
            title: name(0),
            tracker: name(kInfoTracker),
            format: name(kInfoFormat),
            channels: number(0),
            orders: number(1),
            patterns: number(2),
            instrumentCount: number(3),
            sampleCount: number(4),
            subsongCount: number(5),
            linearFrequencies: number(6) !== 0,
            speed: number(7),
            bpm: number(8),
        };
    }

    // What the module holds, as a plain object that survives postMessage.
    info() {
        const {c} = this.core;
        const counts = this.readInfo();
        const text = (address) => this.core.text(address, Infinity, this.latin1);
        const list = (count, nameAt) =>
            Array.from({length: count}, (_, i) => text(nameAt(this.handle, i)));
        return {
            title: counts.title,
            tracker: counts.tracker,
            format: counts.format,
            message: text(c.vorn3_message(this.handle)),
            channels: counts.channels,
            orders: counts.orders,
            patterns: counts.patterns,
            instruments: list(counts.instrumentCount, c.vorn3_instrument_name),
            samples: list(counts.sampleCount, c.vorn3_sample_name),
            subsongs: Array.from({length: counts.subsongCount}, (_, i) => this.subsong(i)),
            linearFrequencies: counts.linearFrequencies,
            speed: counts.speed,
            bpm: counts.bpm,
            duration: this.duration(),
            warning: this.warning,
        };
    }

    subsong(index) {
        const {c, scratch} = this.core;
        c.vorn3_get_subsong(scratch, this.handle, index);
        const view = this.core.view();
        return {
            firstOrder: view.getInt32(scratch, true),
            seconds: view.getFloat64(scratch + kSubsongSeconds, true),
        };
    }

    duration() { return this.core.c.vorn3_duration(this.handle); }

    // The next frames as interleaved stereo (a view into the instance's memory, valid until
    // the next call), shorter at the end of the last pass.
    renderFloat(frames) {
        return this.render(frames, Float32Array, this.core.c.vorn3_render_float);
    }

    renderS16(frames) { return this.render(frames, Int16Array, this.core.c.vorn3_render_s16); }

    render(frames, Type, renderInto) {
        const {c} = this.core;
        // Room for floats serves 16-bit frames too.
        if (frames > this.renderFrames) {
            c.free(this.renderAddress);
            this.renderAddress = c.malloc(frames * 2 * 4);
            this.renderFrames = this.renderAddress === 0 ? 0 : frames;
            if (this.renderAddress === 0) throw new Vorn3Error('out of memory for the sound');
        }
        const values = 2 * renderInto(this.handle, this.renderAddress, frames);
        // The same view call after call: an audio thread that allocates collects garbage.
        const view = this.view;
        if (view?.constructor !== Type || view.buffer !== c.memory.buffer ||
            view.byteOffset !== this.renderAddress || view.length !== values)
            this.view = new Type(c.memory.buffer, this.renderAddress, values);
        return this.view;
    }

    setPasses(passes) { this.core.c.vorn3_set_passes(this.handle, passes); }

    // Calls a function of the tune that returns a status; throws when it failed.
    checkedCall(call, ...args) {
        call(this.core.scratch, this.handle, ...args);
        this.core.checked();
    }

    selectSubsong(index) { this.checkedCall(this.core.c.vorn3_select_subsong, index); }

    seekTime(seconds) { this.checkedCall(this.core.c.vorn3_seek_time, seconds); }

    seekPosition(order, row) { this.checkedCall(this.core.c.vorn3_seek_position, order, row); }

    // Where playback is, and each channel's note, instrument, volume and level, into
    // `channels` (an Int32Array of 3 per channel) and `levels` (a Float32Array, one per
    // channel) when given.
    state(channels, levels) {
        const {c} = this.core;
        const count = levels ? levels.length : 0;
        c.vorn3_get_state(this.stateAddress, this.handle, this.stateAddress + kStateBytes, count);
        const view = this.core.view();
        const at = (index) => view.getInt32(this.stateAddress + 4 * index, true);
        for (let i = 0; i < count; ++i) {
            const channel = this.stateAddress + kStateBytes + kChannelStateBytes * i;
            channels[3 * i] = view.getInt32(channel, true);
            channels[3 * i + 1] = view.getInt32(channel + 4, true);
            channels[3 * i + 2] = view.getInt32(channel + 8, true);
            levels[i] = view.getFloat32(channel + 12, true);
        }
        return {
            subsong: at(0),
            order: at(1),
            pattern: at(2),
            row: at(3),
            speed: at(4),
            bpm: at(5),
            seconds: view.getFloat64(this.stateAddress + kStateSeconds, true),
            channels: view.getInt32(this.stateAddress + kStateChannels, true),
        };
    }

    patternRows(pattern) { return this.core.c.vorn3_pattern_rows(this.handle, pattern); }

    // A cell as trackers show it, "C-5 01 v64 A0F".
    cellText(pattern, row, channel) {
        const {c, scratch} = this.core;
        c.vorn3_cell_text(this.handle, pattern, row, channel, scratch, kCellTextBytes);
        return this.core.text(scratch, kCellTextBytes);
    }

    muteChannel(channel, muted) {
        this.core.c.vorn3_mute_channel(this.handle, channel, muted ? 1 : 0);
    }

    setStereoSeparation(percent) { this.core.c.vorn3_set_stereo_separation(this.handle, percent); }

    setGain(decibels) { this.core.c.vorn3_set_gain(this.handle, decibels); }

    setInterpolation(mode) {
        const index = kInterpolations.indexOf(mode);
        if (index < 0) throw new Vorn3Error(`no interpolation "${mode}"`);
        this.checkedCall(this.core.c.vorn3_set_interpolation, index);
    }

    free() {
        const {c} = this.core;
        c.vorn3_free(this.handle);
        c.free(this.renderAddress);
        c.free(this.stateAddress);
        this.handle = 0;
    }
}
