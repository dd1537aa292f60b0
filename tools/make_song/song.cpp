#include "tools/make_song/song.h"

#include <array>
#include <string_view>

#include "tools/make_song/instruments.h"

namespace glint::song {
namespace {

constexpr std::uint16_t kChannels = 12;
constexpr std::uint16_t kRows = 64;
constexpr int kBarRows = 16;
constexpr int kBars = kRows / kBarRows;
constexpr std::uint16_t kSpeed = 7;
constexpr std::uint16_t kBpm = 135;
constexpr int kTailRows = 5;  // one pass of the order list then lasts about 166 s

enum Channel : int {
    kickChannel,
    snareChannel,
    hatChannel,
    bassChannel,
    leadChannel,
    echoChannel,
    padChannel,  // three: one per chord note
    arpChannel = padChannel + 3,
    fxChannel,
    percChannel,
};

// Effect numbers as stored.
enum Effect : std::uint8_t {
    arpeggio = 0x0,
    portamentoUp = 0x1,
    portamentoDown = 0x2,
    tonePortamento = 0x3,
    vibrato = 0x4,
    portamentoVolumeSlide = 0x5,
    vibratoVolumeSlide = 0x6,
    setPanning = 0x8,
    sampleOffset = 0x9,
    volumeSlide = 0xA,
    setVolume = 0xC,
    patternBreak = 0xD,
    extended = 0xE,
    setSpeed = 0xF,
    keyOffEffect = 20,
    envelopePosition = 21,
    panningSlide = 25,
    multiRetrigger = 27,
    tremor = 29,
    extraFinePortamento = 33,
};

// Extended effects: the command in the high nibble of the parameter.
enum Extended : std::uint8_t {
    finePortamentoUp = 0x10,
    finePortamentoDown = 0x20,
    extendedPanning = 0x80,
    retrigger = 0x90,
    fineVolumeUp = 0xA0,
    fineVolumeDown = 0xB0,
    noteCut = 0xC0,
    noteDelay = 0xD0,
};

// Volume-column commands: the command in the high nibble.
enum Column : std::uint8_t {
    slideDown = 0x60,
    slideUp = 0x70,
    fineDown = 0x80,
    fineUp = 0x90,
    vibratoSpeed = 0xA0,
    vibratoDepth = 0xB0,
    panning = 0xC0,
    panLeft = 0xD0,
    panRight = 0xE0,
    glide = 0xF0,
};

std::uint8_t volume(int level) {
    return static_cast<std::uint8_t>(0x10 + level);
}

// Notes as stored: 1 is C-0.
std::uint8_t pitch(int octave, int semitone) {
    return static_cast<std::uint8_t>(12 * octave + semitone + 1);
}

constexpr std::uint8_t kC4 = 49;  // drums sound at their own pitch on C-4

struct Chord {
    int root;  // semitones above C
    bool minor;
    // index counts chord tones upwards from the root: 0 root, 1 third, 2 fifth, 3 root + 12 …
    int tone(int index) const {
        const int third = minor ? 3 : 4;
        const int step = index % 3;
        return root + (step == 0 ? 0 : step == 1 ? third : 7) + 12 * (index / 3);
    }
};

constexpr Chord kAm{9, true};
constexpr Chord kF{5, false};
constexpr Chord kC{0, false};
constexpr Chord kG{7, false};
constexpr Chord kEm{4, true};
constexpr Chord kDm{2, true};
constexpr Chord kE{4, false};

using Bars = std::array<Chord, kBars>;

constexpr Bars kHome{kAm, kF, kC, kG};
constexpr Bars kHomeTurn{kAm, kF, kG, kG};
constexpr Bars kCube{kF, kG, kEm, kAm};
constexpr Bars kCubeTurn{kDm, kF, kG, kE};
constexpr Bars kTunnel{kAm, kAm, kF, kG};
constexpr Bars kGreetings{kC, kG, kAm, kF};
constexpr Bars kGreetingsTurn{kC, kG, kF, kE};

struct Score {
    xm::Pattern pattern;
    Score() { pattern.cells.resize(std::size_t{kRows} * kChannels); }
    xm::Cell& at(int row, int channel) {
        return pattern
            .cells[static_cast<std::size_t>(row) * kChannels + static_cast<std::size_t>(channel)];
    }
    void put(int row, int channel, xm::Cell cell) { at(row, channel) = cell; }
    void effect(int row, int channel, std::uint8_t number, std::uint8_t parameter) {
        at(row, channel).effect = number;
        at(row, channel).parameter = parameter;
    }
};

int barRow(int bar) {
    return bar * kBarRows;
}

// Pitch of a chord tone near the middle of the keyboard, in the octave given.
std::uint8_t chordPitch(const Chord& chord, int index, int octave) {
    const int semitones = chord.tone(index);
    return pitch(octave + semitones / 12, semitones % 12);
}

// The lowest octave that keeps a bass root between E and D#.
std::uint8_t bassPitch(const Chord& chord, int octave, int above = 0) {
    const int semitones = chord.root + above;
    return pitch(octave - (chord.root >= 4 ? 1 : 0) + semitones / 12, semitones % 12);
}

// ---- Melodies: "row:note" tokens, "off" a key off, "~" glides, "^" glides and fades.

struct Event {
    int row;
    std::uint8_t note;  // xm::kKeyOff for a key off
    char how;           // ' ', '~' or '^'
};

std::uint8_t parseNote(std::string_view text) {
    constexpr std::string_view kNames = "C-C#D-D#E-F-F#G-G#A-A#B-";
    const std::size_t at = kNames.find(text.substr(0, 2));
    return pitch(text[2] - '0', static_cast<int>(at / 2));
}

std::vector<Event> parse(std::string_view text) {
    std::vector<Event> events;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find(' '), text.size());
        const std::string_view token = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (token.empty()) continue;
        const std::size_t colon = token.find(':');
        int row = 0;
        for (const char digit : token.substr(0, colon))
            row = row * 10 + (digit - '0');
        const std::string_view rest = token.substr(colon + 1);
        if (rest == "off") {
            events.push_back({row, xm::kKeyOff, ' '});
        } else {
            events.push_back({row, parseNote(rest), rest.size() > 3 ? rest[3] : ' '});
        }
    }
    return events;
}

