// Renders a song to a WAV file in a worker, so the page stays responsive: takes {wasm,
// data, options}, posts {progress, seconds, duration} about every chunk, then {wav} (an
// ArrayBuffer) or {error}.
import {failure, instantiateCore} from './vorn3-core.mjs';

const kWavHeaderBytes = 44;
const kPcm = 1;
const kIeeeFloat = 3;

function wavHeader(rate, float, dataBytes) {
    const header = new DataView(new ArrayBuffer(kWavHeaderBytes));
    const tag = (at, text) => [...text].forEach((c, i) => header.setUint8(at + i, c.charCodeAt(0)));
    const bytesPerValue = float ? 4 : 2;
    tag(0, 'RIFF');
    header.setUint32(4, kWavHeaderBytes - 8 + dataBytes, true);
    tag(8, 'WAVE');
    tag(12, 'fmt ');
    header.setUint32(16, 16, true);
    header.setUint16(20, float ? kIeeeFloat : kPcm, true);
    header.setUint16(22, 2, true);
    header.setUint32(24, rate, true);
    header.setUint32(28, rate * 2 * bytesPerValue, true);
    header.setUint16(32, 2 * bytesPerValue, true);
    header.setUint16(34, 8 * bytesPerValue, true);
    tag(36, 'data');
    header.setUint32(40, dataBytes, true);
    return header.buffer;
}

function render({wasm, data, options}) {
    const {rate, loops = 1, subsong = 0, separation, gain, interpolation, float = false} = options;
    if (!(loops >= 1)) throw new Error('a file needs a count of loops from 1');
    const tune = instantiateCore(wasm).load(data, rate);
    tune.selectSubsong(subsong);
    tune.setPasses(loops);
    if (separation !== undefined) tune.setStereoSeparation(separation);
    if (gain !== undefined) tune.setGain(gain);
    if (interpolation !== undefined) tune.setInterpolation(interpolation);
    const duration = tune.duration() * loops;
    const chunkFrames = Math.round(rate * options.chunkSeconds);
    const chunks = [];
    let bytes = 0;
    for (;;) {
        const sound = float ? tune.renderFloat(chunkFrames) : tune.renderS16(chunkFrames);
        if (sound.length === 0) break;
        chunks.push(sound.slice().buffer);
        bytes += sound.byteLength;
        postMessage({progress: true, seconds: tune.state().seconds, duration});
    }
    const wav = new Uint8Array(kWavHeaderBytes + bytes);
    wav.set(new Uint8Array(wavHeader(rate, float, bytes)));
    let at = kWavHeaderBytes;
    for (const chunk of chunks) {
        wav.set(new Uint8Array(chunk), at);
        at += chunk.byteLength;
    }
    return wav.buffer;
}

onmessage = ({data: job}) => {
    try {
        const wav = render(job);
        postMessage({wav}, [wav]);
    } catch (error) {
        postMessage({error: failure(error).message});
    }
};
