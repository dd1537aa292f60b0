// Vorn3 in a web page. The C header <vorn3/vorn3_c.h> states what each operation does; this
// states its shape. Every promise rejects with a Vorn3Error carrying the library's message.

export class Vorn3Error extends Error {
    name: 'Vorn3Error';
}

export type Interpolation = 'nearest'|'linear'|'cubic'|'sinc';
/** The modes in order of cost; 'linear' is the default. */
export const interpolations: readonly Interpolation[];

export interface Subsong {
    firstOrder: number;
    /** of one pass */
    seconds: number;
}

export interface ModuleInfo {
    title: string;
    /** the program that wrote the file; '' when unknown */
    tracker: string;
    /** 'XM 1.04', 'MOD M.K.', 'MOD 15 samples', 'S3M', 'IT 2.14' */
    format: string;
    /** lines ended by '\n'; '' when the module has none */
    message: string;
    channels: number;
    orders: number;
    patterns: number;
    instruments: string[];
    samples: string[];
    /** at least one */
    subsongs: Subsong[];
    linearFrequencies: boolean;
    /** initial ticks per row */
    speed: number;
    /** initial beats per minute */
    bpm: number;
    /** seconds of one pass of the first subsong */
    duration: number;
    /** why part of a file that loaded plays short; '' normally */
    warning: string;
}

export interface ChannelState {
    /** 1..120 (1 is C-0) of the note sounding; 0: none */
    note: number;
    /** 1-based; 0: none */
    instrument: number;
    /** 0..64 */
    volume: number;
    /** peak of the last 20 ms, 1 full scale */
    level: number;
}

export interface PlaybackState {
    playing: boolean;
    subsong: number;
    order: number;
    pattern: number;
    row: number;
    /** ticks per row */
    speed: number;
    bpm: number;
    /** of the next frame played, from the start of the subsong */
    seconds: number;
    channels: ChannelState[];
}

export interface ProbeResult {
    verdict: 'not a module'|'loads'|'cut short'|'need more';
    /** 'XM', 'MOD', 'S3M', 'IT'; '' when none shows */
    format: string;
}

/** A module loaded on the calling thread, to inspect or to render there. */
export interface Tune {
    /** why part of the file plays short; '' normally */
    readonly warning: string;
    info(): ModuleInfo;
    duration(): number;
    /**
     * The next frames, interleaved stereo, full scale ±1: a view valid until the next call;
     * shorter at the end of the last pass.
     */
    renderFloat(frames: number): Float32Array;
    renderS16(frames: number): Int16Array;
    /** 0 plays forever */
    setPasses(passes: number): void;
    selectSubsong(index: number): void;
    seekTime(seconds: number): void;
    seekPosition(order: number, row: number): void;
    patternRows(pattern: number): number;
    /** 'C-5 01 v64 A0F'; '' outside the pattern */
    cellText(pattern: number, row: number, channel: number): string;
    muteChannel(channel: number, muted: boolean): void;
    /** 0..100 percent of the module's panning */
    setStereoSeparation(percent: number): void;
    /** -96..24 */
    setGain(decibels: number): void;
    setInterpolation(mode: Interpolation): void;
    /** Releases the tune; it may not be used after. */
    free(): void;
}

/**
 * Plays one module at a time through an AudioWorkletNode, rendering on the audio thread.
 * Events: 'state' (a CustomEvent whose detail is the new state: 30 times a second while
 * playing and after every command), 'ended' (the last pass played out) and 'error' (a
 * CustomEvent whose detail is the Vorn3Error that stopped rendering; the player is then
 * empty).
 */
export class Player extends EventTarget {
    readonly node: AudioWorkletNode;
    /** of the module loaded; null before */
    readonly info: ModuleInfo|null;
    /** as of the last state event; null before a module loads */
    readonly state: PlaybackState|null;
    /**
     * Loads a module in place of the one before, paused at its start; a file that fails
     * leaves the one before as it was.
     */
    load(data: ArrayBuffer|Uint8Array, options?: {loops?: number}): Promise<ModuleInfo>;
    /** Plays from where it is; played to its end, from the start. */
    play(): Promise<void>;
    pause(): Promise<void>;
    resume(): Promise<void>;
    /** Pauses and goes back to the start. */
    stop(): Promise<void>;
    seek(seconds: number): Promise<void>;
    seekPosition(order: number, row?: number): Promise<void>;
    /** passes before the end; 0 plays forever */
    setLoops(loops: number): Promise<void>;
    selectSubsong(index: number): Promise<void>;
    setStereoSeparation(percent: number): Promise<void>;
    setGain(decibels: number): Promise<void>;
    setInterpolation(mode: Interpolation): Promise<void>;
    muteChannel(channel: number, muted: boolean): Promise<void>;
    /** Frees the module and takes the node out of the graph. */
    close(): Promise<void>;
}

export interface RenderOptions {
    /** Hz, 8000..384000; 48000 unless given */
    rate?: number;
    /** passes, from 1 */
    loops?: number;
    subsong?: number;
    separation?: number;
    gain?: number;
    interpolation?: Interpolation;
    /** 32-bit float samples instead of 16-bit */
    float?: boolean;
}

/** The library's version, as '0.2.0'. */
export function version(): Promise<string>;
/**
 * Whether and as what bytes would load, from the first of them and the file's whole size
 * (-1 when not known).
 */
export function probe(data: ArrayBuffer|Uint8Array, fileSize?: number): Promise<ProbeResult>;
/** A module loaded on this thread, rendered at rate Hz (48000 unless given). */
export function openTune(data: ArrayBuffer|Uint8Array, options?: {rate?: number}): Promise<Tune>;
/** A player whose node is connected to destination (the context's unless given). */
export function createPlayer(
    context: BaseAudioContext, options?: {destination?: AudioNode}): Promise<Player>;
/** The song as a WAV file, rendered in a worker; onProgress(seconds, duration) as it goes. */
export function renderWav(
    data: ArrayBuffer|Uint8Array, options?: RenderOptions,
    onProgress?: (seconds: number, duration: number) => void): Promise<Blob>;