enum class Vibrato : std::uint8_t { effect, column };

constexpr std::uint8_t kGlideSpeed = 0x30;
constexpr std::uint8_t kVibrato = 0x36;   // speed 3, depth 6
constexpr std::uint8_t kTailFade = 0x03;  // vibrato on, volume down 3 a tick
constexpr int kVibratoDelay = 2;          // rows a held note sounds plain first
constexpr int kLongNote = 6;              // rows

void melody(Score& score, int channel, Instrument instrument, std::string_view text, int level,
            Vibrato style) {
    const std::vector<Event> events = parse(text);
    for (std::size_t i = 0; i < events.size(); ++i) {
        const Event& event = events[i];
        const int next = i + 1 < events.size() ? events[i + 1].row : kRows;
        if (event.note == xm::kKeyOff) {
            score.put(event.row, channel, {xm::kKeyOff});
            continue;
        }
        if (event.how == '~') {
            score.put(event.row, channel, {event.note, 0, 0, tonePortamento, kGlideSpeed});
        } else if (event.how == '^') {
            score.put(event.row, channel, {event.note, 0, 0, portamentoVolumeSlide, 0x01});
        } else {
            score.put(event.row, channel, {event.note, instrument, volume(level)});
        }
        if (next - event.row >= kLongNote) {
            for (int row = event.row + kVibratoDelay; row < next; ++row) {
                if (style == Vibrato::effect) {
                    score.effect(row, channel, vibrato, kVibrato);
                } else {
                    score.at(row, channel).volume =
                        row == event.row + kVibratoDelay ? vibratoSpeed | 4 : vibratoDepth | 5;
                }
            }
        }
        const bool endsPhrase = i + 1 < events.size() && events[i + 1].note == xm::kKeyOff;
        if (endsPhrase && next - event.row >= 4) {
            score.effect(next - 1, channel, vibratoVolumeSlide, kTailFade);
        }
    }
}

// The lead again, some rows later, quieter and to one side.
void echo(Score& score, Instrument instrument, std::string_view text, int delay, int level,
          bool detuned) {
    for (const Event& event : parse(text)) {
        const int row = event.row + delay;
        if (row >= kRows) continue;
        if (event.note == xm::kKeyOff) {
            score.put(row, echoChannel, {xm::kKeyOff});
        } else if (detuned) {
            score.put(row, echoChannel,
                      {event.note, instrument, panning | 0xC, extraFinePortamento, 0x23});
        } else {
            score.put(row, echoChannel, {event.note, instrument, volume(level), setPanning, 0xC8});
        }
    }
}

// ---- Harmony.

