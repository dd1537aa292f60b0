// The module player page: a playlist of opened or dropped files played one after another
// by one Vorn3 player, with the song's texts, its position, its channels' levels and the
// pattern around the row playing. window.vorn3Page lets tests reach the player.
import {createPlayer, interpolations, openTune, renderWav} from './vorn3.mjs';

const kSeekSeconds = 5;
const kPatternRowsAround = 8;
const kMeterFall = 0.85;    // of the level shown, per state
const kMeterDecibels = 48;  // from silence to full scale
const kWavRate = 44100;

const $ = (id) => document.getElementById(id);
const page = {
    context: null,
    player: null,
    soundAllowed: false,
    entries: [],  // {name, file, bad}
    current: -1,
    bytes: null,
    tune: null,  // on this thread, for the pattern view
    info: null,
    duration: 0,  // of the subsong playing
    shown: [],    // meter levels as drawn
    patternShown: -1,
    drawing: false,
    rowHeight: 0,
    seeking: false,
};
window.vorn3Page = page;

function clock(seconds) {
    const whole = Math.max(0, Math.floor(seconds));
    return `${Math.floor(whole / 60)}:${String(whole % 60).padStart(2, '0')}`;
}

function say(text, bad = false) {
    $('status').textContent = text;
    $('status').classList.toggle('error', bad);
}

function fillList(list, names) {
    list.replaceChildren(...names.map((name) => {
        const item = document.createElement('li');
        item.textContent = name;
        return item;
    }));
}

function showPlaylist() {
    $('playlist').replaceChildren(...page.entries.map((entry, index) => {
        const item = document.createElement('li');
        item.textContent = entry.name;
        item.title = entry.bad ?? '';
        item.classList.toggle('playing', index === page.current);
        item.classList.toggle('bad', entry.bad !== undefined);
        item.onclick = () => playEntry(index);
        return item;
    }));
}

async function ensurePlayer() {
    if (page.player) return page.player;
    page.context = new AudioContext();
    // Once a context has run, the browser lets it run again without a gesture.
    page.soundAllowed = page.context.state === 'running';
    page.context.onstatechange = () => {
        page.soundAllowed ||= page.context.state === 'running';
        drawSoon();
    };
    page.player = await createPlayer(page.context);
    page.player.addEventListener('state', drawSoon);
    page.player.addEventListener('ended', () => {
        if (page.current + 1 < page.entries.length)
            playEntry(page.current + 1);
        else
            page.context.suspend();
    });
    page.player.addEventListener('error', ({detail}) => skipBadEntry(page.current, detail.message));
    return page.player;
}

function showSong(info) {
    $('title').textContent = info.title || page.entries[page.current].name;
    $('format').textContent = [
        info.format, info.tracker, `${info.channels} channels`,
        `${info.instruments.length} instruments`, `${info.samples.length} samples`
    ].filter(Boolean).join(' · ');
    $('message').textContent = info.message;
    $('message-box').open = info.message !== '';
    fillList($('instruments'), info.instruments);
    fillList($('samples'), info.samples);
    $('subsong').replaceChildren(...info.subsongs.map((subsong, index) => {
        const option = new Option(
            `${index + 1}: order ${subsong.firstOrder}, ${clock(subsong.seconds)}`, index);
        return option;
    }));
    $('subsong').disabled = info.subsongs.length < 2;
    $('meters').width = $('meters').clientWidth;
    page.shown = new Array(info.channels).fill(0);
    page.patternShown = -1;
    for (const id of ['play', 'stop', 'seek', 'save'])
        $(id).disabled = false;
    setDuration(info.subsongs[0].seconds);
}

function setDuration(seconds) {
    $('seek').max = seconds;
    page.duration = seconds;
}

// Plays the playlist's entry at index; a file that does not load is marked and skipped.
async function playEntry(index) {
    if (index < 0 || index >= page.entries.length) return;
    page.current = index;
    const entry = page.entries[index];
    showPlaylist();
    const player = await ensurePlayer();
    try {
        const bytes = new Uint8Array(await entry.file.arrayBuffer());
        const info = await player.load(bytes, {loops: $('loop').checked ? 0 : 1});
        page.tune?.free();
        page.tune = await openTune(bytes);
        page.bytes = bytes;
        page.info = info;
        showSong(info);
        await player.setInterpolation($('interpolation').value);
        await player.play();
        // Without a click or a key first, a browser may hold the sound back.
        page.context.resume();
        if (!page.soundAllowed)
            say(`${entry.name}: press Play or space for sound`);
        else
            say(info.warning ? `${entry.name}: ${info.warning}` : `Playing ${entry.name}`);
    } catch (error) {
        await player.pause().catch(() => {});
        await skipBadEntry(index, error.message);
    }
}

// Marks the entry at index with why it failed and, unless another was chosen meanwhile,
// goes on to the next.
async function skipBadEntry(index, message) {
    const entry = page.entries[index];
    entry.bad = message;
    showPlaylist();
    say(`${entry.name}: ${message}`, true);
    if (index === page.current) await playEntry(index + 1);
}

function addFiles(files) {
    const first = page.entries.length;
    for (const file of files)
        page.entries.push({name: file.name, file});
    showPlaylist();
    const idle = !page.player?.state?.playing;
    if (files.length > 0 && idle) playEntry(first);
}

