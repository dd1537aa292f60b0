#include "player/tick.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <utility>

#include "mixer/voice.h"
#include "player/effects.h"
#include "player/envelope.h"
#include "player/player.h"

namespace vorn3 {
namespace {

constexpr std::int32_t kCentrePan = 128;
constexpr std::int32_t kMaxPanning = 255;
constexpr std::int32_t kPanPerEnvelopeStep = 32;  // divides the room left to the nearer side
constexpr double kPercent = 100;
constexpr std::int32_t kPitchEnvelopeStep = kLinearPeriodsPerNote / 2;  // half a semitone
constexpr std::int32_t kPeriodsPerOctave = 12 * kLinearPeriodsPerNote;
// Volume × envelope × fadeout × global volume, each at full, over this gives 127.5.
constexpr double kVoiceVolumeScale = 255.0 / 34359738368.0;  // 2^35

// Rows the pattern does not have read as this: a break or a loop can name one.
constexpr PatternCell kEmptyRow[kMaxChannels]{};

const PatternCell* currentCells(const Song& song) {
    const PatternSlot& pattern = song.module->patterns[song.module->orderTable[song.currentOrder]];
    const std::int32_t row = song.currentRow;
    if (row < 0 || row >= pattern.rows) return kEmptyRow;
    return pattern.cells + static_cast<std::ptrdiff_t>(row) * song.module->channelCount;
}

const Instrument& instrumentOf(const Song& song, const Channel& channel) {
    if (channel.instrument >= song.module->instrumentCount) return emptyInstrument;
    return song.module->instruments[channel.instrument];
}

const Sample& sampleOf(const Song& song, const Channel& channel) {
    if (channel.instrument >= song.module->instrumentCount) return emptySample;
    return sampleOfNote(*song.module, instrumentOf(song, channel), channel.note);
}

const AutoVibrato& autoVibratoOf(const Module& module, const Instrument& instrument,
                                 const Sample& sample) {
    if (!module.rules.samplesVibrate) return instrument.vibrato;
    const std::int32_t index = sampleIndex(module, sample);
    return index >= 0 ? module.sampleVibratos[index] : emptyInstrument.vibrato;
}

bool isNote(std::uint8_t note) {
    return note != 0 && note <= kNoteCount;
}

// A channel that has played no note has no period to slide from: a tone portamento
// starts its note, and slides on no tick of the row.
void startNoteOnSilence(Channel& channel, PatternCell& cell, bool rowTick) {
    const bool slides = cell.command == Command::tonePortamentoVolumeSlide;
    if (!slides && cell.command != Command::tonePortamento) return;
    if (channel.portamentoTarget != 0 || (channel.period != 0 && rowTick)) return;
    if (rowTick && !slides && cell.parameter != 0) channel.portamentoSpeed = cell.parameter;
    cell.command = slides ? Command::volumeSlide : Command::none;
}

// A zero parameter of a command sharing memory is the last one its group was given.
void recallSharedMemory(const Song& song, Channel& channel, PatternCell& cell, bool rowTick) {
    const std::uint8_t group =
        song.module->rules.memoryGroups[static_cast<std::size_t>(cell.command)];
    if (group == 0) return;
    if (cell.parameter == 0) {
        cell.parameter = channel.sharedMemories[group];
    } else if (rowTick) {
        channel.sharedMemories[group] = cell.parameter;
    }
}

void dropCommandsWithoutNote(const FormatRules& rules, PatternCell& cell) {
    const bool delay = cell.command == Command::extended &&
                       extendedCommand(rules, cell.parameter) == ExtendedCommand::noteDelay;
    if (!isNote(cell.note) && (delay || cell.command == Command::sampleOffset)) {
        cell.command = Command::none;
    }
}

// The cell as the effects take it under the format's rules.
PatternCell resolvedCell(const Song& song, Channel& channel, const PatternCell& cell,
                         bool rowTick) {
    const FormatRules& rules = song.module->rules;
    PatternCell resolved = cell;
    if (rules.portamentoStartsNote) startNoteOnSilence(channel, resolved, rowTick);
    recallSharedMemory(song, channel, resolved, rowTick);
    if (rules.noteCommandsNeedNote) dropCommandsWithoutNote(rules, resolved);
    return resolved;
}

// A tuning command in the row tunes the row's note in place of its sample.
bool retunesNote(const FormatRules& rules, const PatternCell& cell) {
    return cell.command == Command::extended &&
           extendedCommand(rules, cell.parameter) == ExtendedCommand::noteTuning;
}

// The envelope is on in the instrument and the note has not turned it off.
bool usesEnvelope(const Note& note, const Envelope& envelope, std::uint8_t offBit) {
    return (envelope.type & kEnvelopeOn) && !(note.envelopesOff & offBit);
}

// A note's envelopes and fadeout by one tick; the kUpdate bits of what they changed. Run
// for every channel on every tick, where a call costs as much as the steps.
[[gnu::always_inline]] inline std::uint8_t stepNote(Note& note, const Instrument& instrument,
                                                    const FormatRules& rules) {
    const bool byTick = rules.envelopesByTick;
    std::uint8_t flags = 0;
    const bool enveloped = usesEnvelope(note, instrument.volumeEnvelope, kVolumeEnvelopeOff);
    if (enveloped && !note.volumeEnvelope.done) {
        envelopeStep(note.volumeEnvelope, instrument.volumeEnvelope, note.keyOff, byTick);
        flags |= kUpdateVolume;
    }
    if (instrument.fadesOut) {
        // A key off fades a note whose volume envelope is off or loops; the envelope's
        // end fades any.
        const bool loops = instrument.volumeEnvelope.type & kEnvelopeLoop;
        if (note.keyOff && (!enveloped || loops)) note.fading = true;
        if (enveloped && note.volumeEnvelope.done) note.fading = true;
    } else if (!enveloped && note.keyOff) {
        // Without a volume envelope, a key off silences the note at once.
        note.volumeEnvelope.output = 0;
    }
    if (usesEnvelope(note, instrument.panningEnvelope, kPanningEnvelopeOff) &&
        !note.panningEnvelope.done) {
        envelopeStep(note.panningEnvelope, instrument.panningEnvelope, note.keyOff, byTick);
        flags |= kUpdatePanning;
    }
    if (usesEnvelope(note, instrument.pitchEnvelope, kPitchEnvelopeOff) &&
        !note.pitchEnvelope.done) {
        envelopeStep(note.pitchEnvelope, instrument.pitchEnvelope, note.keyOff, byTick);
        flags |= kUpdateFrequency;
    }
    if ((note.keyOff && !instrument.fadesOut) || note.fading) {
        note.fadeoutVolume = std::max(note.fadeoutVolume - instrument.fadeout, 0);
        flags |= kUpdateVolume;
    }
    return flags;
}

// Nothing more to hear of a note: its sample, its fadeout or its volume envelope has
// played out.
bool ended(const Song& song, const Note& note) {
    const Voice* voice = voiceAt(song.player->mixer, note.voiceIndex);
    return !voice || !voice->sample || note.fadeoutVolume == 0 ||
           (note.volumeEnvelope.done && note.volumeEnvelope.output == 0);
}

void endLetGoNote(Song& song, std::int32_t index) {
    stopNote(song.player->mixer, song.letGoNotes[index].note);
    std::copy(song.letGoNotes.begin() + index + 1, song.letGoNotes.begin() + song.letGoCount,
              song.letGoNotes.begin() + index);
    song.letGoCount -= 1;
}

// The quietest let-go note, the oldest of equals.
std::int32_t quietestLetGoNote(const Song& song) {
    std::int32_t quietest = 0;
    std::int32_t least = kMaxVoiceVolume + 1;
    for (std::int32_t i = 0; i < song.letGoCount; ++i) {
        const Voice* voice = voiceAt(song.player->mixer, song.letGoNotes[i].note.voiceIndex);
        const std::int32_t volume = voice ? voice->volume : 0;
        if (volume < least) quietest = i, least = volume;
    }
    return quietest;
}

// A voice no note of the song holds: a free one of the pool, else the one the quietest
// let-go note yields; -1 where there is none.
std::int32_t freeVoice(Song& song) {
    PlayingVoices held{};
    const auto hold = [&held](const Note& note) {
        for (const std::int32_t index : {note.voiceIndex, note.rightVoiceIndex}) {
            if (index >= 0) markPlaying(held, index, true);
        }
    };
    for (std::int32_t c = 0; c < song.module->channelCount; ++c)
        hold(song.channels[c].playing);
    for (std::int32_t i = 0; i < song.letGoCount; ++i)
        hold(song.letGoNotes[i].note);
    for (std::int32_t w = 0; w < kVoiceCount / PlayingVoices::kWordBits; ++w) {
        if (~held.words[w] != 0) {
            return w * PlayingVoices::kWordBits + std::countr_one(held.words[w]);
        }
    }
    if (song.letGoCount == 0) return -1;
    const std::int32_t yielding = quietestLetGoNote(song);
    const std::int32_t index = song.letGoNotes[yielding].note.voiceIndex;
    endLetGoNote(song, yielding);
    return index;
}

// Where the instrument of the channel's note says so, the note plays on by itself on its
// voice, and the channel takes another for its next; true when it did.
bool letGoOfNote(Song& song, Channel& channel) {
    Note& note = channel.playing;
    // An action an effect set lasts until the next note.
    const bool actionSet = std::exchange(note.newNoteActionSet, false);
    if (!note.instrument) return false;
    const NewNoteAction action = actionSet ? note.newNoteAction : note.instrument->newNoteAction;
    if (action == NewNoteAction::cut || ended(song, note)) return false;
    const std::int32_t voice = freeVoice(song);
    Voice* fresh = voiceAt(song.player->mixer, voice);
    if (!fresh) return false;
    fresh->startOffset = 0;
    LetGoNote& letGo = song.letGoNotes[song.letGoCount++];
    letGo = {note,
             static_cast<std::int32_t>(&channel - song.channels),
             channel.note,
             channel.period,
             channel.volume,
             channel.panning,
             channel.channelVolume,
             channel.muted,
             channel.surround};
    letGo.note.keyOff = letGo.note.keyOff || action == NewNoteAction::noteOff;
    letGo.note.fading = action == NewNoteAction::fade;
    note.voiceIndex = voice;
    note.rightVoiceIndex = -1;
    return true;
}

// Cuts, releases or fades let-go note `index`; true when it was cut, and so is gone.
bool actOnLetGoNote(Song& song, std::int32_t index, DuplicateAction action) {
    if (action == DuplicateAction::cut) {
        endLetGoNote(song, index);
        return true;
    }
    Note& note = song.letGoNotes[index].note;
    note.keyOff = note.keyOff || action == DuplicateAction::noteOff;
    note.fading = note.fading || action == DuplicateAction::fade;
    return false;
}

bool duplicates(const LetGoNote& letGo, const Instrument& instrument, const Sample& sample,
                std::uint8_t key) {
    if (letGo.note.instrument != &instrument) return false;
    switch (instrument.duplicateCheck) {
        case DuplicateCheck::note:
            return letGo.key == key;
        case DuplicateCheck::sample:
            return letGo.note.sample == &sample;
        case DuplicateCheck::instrument:
            return true;
        default:
            return false;
    }
}

// The notes the channel let go of that its new note duplicates are cut, released or
// faded, as the new note's instrument says.
void checkDuplicates(Song& song, const Channel& channel, const Instrument& instrument,
                     const Sample& sample) {
    if (instrument.duplicateCheck == DuplicateCheck::off) return;
    const auto index = static_cast<std::int32_t>(&channel - song.channels);
    for (std::int32_t i = 0; i < song.letGoCount;) {
        LetGoNote& letGo = song.letGoNotes[i];
        if (letGo.channel != index || !duplicates(letGo, instrument, sample, channel.note)) {
            ++i;
            continue;
        }
        if (!actOnLetGoNote(song, i, instrument.duplicateAction)) ++i;
    }
}

// Each let-go note ticks with its own envelopes, fadeout and auto-vibrato until it ends.
void tickLetGoNotes(Song& song) {
    for (std::int32_t i = 0; i < song.letGoCount;) {
        LetGoNote& letGo = song.letGoNotes[i];
        Note& note = letGo.note;
        if (ended(song, note)) {
            endLetGoNote(song, i);
            continue;
        }
        const std::uint8_t flags =
            stepNote(note, *note.instrument, song.module->rules) | kUpdateFrequency;
        const std::int32_t vibrato =
            autoVibratoStep(note, autoVibratoOf(*song.module, *note.instrument, *note.sample));
        updateVoice(song, note,
                    {flags, letGo.volume, letGo.panning, letGo.period, vibrato, letGo.channelVolume,
                     letGo.muted, letGo.surround},
                    *note.sample);
        ++i;
    }
}

// What a note starts with, for when it is let go, and its global volumes.
void recordStart(Note& note, const Instrument& instrument, const Sample& sample) {
    note.instrument = &instrument;
    note.sample = &sample;
    note.gain = static_cast<double>(sample.globalVolume) / kFullSampleGlobalVolume *
                instrument.globalVolume / kFullInstrumentGlobalVolume;
}

NoteOutput outputOf(const Channel& channel) {
    return {channel.updateFlags,
            channel.volume + channel.volumeDelta,
            std::clamp(channel.panning + channel.panningDelta, 0, kMaxPanning),
            channel.period,
            channel.periodDelta,
            channel.channelVolume,
            channel.muted,
            channel.surround};
}

void queueSampleSwap(const Song& song, const Channel& channel, const Sample& sample) {
    Voice* voice = voiceAt(song.player->mixer, channel.playing.voiceIndex);
    if (voice && voice->sample && voice->sample != &sample) voice->nextSample = &sample;
}

void processCell(Song& song, Channel& channel, const PatternCell& storedCell, RowTick& row) {
    const PatternCell cell = resolvedCell(song, channel, storedCell, true);
    const bool portamento = cell.command == Command::tonePortamento ||
                            cell.command == Command::tonePortamentoVolumeSlide;
    // A voice taken afresh has its panning from an earlier note.
    const bool freshVoice = isNote(cell.note) && !portamento && letGoOfNote(song, channel);
    if (cell.instrument != 0 && (!portamento || song.module->rules.portamentoTakesInstrument)) {
        channel.instrument = static_cast<std::uint8_t>(cell.instrument - 1);
    }
    if (isNote(cell.note) && !portamento) channel.note = static_cast<std::uint8_t>(cell.note - 1);
    const Instrument& instrument = instrumentOf(song, channel);
    const Sample& sample = sampleOf(song, channel);
    if (isNote(cell.note) && !portamento) checkDuplicates(song, channel, instrument, sample);
    row.volumeBefore = channel.volume;
    row.periodBefore = channel.period;
    row.panningBefore = channel.panning;
    channel.volumeDelta = 0;
    channel.updateFlags = 0;

    if (isNote(cell.note)) {
        const FormatRules& rules = song.module->rules;
        const bool retuned = retunesNote(rules, cell);
        const std::int32_t relativeNote = retuned ? 0 : sample.relativeNote;
        const std::int32_t finetune =
            retuned ? rules.noteTunings[cell.parameter & 15] : sampleFinetune(song, sample);
        // A relative note cannot push a note below the lowest one.
        const std::int32_t played = instrument.noteNotes[cell.note - 1];
        channel.baseNote = static_cast<std::uint8_t>(std::max(relativeNote + played, 0));
        channel.notePeriod =
            (song.module->flags & kLinearFrequencies)
                ? kLinearBasePeriod - kLinearPeriodsPerNote * channel.baseNote - finetune / 2
                : notePeriod(song.module->rules, channel.baseNote, finetune);
        if (!portamento) channel.period = channel.notePeriod;
        channel.updateFlags = kUpdateTrigger;
        takeInstrumentFilter(channel.playing, instrument);
        varyNote(song, channel.playing, instrument);
    }
    channel.periodDelta = 0;
    channel.updateFlags |= kUpdateFrequency | kUpdateVolume;
    if (freshVoice) channel.updateFlags |= kUpdatePanning;
    if (cell.instrument != 0) {
        const bool restarts = !portamento || song.module->rules.portamentoRestartsEnvelopes;
        resetChannel(channel, instrument, sample, song.module->rules, restarts);
    } else if (isNote(cell.note) && !portamento && song.module->rules.notesRestartEnvelopes) {
        restartNote(channel, instrument);
    }
    if (song.module->rules.sampleSwap && cell.instrument != 0 &&
        (!isNote(cell.note) || portamento)) {
        queueSampleSwap(song, channel, sample);
    }

    CellTick tick{song, channel, cell, instrument, sample};
    if (cell.volume != VolumeCommand::none) volumeColumnRow(tick);
    Note& note = channel.playing;
    if (cell.note == kKeyOff || cell.command == Command::keyOff) note.keyOff = true;
    if (cell.note == kNoteCut) channel.updateFlags |= kUpdateStop;
    if (cell.note == kNoteFade) note.fading = true;
    channel.updateFlags |= stepNote(note, instrument, song.module->rules);
    effectRow(tick, row);
    channel.periodDelta += autoVibratoStep(note, autoVibratoOf(*song.module, instrument, sample));
    channel.updateFlags |= kUpdateFrequency;
    if (channel.updateFlags & kUpdateTrigger) recordStart(note, instrument, sample);
    updateVoice(song, note, outputOf(channel), sample);
}

// Where the row after the current one lies.
void scheduleNextRow(Song& song) {
    const std::int32_t order = song.currentOrder;
    song.nextRow = song.currentRow + 1;
    if (song.nextRow >= song.module->patterns[song.module->orderTable[order]].rows) {
        song.nextOrder = order + 1;
        if (lastOfSection(*song.module, order)) {
            song.nextOrder = song.restartOrder;
            song.ended = true;
        }
        song.nextRow = 0;
    }
}

}  // namespace

void actOnLetGoNotes(Song& song, const Channel& channel, DuplicateAction action) {
    const auto index = static_cast<std::int32_t>(&channel - song.channels);
    for (std::int32_t i = 0; i < song.letGoCount;) {
        if (song.letGoNotes[i].channel != index || !actOnLetGoNote(song, i, action)) ++i;
    }
}

void processRow(Song& song) {
    song.nextOrder = song.nextRow = -1;
    RowTick row{};
    song.patternDelayRows = 0;
    const PatternCell* cells = currentCells(song);
    for (std::int32_t c = 0; c < song.module->channelCount; ++c)
        processCell(song, song.channels[c], cells[c], row);
    if (song.module->rules.delayAtRowEndSpeed)
        song.patternDelayTicks += song.patternDelayRows * song.speed;
}

void processTickEffects(Song& song) {
    const PatternCell* cells = currentCells(song);
    // A global volume slide reaches the channels ticked before it on the tick after.
    const std::uint8_t globalVolumeFlags =
        std::exchange(song.globalVolumeSlid, false) ? kUpdateVolume : 0;
    for (std::int32_t c = 0; c < song.module->channelCount; ++c) {
        Channel& channel = song.channels[c];
        const Instrument& instrument = instrumentOf(song, channel);
        const Sample& sample = sampleOf(song, channel);
        channel.volumeDelta = 0;
        channel.periodDelta = 0;
        channel.updateFlags =
            stepNote(channel.playing, instrument, song.module->rules) | globalVolumeFlags;
        const PatternCell cell = resolvedCell(song, channel, cells[c], false);
        CellTick tick{song, channel, cell, instrument, sample};
        volumeColumnTick(tick);
        effectTick(tick);
        channel.periodDelta +=
            autoVibratoStep(channel.playing, autoVibratoOf(*song.module, instrument, sample));
        channel.updateFlags |= kUpdateFrequency;
        if (channel.updateFlags & kUpdateTrigger) recordStart(channel.playing, instrument, sample);
        updateVoice(song, channel.playing, outputOf(channel), sample);
    }
}

void songTick(Song& song) {
    if (song.tick == 0) {
        if (song.nextOrder >= 0) song.currentOrder = song.nextOrder;
        if (song.nextRow >= 0) song.currentRow = song.nextRow;
        processRow(song);
        if (song.nextRow == -1) scheduleNextRow(song);
    } else {
        processTickEffects(song);
    }
    if (song.letGoCount > 0) tickLetGoNotes(song);
    song.tick += 1;
    if (song.tick >= song.speed + song.patternDelayTicks) {
        song.tick = 0;
        song.patternDelayTicks = 0;
    }
}

namespace {

// The power is the costliest step of a tick, and a note's period mostly stays from one
// tick to the next.
std::int32_t linearFrequency(Note& note, std::int32_t periodsAboveMiddle) {
    if (!note.frequencyKnown || note.frequencyPeriods != periodsAboveMiddle) {
        const double hz = linearHz(periodsAboveMiddle);
        note.frequency = static_cast<std::int32_t>(
            std::min(hz, double{std::numeric_limits<std::int32_t>::max()}));
        note.frequencyPeriods = periodsAboveMiddle;
        note.frequencyKnown = true;
    }
    return note.frequency;
}

}  // namespace

namespace {

// A stereo sample plays its right channel on a voice of its own beside the note's, which
// plays the left; a mono one gives that voice back.
void triggerRightChannel(Song& song, Note& note, const Sample& sample) {
    Mixer& mixer = song.player->mixer;
    const Sample* right = rightChannelOf(*song.module, sample);
    if (!right) {
        if (note.rightVoiceIndex >= 0) stopVoice(mixer, note.rightVoiceIndex);
        note.rightVoiceIndex = -1;
        return;
    }
    if (note.rightVoiceIndex < 0) note.rightVoiceIndex = freeVoice(song);
    Voice* voice = voiceAt(mixer, note.rightVoiceIndex);
    const Voice* left = voiceAt(mixer, note.voiceIndex);
    if (!voice || !left) return;
    voice->startOffset = left->startOffset;
    triggerVoice(mixer, note.rightVoiceIndex, right);
}

bool drivesFilter(const Envelope& envelope) {
    return (envelope.type & (kEnvelopeOn | kEnvelopeFilter)) == (kEnvelopeOn | kEnvelopeFilter);
}

// The filter envelope scales the cutoff from nothing (its lowest) to the note's cutoff (its
// highest).
void updateFilter(const Mixer& mixer, const Note& note, Voice* voice, Voice* right) {
    const bool enveloped = note.instrument && drivesFilter(note.instrument->pitchEnvelope);
    std::int32_t cutoff = note.filterCutoff * kFilterCutoffUnit;
    if (enveloped) {
        cutoff = static_cast<std::int32_t>(std::int64_t{cutoff} * note.pitchEnvelope.level /
                                           (kFullEnvelope * kEnvelopeFixedOne));
    }
    const bool on = enveloped || note.filterCutoff < kOpenCutoff || note.filterResonance > 0;
    if (!on && !voice->filter.on && !right) return;  // most notes, on every tick
    for (Voice* each : {voice, right}) {
        if (each) setVoiceFilter(mixer, *each, on, cutoff, note.filterResonance);
    }
}

// The pitch envelope's shift in 1/64 semitone: half a semitone a step from its centre.
std::int32_t pitchShift(const Note& note) {
    if (!note.instrument) return 0;
    const Envelope& envelope = note.instrument->pitchEnvelope;
    if (!(envelope.type & kEnvelopeOn) || (envelope.type & kEnvelopeFilter)) return 0;
    const std::int64_t fromCentre = note.pitchEnvelope.level - kCentreEnvelope * kEnvelopeFixedOne;
    return static_cast<std::int32_t>(fromCentre * kPitchEnvelopeStep / kEnvelopeFixedOne);
}

std::int32_t separated(const Song& song, std::int32_t panning) {
    return kCentrePan + (panning - kCentrePan) * song.stereoSeparation / kFullSeparation;
}

}  // namespace

void stopNote(Mixer& mixer, const Note& note) {
    stopVoice(mixer, note.voiceIndex);
    stopVoice(mixer, note.rightVoiceIndex);
}

void updateVoice(Song& song, Note& note, const NoteOutput& output, const Sample& sample) {
    const std::uint8_t flags = output.flags;
    Mixer& mixer = song.player->mixer;
    if (flags & kUpdateTrigger) {
        // Before the left's trigger consumes the start offset both share.
        triggerRightChannel(song, note, sample);
        const Sample* sustained = sustainLoopOf(*song.module, sample);
        const Sample& played = sustained && !note.keyOff ? *sustained : sample;
        const std::int32_t index = triggerVoice(mixer, note.voiceIndex, &played);
        if (index >= 0) note.voiceIndex = index;
    }
    Voice* voice = voiceAt(mixer, note.voiceIndex);
    if (!voice) return;
    // A released note leaves its sustain loop for the sample's own loop or end.
    if (note.keyOff && voice->sample && voice->sample != note.sample &&
        voice->sample == sustainLoopOf(*song.module, *note.sample)) {
        changeVoiceSample(mixer, note.voiceIndex, *note.sample);
    }
    Voice* right = note.rightVoiceIndex >= 0 ? voiceAt(mixer, note.rightVoiceIndex) : nullptr;
    if (flags & kUpdateVolume) {
        const double master = song.module->masterVolumeScale;
        const double volume = static_cast<double>(output.volume) *
                              (kPercent + note.volumeVariation) / kPercent *
                              note.volumeEnvelope.output * note.fadeoutVolume * song.globalVolume *
                              kVoiceVolumeScale * std::min(master, 1.0) * note.gain *
                              (output.channelVolume / double{kFullChannelVolume});
        const std::int32_t voiceVolume =
            output.muted ? 0 : std::min(static_cast<std::int32_t>(volume), kMaxVoiceVolume);
        setVoiceVolume(*voice, voiceVolume);
        if (right) setVoiceVolume(*right, voiceVolume);
        // Louder than a byte of volume reaches, the rest scales the voice as it mixes.
        for (Voice* each : {voice, right}) {
            if (each) each->amplification = std::max(master, 1.0);
        }
    }
    if (flags & kUpdatePanning) {
        const std::int32_t noted =
            std::clamp(output.panning + note.panningVariation, 0, kMaxPanning);
        const std::int32_t room = (kCentrePan - std::abs(noted - kCentrePan)) / kPanPerEnvelopeStep;
        const std::int32_t panning = noted + room * (note.panningEnvelope.output - kCentreEnvelope);
        // The two channels of a stereo sample lie either side of the note's panning, as
        // far apart as it leaves room for.
        const std::int32_t spread = right ? std::min(panning, kMaxPanning - panning) : 0;
        setVoicePanning(*voice, separated(song, panning - spread));
        if (right) setVoicePanning(*right, separated(song, panning + spread));
        voice->surround = output.surround;
        if (right) right->surround = output.surround;
    }
    if (flags & kUpdateFrequency) {
        const std::int32_t period = output.period + output.periodDelta;
        const std::int32_t shift = pitchShift(note);
        std::int32_t hz =
            song.module->flags & kLinearFrequencies
                ? linearFrequency(note, kMiddlePeriod - output.period + output.periodDelta + shift)
                // A period at or below 0 is higher than any: the shortest one stands for it.
                : song.module->rules.amigaClock / std::max(period, 1);
        if (shift != 0 && !(song.module->flags & kLinearFrequencies)) {
            hz = static_cast<std::int32_t>(
                std::min(hz * std::exp2(shift / double{kPeriodsPerOctave}),
                         double{std::numeric_limits<std::int32_t>::max()}));
        }
        setVoiceFrequency(mixer, *voice, hz);
        if (right) setVoiceFrequency(mixer, *right, hz);
        updateFilter(mixer, note, voice, right);
    }
    if (flags & kUpdateStop) {
        stopVoice(mixer, note.voiceIndex);
        voice->startOffset = 0;
        if (right) stopVoice(mixer, note.rightVoiceIndex);
    }
}

}  // namespace vorn3