void padChord(Score& score, int row, const Chord& chord, Instrument instrument, int level,
              bool atOnce) {
    for (int voice = 0; voice < 3; ++voice) {
        const int tone = chord.tone(voice) % 12;
        xm::Cell cell{pitch(tone > 7 ? 3 : 4, tone), instrument, volume(level)};
        // Straight into the envelope's swell, so the chord is there on the downbeat.
        if (atOnce) cell = {cell.note, cell.instrument, cell.volume, envelopePosition, 20};
        score.put(row, padChannel + voice, cell);
    }
}

void pads(Score& score, const Bars& bars, Instrument instrument, int level, int fromBar = 0,
          int toBar = kBars, bool atOnce = false) {
    for (int bar = fromBar; bar < toBar; ++bar) {
        padChord(score, barRow(bar), bars[bar], instrument, level, atOnce);
    }
}

void padsOff(Score& score, int row) {
    for (int voice = 0; voice < 3; ++voice)
        score.put(row, padChannel + voice, {xm::kKeyOff});
}

void padsFade(Score& score, int row, std::uint8_t speed) {
    for (int voice = 0; voice < 3; ++voice)
        score.effect(row, padChannel + voice, volumeSlide, speed);
}

// A gate on the held chord: four ticks on, three off, once a row.
void gatedPads(Score& score, const Bars& bars, Instrument instrument, int level) {
    pads(score, bars, instrument, level);
    for (int row = 0; row < kRows; ++row) {
        for (int voice = 0; voice < 3; ++voice)
            score.effect(row, padChannel + voice, tremor, 0x32);
    }
}

// The show sees a row a little after it is heard (its lag in rows is longer than the
// output's latency), so the hits of a flash sound these ticks into their row: heard
// with the flash rather than about 90 ms before it.
constexpr std::uint8_t kHitDelayTicks = 5;

// A note held back by the hit delay.
xm::Cell hit(std::uint8_t note, std::uint8_t instrument, std::uint8_t level) {
    return {note, instrument, volume(level), extended, noteDelay | kHitDelayTicks};
}

void brassChord(Score& score, int row, const Chord& chord) {
    for (int voice = 0; voice < 3; ++voice) {
        score.put(row, padChannel + voice, hit(chordPitch(chord, voice, 4), brass, 48));
    }
}

// ---- Drums.

void crashAt(Score& score, int row, int level = 48) {
    score.put(row, fxChannel, {kC4, crash, volume(level)});
}

void grooveA(Score& score, int fromBar, int toBar) {
    for (int bar = fromBar; bar < toBar; ++bar) {
        const int base = barRow(bar);
        score.put(base, kickChannel, {kC4, kick});
        score.put(base + 8, kickChannel, {kC4, kick});
        if (bar % 2) score.put(base + 10, kickChannel, {kC4, kick, volume(44)});
        score.put(base + 4, snareChannel, {kC4, snare});
        score.put(base + 12, snareChannel, {kC4, snare});
        // A ghost note from the middle of the snare's tail.
        score.put(base + 15, snareChannel, {kC4, snare, volume(22), sampleOffset, 0x04});
        for (int step = 0; step < kBarRows; ++step) {
            if (step == 14) {
                score.put(base + step, hatChannel, {kC4, openHat, volume(34), setPanning, 0x98});
            } else if (step % 4 == 2) {
                score.put(base + step, hatChannel,
                          {kC4, closedHat, volume(28), extended, fineVolumeUp | 8});
            } else {
                score.put(base + step, hatChannel,
                          {kC4, closedHat, volume(step % 2 ? 20 : 34), setPanning, 0x98});
            }
        }
    }
}

void grooveB(Score& score, int fromBar, int toBar) {
    for (int bar = fromBar; bar < toBar; ++bar) {
        const int base = barRow(bar);
        score.put(base, kickChannel, {kC4, kick});
        score.put(base + 6, kickChannel, {kC4, kick, volume(48)});
        score.put(base + 10, kickChannel, {kC4, kick});
        score.put(base + 8, snareChannel, {kC4, snare, volume(60)});
        score.put(base + 8, percChannel, {kC4, clap, volume(40), extended, noteDelay | 1});
        for (int step = 0; step < kBarRows; step += 2) {
            score.put(base + step, hatChannel,
                      {kC4, closedHat, volume(step % 4 ? 22 : 34), setPanning, 0x70});
        }
        score.put(base + 6, hatChannel, {kC4, closedHat, volume(30), extended, fineVolumeDown | 6});
        score.effect(base + 14, hatChannel, extended, retrigger | 3);
        score.put(base, arpChannel, {kC4, shaker, panning | 0x4});
    }
}