// The pattern playing as trackers lay it out, written once and moved so that the row
// playing sits on the bar: moving a layer costs the browser far less than new text.
function drawPattern(state) {
    if (!page.tune) return;
    const rows = $('pattern-rows');
    if (page.patternShown !== state.pattern) {
        page.patternShown = state.pattern;
        const lines = [];
        for (let row = 0; row < page.tune.patternRows(state.pattern); ++row) {
            const cells = [];
            for (let channel = 0; channel < page.info.channels; ++channel)
                cells.push(page.tune.cellText(state.pattern, row, channel));
            lines.push(`${String(row).padStart(3, ' ')} │ ${cells.join(' │ ')}`);
        }
        rows.textContent = lines.join('\n');
        page.rowHeight = parseFloat(getComputedStyle(rows).lineHeight);
    }
    rows.style.transform = `translateY(${(kPatternRowsAround - state.row) * page.rowHeight}px)`;
}

function drawMeters(state) {
    const canvas = $('meters');
    const g = canvas.getContext('2d');
    const width = canvas.width / Math.max(1, state.channels.length);
    g.clearRect(0, 0, canvas.width, canvas.height);
    g.fillStyle = '#6fc3ff';
    state.channels.forEach((channel, i) => {
        page.shown[i] = Math.max(channel.level, page.shown[i] * kMeterFall);
        const decibels = 20 * Math.log10(Math.min(1, page.shown[i]));
        const height = Math.max(0, 1 + decibels / kMeterDecibels) * canvas.height;
        g.fillRect(i * width + 1, canvas.height - height, width - 2, height);
    });
}

// Text and controls change only when what they show does: every change costs the page a
// layout and a paint.
function show(id, text) {
    if ($(id).textContent !== text) $(id).textContent = text;
}

function draw() {
    page.drawing = false;
    const state = page.player?.state;
    if (!state || !page.info) return;
    show('play', sounding() ? 'Pause' : 'Play');
    show(
        'position',
        `Order ${state.order}/${page.info.orders} · Pattern ${state.pattern}` +
            ` · Row ${state.row} · Speed ${state.speed} · BPM ${state.bpm}`);
    show('time', `${clock(state.seconds)} / ${clock(page.duration)}`);
    const second = Math.floor(state.seconds);
    if (!page.seeking && Number($('seek').value) !== second) $('seek').value = second;
    drawMeters(state);
    drawPattern(state);
}

function drawSoon() {
    if (!page.drawing) requestAnimationFrame(draw);
    page.drawing = true;
}

// Paused or stopped, the audio context is suspended: a running one costs the browser
// several percent of a core even in silence. Held back by the browser, a tune that plays
// is started rather than paused.
function togglePlay() {
    const player = page.player;
    if (!player?.state) return;
    if (sounding()) {
        player.pause();
        page.context.suspend();
    } else {
        page.context.resume();
        player.play();
    }
}

function stop() {
    page.player?.stop();
    page.context?.suspend();
}

function sounding() { return page.player.state.playing && page.context.state === 'running'; }

async function seekBy(seconds) {
    const state = page.player?.state;
    if (state) await page.player.seek(Math.max(0, state.seconds + seconds));
}

async function saveWav() {
    const entry = page.entries[page.current];
    $('saving').hidden = false;
    $('save').disabled = true;
    try {
        const wav = await renderWav(
            page.bytes, {rate: kWavRate, subsong: Number($('subsong').value) || 0},
            (seconds, duration) => {
                $('saving').max = duration;
                $('saving').value = seconds;
            });
        const link = document.createElement('a');
        link.href = URL.createObjectURL(wav);
        link.download = `${entry.name.replace(/\.[^.]*$/, '')}.wav`;
        link.click();
        setTimeout(() => URL.revokeObjectURL(link.href), 60000);
    } catch (error) {
        say(`${entry.name}: ${error.message}`, true);
    } finally {
        $('saving').hidden = true;
        $('save').disabled = false;
    }
}

function handleKey(event) {
    if (event.target.tagName === 'SELECT' || event.altKey || event.ctrlKey || event.metaKey) return;
    const actions = {
        ' ': togglePlay,
        ArrowLeft: () => seekBy(-kSeekSeconds),
        ArrowRight: () => seekBy(kSeekSeconds),
    };
    if (!actions[event.key]) return;
    event.preventDefault();
    actions[event.key]();
}

function listen() {
    $('files').onchange = (event) => addFiles([...event.target.files]);
    $('play').onclick = togglePlay;
    $('stop').onclick = stop;
    $('seek').oninput = () => (page.seeking = true);
    $('seek').onchange = async () => {
        await page.player?.seek(Number($('seek').value));
        page.seeking = false;
    };
    $('loop').onchange = () => page.player?.setLoops($('loop').checked ? 0 : 1);
    $('subsong').onchange = async () => {
        const index = Number($('subsong').value);
        await page.player.selectSubsong(index);
        setDuration(page.info.subsongs[index].seconds);
    };
    $('interpolation').replaceChildren(...interpolations.map((mode) => new Option(mode, mode)));
    $('interpolation').value = 'linear';
    $('interpolation').onchange = () => page.player?.setInterpolation($('interpolation').value);
    $('save').onclick = saveWav;
    document.addEventListener('keydown', handleKey);
    document.addEventListener('dragover', (event) => {
        event.preventDefault();
        document.body.classList.add('dropping');
    });
    document.addEventListener('dragleave', () => document.body.classList.remove('dropping'));
    document.addEventListener('drop', (event) => {
        event.preventDefault();
        document.body.classList.remove('dropping');
        addFiles([...event.dataTransfer.files]);
    });
}

listen();