void grooveTunnel(Score& score, bool withSnare, int fromBar = 0, int toBar = kBars) {
    for (int bar = fromBar; bar < toBar; ++bar) {
        const int base = barRow(bar);
        for (int beat = 0; beat < kBarRows; beat += 4) {
            score.put(base + beat, kickChannel, {kC4, kick});
            score.put(base + beat + 2, hatChannel, {kC4, openHat, volume(30)});
            score.put(base + beat + 3, hatChannel,
                      {kC4, closedHat, volume(16), extended, noteDelay | 2});
            score.put(base + beat + 1, hatChannel, {kC4, closedHat, volume(14)});
        }
        score.put(base + 4, snareChannel, {kC4, clap, volume(44)});
        score.put(base + 12, snareChannel,
                  withSnare ? xm::Cell{kC4, snare} : xm::Cell{kC4, clap, volume(44)});
        for (const int step : {3, 10, 13}) {
            score.put(base + step, percChannel, {kC4, rim, volume(30), setPanning, 0x50});
        }
    }
}

// A roll that grows louder on every retrigger, three strokes a row.
void snareRoll(Score& score, int from, int to) {
    for (int row = from; row < to; ++row) {
        if ((row - from) % 2 == 0) {
            score.put(row, snareChannel, {kC4, snare, volume(18), multiRetrigger, 0xA3});
        } else {
            score.effect(row, snareChannel, multiRetrigger, 0xA3);
        }
    }
}

void riserUp(Score& score, int from, int to) {
    score.put(from, fxChannel, {pitch(3, 0), riser});
    for (int row = from + 1; row < to; ++row)
        score.effect(row, fxChannel, portamentoUp, 0x02);
    score.put(to, fxChannel, {0, 0, 0, setVolume, 0});
}

void tomFill(Score& score, int from, int to) {
    constexpr int kPitches[] = {7, 5, 2, 0, -3, -5, -7};
    for (int row = from; row < to; ++row) {
        const int step = (row - from) % 7;
        score.put(row, percChannel,
                  {static_cast<std::uint8_t>(kC4 + kPitches[step]), tom, volume(50), extended,
                   static_cast<std::uint8_t>(extendedPanning | (2 + 2 * step))});
    }
}

// The hit on a flash: kick, impact, crash and a stab of the chord.
void accent(Score& score, int row, const Chord& chord) {
    const int shift = (chord.root - kAm.root + 18) % 12 - 6;
    score.put(row, kickChannel, hit(kC4, kick, 64));
    score.put(row, snareChannel, hit(kC4, impact, 64));
    score.put(row, fxChannel, hit(kC4, crash, 60));
    score.put(row, percChannel, hit(static_cast<std::uint8_t>(kC4 + shift), orchestraHit, 60));
}

// Everything but the pads stops, and rests until the hit.
void breakDown(Score& score, int from, int to) {
    for (int row = from; row < to; ++row) {
        for (int channel = 0; channel < kChannels; ++channel) {
            if (channel < padChannel || channel > padChannel + 2) score.put(row, channel, {});
        }
    }
    for (const int channel : {leadChannel, echoChannel, arpChannel, percChannel}) {
        score.put(from, channel, {xm::kKeyOff});
    }
    score.put(from, hatChannel, {0, 0, 0, setVolume, 0});
    score.put(from, fxChannel, {0, 0, 0, setVolume, 0});
    score.put(from, bassChannel, {0, 0, 0, keyOffEffect, 0});
}

// ---- Bass lines.

void bassEighths(Score& score, const Bars& bars, int fromBar = 0, int toBar = kBars) {
    constexpr int kSteps[] = {0, 0, 12, 0, 0, 0, 12, 7};
    for (int bar = fromBar; bar < toBar; ++bar) {
        for (int step = 0; step < 8; ++step) {
            score.put(
                barRow(bar) + 2 * step, bassChannel,
                {bassPitch(bars[bar], 2, kSteps[step]), bass, volume(step % 4 == 0 ? 56 : 46)});
        }
    }
}

// Long notes that slide into each other.
void bassLong(Score& score, const Bars& bars, Instrument instrument, int level, int fromBar = 0,
              int toBar = kBars) {
    for (int bar = fromBar; bar < toBar; ++bar) {
        const std::uint8_t note = bassPitch(bars[bar], 2);
        if (bar == fromBar) {
            score.put(barRow(bar), bassChannel, {note, instrument, volume(level)});
        } else {
            score.put(barRow(bar), bassChannel, {note, 0, glide | 0x2});
        }
    }
}

void bassAcid(Score& score, const Bars& bars, int fromBar = 0, int toBar = kBars) {
    // Semitones above the root per row, -1 for a rest; glides on the steps marked.
    constexpr int kSteps[] = {0, -1, 12, 0, -1, 0, 12, -1, 0, -1, 7, 0, 12, -1, 0, 10};
    constexpr std::uint16_t kGlides = 1 << 3 | 1 << 11 | 1 << 15;
    for (int bar = fromBar; bar < toBar; ++bar) {
        for (int step = 0; step < kBarRows; ++step) {
            if (kSteps[step] < 0) continue;
            const std::uint8_t note = bassPitch(bars[bar], 3, kSteps[step]);
            const bool glides = (kGlides >> step) & 1;
            score.put(barRow(bar) + step, bassChannel,
                      glides ? xm::Cell{note, 0, 0, tonePortamento, 0x40}
                             : xm::Cell{note, acidBass, volume(step % 4 == 0 ? 60 : 42)});
        }
    }
}

// Off-beat sub bass, cut short, bent up a hair on the first beat of a bar.
void bassTunnel(Score& score, const Bars& bars) {
    for (int bar = 0; bar < kBars; ++bar) {
        for (int beat = 0; beat < kBarRows; beat += 4) {
            const int row = barRow(bar) + beat + 2;
            score.put(row, bassChannel,
                      {bassPitch(bars[bar], 2), subBass, volume(60), extended, noteCut | 5});
        }
        score.put(barRow(bar), bassChannel,
                  {bassPitch(bars[bar], 3), subBass, volume(40), extended, finePortamentoUp | 3});
        score.put(barRow(bar) + 1, bassChannel, {0, 0, 0, extended, finePortamentoDown | 3});
    }
}

// ---- Arpeggios and ornaments.

void arpRows(Score& score, const Bars& bars, Instrument instrument, int step, int fromBar = 0,
             int toBar = kBars) {
    constexpr int kOrder[] = {0, 1, 2, 3, 4, 3, 2, 1};
    for (int bar = fromBar; bar < toBar; ++bar) {
        for (int row = 0; row < kBarRows; row += step) {
            const int index = kOrder[(row / step) % 8];
            const bool left = (row / step) % 2 == 0;
            score.put(barRow(bar) + row, arpChannel,
                      {chordPitch(bars[bar], index, 4), instrument,
                       static_cast<std::uint8_t>(panning | (left ? 0x4 : 0xC))});
        }
    }
}

// One organ note a beat, its chord spelled by the arpeggio effect, cut before the next.
void organArp(Score& score, const Bars& bars) {
    for (int bar = 0; bar < kBars; ++bar) {
        const std::uint8_t shape = bars[bar].minor ? 0x37 : 0x47;
        for (int beat = 0; beat < kBarRows; beat += 4) {
            const int row = barRow(bar) + beat;
            score.put(row, arpChannel,
                      {chordPitch(bars[bar], 0, 5), organ, volume(36), arpeggio, shape});
            score.effect(row + 1, arpChannel, arpeggio, shape);
            score.effect(row + 2, arpChannel, arpeggio, shape);
            score.effect(row + 3, arpChannel, extended, noteCut | 3);
        }
    }
}

void harpRun(Score& score, const Chord& chord, int fromRow, int toRow, int level) {
    constexpr int kOrder[] = {0, 1, 2, 3, 4, 5, 6, 5};
    for (int row = fromRow; row < toRow; row += 2) {
        score.put(row, arpChannel,
                  {chordPitch(chord, kOrder[(row / 2) % 8], 4), harp, volume(level)});
    }
}

void pianoComp(Score& score, const Bars& bars, int fromBar = 0, int toBar = kBars) {
    for (int bar = fromBar; bar < toBar; ++bar) {
        score.put(barRow(bar) + 6, percChannel, {chordPitch(bars[bar], 1, 5), piano, volume(34)});
        score.put(barRow(bar) + 14, percChannel,
                  {chordPitch(bars[bar], 2, 5), piano, volume(26), extended, noteDelay | 2});
    }
}

void windBed(Score& score) {
    score.put(0, fxChannel, {pitch(4, 9), wind, volume(34)});
    score.at(16, fxChannel).volume = panRight | 1;
    score.at(32, fxChannel).volume = panLeft | 1;
    score.effect(48, fxChannel, panningSlide, 0x20);
}

void zaps(Score& score) {
    for (int bar = 0; bar < kBars; ++bar) {
        score.put(barRow(bar) + 14, leadChannel,
                  {pitch(6, 0), zap, volume(30), portamentoDown, 0x30});
    }
}

void glassPings(Score& score, const Bars& bars) {
    for (int bar = 0; bar < kBars; ++bar) {
        score.put(barRow(bar), echoChannel, {chordPitch(bars[bar], 2, 5), glass});
        score.put(barRow(bar) + 8, echoChannel, {chordPitch(bars[bar], 4, 5), glass, volume(24)});
    }
}

void bellLine(Score& score, int channel, std::string_view text, int level) {
    for (const Event& event : parse(text))
        score.put(event.row, channel, {event.note, bell, volume(level)});
}

// ---- The patterns, in order of first use.

// Dawn: pads growing bar by bar over a low bed of wind, a bell now and then.
Score dawn() {
    Score s;
    constexpr int kLevels[] = {30, 34, 38, 42};
    for (int bar = 0; bar < kBars; ++bar) {
        pads(s, kHome, warmPad, kLevels[bar], bar, bar + 1);
        for (int voice = 0; voice < 3; ++voice) {
            s.at(barRow(bar) + 4, padChannel + voice).volume = slideUp | 1;
            s.at(barRow(bar) + 8, padChannel + voice).volume = fineUp | 3;
            s.at(barRow(bar) + 12, padChannel + voice).volume = fineDown | 2;
        }
    }
    windBed(s);
    bellLine(s, percChannel, "8:E-5 14:A-5 24:C-6 30:A-5 40:G-5 46:E-5 56:D-5 62:B-4", 30);
    bassLong(s, kHome, subBass, 34, 2);
    s.effect(0, kickChannel, setSpeed, kSpeed);
    return s;
}

// Strings take the chords, a harp spells them, the low notes slide.
Score morning() {
    Score s;
    pads(s, kHome, stringPad, 36);
    bassLong(s, kHome, subBass, 44);
    for (int bar = 0; bar < kBars; ++bar) {
        harpRun(s, kHome[bar], barRow(bar), barRow(bar + 1), 36);
    }
    windBed(s);
    bellLine(s, percChannel, "16:C-6 48:B-5", 26);
    return s;
}

// Pulse: hats, a plucked arpeggio and the bass in eighths, piano between.
Score pulse() {
    Score s;
    pads(s, kHome, warmPad, 36);
    bassLong(s, kHome, subBass, 32);
    arpRows(s, kHome, arpPluck, 1);
    for (int row = 0; row < kRows; row += 2) {
        s.put(row, hatChannel, {kC4, closedHat, volume(row % 4 ? 16 : 26)});
    }
    pianoComp(s, kHome);
    return s;
}

// The swell: a kick arrives, a motif, the roll and riser, the break, the hit, the
// first full section's pick-up.
Score swell() {
    Score s;
    pads(s, kHome, stringPad, 40);
    bassLong(s, kHome, subBass, 40);
    arpRows(s, kHome, arpPluck, 2, 0, 3);
    for (int row = 0; row < 48; row += 2)
        s.put(row, hatChannel, {kC4, closedHat, volume(28)});
    for (int row = 32; row < 56; row += 4)
        s.put(row, kickChannel, {kC4, kick, volume(50)});
    melody(s, leadChannel, leadSquare,
           "32:A-4 34:C-5 36:E-5 38:A-5 40:G-5 42:E-5 44:D-5 46:E-5 48:off", 44, Vibrato::effect);
    riserUp(s, 40, 56);
    snareRoll(s, 48, 56);
    breakDown(s, 56, 61);
    padsOff(s, 56);
    accent(s, 61, kAm);
    s.put(62, bassChannel, {bassPitch(kE, 2), bass, volume(50)});
    s.put(62, hatChannel, {kC4, openHat, volume(30)});
    s.put(63, snareChannel, {kC4, snare, volume(40), extended, noteDelay | 3});
    melody(s, leadChannel, leadSaw, "62:C-5 63:D-5", 44, Vibrato::effect);
    return s;
}

constexpr std::string_view kThemeA =
    "0:E-5 6:D-5 8:C-5 12:D-5 14:E-5 16:C-5 24:A-4 28:C-5 32:G-5 38:E-5 40:D-5 44:C-5 "
    "46:D-5 48:B-4 56:D-5 60:off";
constexpr std::string_view kAnswerA =
    "0:A-5 4:G-5 6:E-5 8:C-5 12:E-5 14:G-5~ 16:A-5 22:G-5 24:F-5 28:E-5 30:C-5 32:D-5 "
    "36:E-5 38:D-5 40:B-4 44:G-4 48:A-4 52:B-4 54:D-5 56:off";
constexpr std::string_view kThemeB =
    "0:A-5 8:C-6 12:A-5 16:B-5 24:G-5 28:D-5 32:E-5 40:G-5 44:B-5 48:A-5 60:off";
constexpr std::string_view kAnswerB =
    "0:F-5 6:E-5 8:D-5 12:A-4 16:C-5 20:F-5 24:A-5 28:G-5 32:B-5 36:A-5 38:G-5 40:D-5 "
    "44:G-5 46:G#5^ 52:off";
constexpr std::string_view kGreetingsTheme =
    "0:G-5 2:E-5 4:C-5 6:E-5 8:G-5 10:C-6 12:G-5 14:E-5 16:D-5 18:B-4 20:G-4 22:B-4 24:D-5 "
    "26:G-5 28:D-5 30:B-4 32:C-5 34:E-5 36:A-5 38:E-5 40:C-5 42:A-4 44:C-5 46:E-5 48:F-5 "
    "50:A-5 52:C-6 56:A-5 60:F-5 62:off";
constexpr std::string_view kGreetingsAnswer =
    "0:E-5 4:G-5 8:C-6 12:B-5 16:D-6 20:B-5 24:G-5 28:D-5 32:C-5 36:F-5 40:A-5 44:C-6 "
    "48:B-5 52:G#5 55:off";
constexpr std::string_view kFarewell = "0:C-6 4:A-5 8:B-5 12:G-5 14:G#5 16:A-5 22:off";

constexpr int kEchoDelay = 3;

void sectionA(Score& s, const Bars& bars, std::string_view theme) {
    pads(s, bars, warmPad, 34, 0, kBars, true);
    bassEighths(s, bars);
    arpRows(s, bars, arpPluck, 2);
    melody(s, leadChannel, leadSaw, theme, 48, Vibrato::effect);
    echo(s, echoLead, theme, kEchoDelay, 26, false);
}

Score themeA() {
    Score s;
    sectionA(s, kHome, kThemeA);
    grooveA(s, 0, kBars);
    crashAt(s, 0);
    return s;
}

Score answerA() {
    Score s;
    sectionA(s, kHomeTurn, kAnswerA);
    grooveA(s, 0, kBars);
    for (int row = 56; row < 59; ++row) {
        s.put(row, hatChannel, {});
        s.put(row, kickChannel, {});
        s.put(row, snareChannel,
              {kC4, snare, volume(30 + 8 * (row - 56)), extended, retrigger | 2});
    }
    breakDown(s, 59, 63);
    padsFade(s, 56, 0x04);
    for (int row = 57; row < 63; ++row)
        padsFade(s, row, 0x00);
    accent(s, 63, kE);
    brassChord(s, 63, kE);
    return s;
}

void sectionB(Score& s, const Bars& bars, std::string_view theme) {
    pads(s, bars, stringPad, 38);
    bassAcid(s, bars);
    melody(s, leadChannel, flute, theme, 46, Vibrato::column);
    bellLine(s, echoChannel, "0:C-6 16:D-6 32:B-5 48:E-6", 26);
}

Score themeB() {
    Score s;
    sectionB(s, kCube, kThemeB);
    grooveB(s, 0, kBars);
    crashAt(s, 0);
    return s;
}

Score answerB() {
    Score s;
    sectionB(s, kCubeTurn, kAnswerB);
    grooveB(s, 0, 3);
    s.put(barRow(3), kickChannel, {kC4, kick});
    s.put(barRow(3) + 8, snareChannel, {kC4, snare, volume(60)});
    tomFill(s, 52, 59);
    breakDown(s, 59, 63);
    padsOff(s, 59);
    accent(s, 63, kE);
    brassChord(s, 63, kE);
    return s;
}

// The tunnel: four to the floor, a gated choir, the organ spelling chords, zaps.
Score tunnel() {
    Score s;
    grooveTunnel(s, false);
    gatedPads(s, kTunnel, choir, 36);
    bassTunnel(s, kTunnel);
    organArp(s, kTunnel);
    zaps(s);
    glassPings(s, kTunnel);
    crashAt(s, 0);
    return s;
}

void greetingsBase(Score& s, const Bars& bars, std::string_view theme) {
    grooveTunnel(s, true);
    pads(s, bars, warmPad, 30, 0, kBars, true);
    bassEighths(s, bars);
    organArp(s, bars);
    melody(s, leadChannel, leadSquare, theme, 46, Vibrato::effect);
    echo(s, echoLead, theme, kEchoDelay, 0, true);
}

Score greetings() {
    Score s;
    greetingsBase(s, kGreetings, kGreetingsTheme);
    crashAt(s, 0);
    return s;
}

Score greetingsEnd() {
    Score s;
    greetingsBase(s, kGreetingsTurn, kGreetingsAnswer);
    riserUp(s, 40, 56);
    for (int row = 48; row < 64; ++row) {
        s.put(row, snareChannel, {});
        s.put(row, kickChannel, {});
        s.put(row, hatChannel, {});
        s.put(row, percChannel, {});
    }
    snareRoll(s, 48, 56);
    breakDown(s, 56, 63);
    padsOff(s, 56);
    accent(s, 63, kE);
    brassChord(s, 63, kE);
    return s;
}

// The last phrase and the chord it comes home to, ringing out as the show ends.
Score homecoming() {
    Score s;
    constexpr Chord kSteps[] = {kF, kG, kAm};
    constexpr int kStepRows = 8;
    for (int step = 0; step < 3; ++step) {
        const int row = step * kStepRows;
        padChord(s, row, kSteps[step], warmPad, 40, true);
        s.put(row, bassChannel,
              step == 0 ? xm::Cell{bassPitch(kF, 2), subBass, volume(50)}
                        : xm::Cell{bassPitch(kSteps[step], 2), 0, glide | 0x2});
        if (step < 2) harpRun(s, kSteps[step], row, row + kStepRows, 30);
        s.put(row, kickChannel, {kC4, kick, volume(44)});
    }
    harpRun(s, kAm, 2 * kStepRows, 30, 40);
    melody(s, leadChannel, flute, kFarewell, 46, Vibrato::column);
    accent(s, 16, kAm);
    s.put(16, echoChannel, {pitch(5, 9), bell, volume(40)});
    s.at(20, echoChannel).volume = slideDown | 1;
    padsOff(s, 22);
    s.put(22, bassChannel, {xm::kKeyOff});
    return s;
}

// Past the show's end: a soft chord, then back to the start.
Score tail() {
    Score s;
    pads(s, kHome, warmPad, 24, 0, 1, true);
    s.effect(kTailRows - 1, kickChannel, patternBreak, 0);
    return s;
}

enum PatternNumber : std::uint8_t {
    dawnPattern,
    morningPattern,
    pulsePattern,
    swellPattern,
    themeAPattern,
    answerAPattern,
    themeBPattern,
    answerBPattern,
    tunnelPattern,
    greetingsPattern,
    greetingsEndPattern,
    homecomingPattern,
    tailPattern,
};

}  // namespace

xm::Module makeShowSong() {
    xm::Module module;
    module.name = "glint";
    module.channels = kChannels;
    module.restartPosition = 0;
    module.linearFrequencies = true;
    module.tempo = kSpeed;
    module.bpm = kBpm;
    module.patterns = {dawn().pattern,      morning().pattern,      pulse().pattern,
                       swell().pattern,     themeA().pattern,       answerA().pattern,
                       themeB().pattern,    answerB().pattern,      tunnel().pattern,
                       greetings().pattern, greetingsEnd().pattern, homecoming().pattern,
                       tail().pattern};
    // Opening swell, two sections, the tunnel and greetings, both sections again as the
    // climax, the opening backwards as the close, the last phrase, the tail.
    module.orders = {dawnPattern,   morningPattern, pulsePattern,     swellPattern,
                     themeAPattern, answerAPattern, themeBPattern,    answerBPattern,
                     tunnelPattern, tunnelPattern,  greetingsPattern, greetingsEndPattern,
                     themeAPattern, answerAPattern, themeBPattern,    answerBPattern,
                     pulsePattern,  morningPattern, dawnPattern,      homecomingPattern,
                     tailPattern};
    module.instruments = makeInstruments();
    return module;
}

std::vector<std::uint8_t> showSongBytes() {
    return xm::writeModule(makeShowSong());
}

}  // namespace glint::song
