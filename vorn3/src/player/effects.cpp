#include "player/effects.h"

#include <algorithm>
#include <cmath>

#include "mixer/voice.h"
#include "module/pitch.h"
#include "player/envelope.h"
#include "player/player.h"
#include "player/random.h"
#include "player/tick.h"

namespace vorn3 {
namespace {

constexpr std::uint8_t kLastSpeed = 31;  // larger parameters of the speed effect are BPM
constexpr std::int32_t kPeriodUnitsPerSpeed = 4;
constexpr std::int32_t kPeriodsPerSemitone = 64;  // linear periods
constexpr std::int32_t kMaxPanning = 255;
constexpr std::int32_t kPanningPerNibble = 16;
constexpr std::int32_t kFrameOffsetPerUnit = 256;  // frames per step of the sample offset
constexpr std::int32_t kArpeggioSteps = 3;         // none, x, y
constexpr std::int32_t kLastBreakRow = 63;
constexpr std::int32_t kColumnPortamentoScale = 16;
// A column pitch slide of x slides as a portamento of 4x does.
constexpr std::int32_t kColumnPitchSlideUnits = 4;  // of the effect column's E and F

// Vibrato: 64 positions per cycle, −32..31; each half cycle takes 32 of them.
constexpr std::int32_t kVibratoPositions = 64;
constexpr std::int32_t kLastVibratoPosition = 31;
constexpr std::int32_t kVibratoMagnitude = 255;
constexpr std::int32_t kVibratoPositionScale = 8;  // ramp magnitude per position
constexpr std::int32_t kVibratoDepthShift = 5;
constexpr std::int32_t kFineVibratoDepthShift = 7;
constexpr std::int32_t kTremoloDepthShift = 6;
constexpr std::uint8_t kFineSlide = 0xF;       // S3M: x or y of a slide done once per row
constexpr std::uint8_t kExtraFineSlide = 0xE;  // S3M: a portamento in quarter steps
constexpr std::int32_t kVibratoDeltaMask = ~3;
constexpr double kRadiansPerVibratoPosition = 0.09817477042468103;  // π / 32
enum VibratoWave : std::uint8_t { sine = 0, ramp = 1 };
constexpr std::uint8_t kVibratoWaveMask = 3;
constexpr std::uint8_t kWaveControlKept = 0xF0;  // E4 sets only the low nibble
constexpr std::int32_t kTremoloWaveShift = 4;
// Panbrello: 256 positions per cycle of a wave between −64 and 64, which times the depth
// over 8 moves the panning.
constexpr std::int32_t kPanbrelloPositions = 256;
constexpr std::int32_t kPanbrelloPeak = 64;
constexpr std::int32_t kPanbrelloDepthShift = 3;
constexpr double kRadiansPerPanbrelloPosition = 0.02454369260617026;  // π / 128
enum PanbrelloWave : std::uint8_t {
    panbrelloSine,
    panbrelloRamp,
    panbrelloSquare,
    panbrelloRandom
};
// IT's own steps: 64 of panning, 128 of global volume.
constexpr std::int32_t kItPanningSteps = 64;
constexpr std::int32_t kPanningPerItStep = 4;
constexpr std::int32_t kPitchPanSteps = 8;  // of a separation, per semitone
constexpr std::int32_t kGlobalVolumeHalfSteps = 2;
constexpr std::int32_t kCentrePanning = 128;
constexpr std::int64_t kFramesPerHighOffset = 65536;
constexpr std::uint8_t kFirstTempo = 0x20;  // IT's T sets the BPM from here; below, it slides
constexpr std::uint8_t kTempoSlideUp = 1;   // x of T1y
constexpr std::int32_t kLowestTempo = 32;
constexpr std::int32_t kHighestTempo = 255;

constexpr std::uint8_t nibbleHigh(std::uint8_t value) {
    return static_cast<std::uint8_t>(value >> 4);
}
constexpr std::uint8_t nibbleLow(std::uint8_t value) {
    return static_cast<std::uint8_t>(value & 15);
}

// Every path to the volume keeps it within 0..64: a Cxx above 64 would carry the
// voice's gains past their 8 bits.
void changeVolume(Channel& channel, std::int32_t volume) {
    channel.volume = std::clamp(volume, 0, kMaxVolume);
    channel.updateFlags |= kUpdateVolume;
}

void changePanning(Channel& channel, std::int32_t panning) {
    channel.panning = std::clamp(panning, 0, kMaxPanning);
    channel.updateFlags |= kUpdatePanning;
}

// The value in 16.16 stays: it is set again at the envelope's first point.
void restartEnvelope(EnvelopeState& state, std::int32_t output) {
    state.tick = 0;
    state.point = 0;
    state.slope = 0;
    state.output = output;
    state.level = output * kEnvelopeFixedOne;
    state.done = false;
}

// Up by the high nibble, else down by the low one.
std::int32_t slid(std::int32_t value, std::uint8_t memory, std::int32_t most) {
    if (memory >= 16) return std::min(value + nibbleHigh(memory), most);
    return std::max(value - nibbleLow(memory), 0);
}

// Formats without slide memory take a zero parameter as a slide of nothing.
void remember(std::uint8_t& memory, std::uint8_t parameter, const FormatRules& rules) {
    if (parameter != 0 || !rules.slideMemory) memory = parameter;
}

void slideVolume(Channel& channel) {
    changeVolume(channel, slid(channel.volume, channel.volumeSlideMemory, kMaxVolume));
}

void slidePanning(Channel& channel) {
    changePanning(channel, slid(channel.panning, channel.panningSlideMemory, kMaxPanning));
}

// A panbrello moves the panning on the ticks it runs only.
void settlePanning(Channel& channel) {
    if (channel.panningDelta == 0) return;
    channel.panningDelta = 0;
    channel.updateFlags |= kUpdatePanning;
}

// Where the format says so, a slide past the shortest period stops the note.
void slidePeriodUp(Channel& channel, const FormatRules& rules, std::int32_t amount) {
    if (rules.cutPastMinPeriod && channel.period - amount < rules.minPeriod) {
        channel.updateFlags |= kUpdateStop;
    }
    channel.period = std::max(channel.period - amount, rules.minPeriod);
}

void slidePeriodDown(Channel& channel, const FormatRules& rules, std::int32_t amount) {
    channel.period = std::min(channel.period + amount, rules.maxPeriod);
}

void tonePortamentoStep(Channel& channel) {
    const std::int32_t step = channel.portamentoSpeed * kPeriodUnitsPerSpeed;
    if (channel.period < channel.portamentoTarget) {
        channel.period = std::min(channel.period + step, channel.portamentoTarget);
    } else if (channel.period > channel.portamentoTarget) {
        channel.period = std::max(channel.period - step, channel.portamentoTarget);
    }
    channel.updateFlags |= kUpdateFrequency;
}

// With glissando on, what is heard is the semitone nearest the slide, which goes on
// underneath.
void glissandoStep(CellTick& cell) {
    Channel& channel = cell.channel;
    if (!channel.glissando) return;
    channel.periodDelta = nearestNotePeriod(cell.song.module->rules, channel.period,
                                            sampleFinetune(cell.song, cell.sample)) -
                          channel.period;
}

void tonePortamentoTick(CellTick& cell) {
    cell.channel.periodDelta = 0;
    tonePortamentoStep(cell.channel);
    glissandoStep(cell);
}

// The note of the row is the target; the playing one goes on.
void aimPortamento(Channel& channel) {
    channel.portamentoTarget = channel.notePeriod;
    channel.updateFlags &= ~(kUpdateFrequency | kUpdateTrigger);
}

// The sine follows the channel's own vibrato position, half a sine per half cycle, so
// that a vibrato does not depend on the instrument's auto-vibrato.
std::int32_t waveMagnitude(std::int32_t position, std::int32_t wave) {
    switch (wave & kVibratoWaveMask) {
        case sine:
            return static_cast<std::int32_t>(
                kVibratoMagnitude *
                std::sin((position & kLastVibratoPosition) * kRadiansPerVibratoPosition));
        case ramp: {
            const std::int32_t magnitude = (position * kVibratoPositionScale) & kVibratoMagnitude;
            return position >= 0 ? magnitude : kVibratoMagnitude - magnitude;
        }
        default:
            return kVibratoMagnitude;
    }
}

void vibratoStep(Channel& channel, const FormatRules& rules,
                 std::int32_t depthShift = kVibratoDepthShift) {
    const std::int32_t delta =
        ((channel.vibratoDepth * waveMagnitude(channel.vibratoPosition, channel.waveControl)) >>
         (depthShift + rules.vibratoFineness)) &
        kVibratoDeltaMask;
    const bool up = (channel.vibratoPosition >= 0) != rules.vibratoPeriodRisesFirst;
    channel.periodDelta = up ? -delta : delta;
    channel.updateFlags |= kUpdateFrequency;
}

void advanceWave(std::int8_t& wavePosition, std::uint8_t speed) {
    std::int32_t position = static_cast<std::int8_t>(wavePosition + speed);
    if (position > kLastVibratoPosition) position -= kVibratoPositions;
    wavePosition = static_cast<std::int8_t>(position);
}

void advanceVibrato(Channel& channel) {
    advanceWave(channel.vibratoPosition, channel.vibratoSpeed);
}

// The volume of this tick only, kept within 0..64 as every volume is.
void tremoloStep(Channel& channel) {
    const std::int32_t magnitude =
        waveMagnitude(channel.tremoloPosition, channel.waveControl >> kTremoloWaveShift);
    const std::int32_t delta = (channel.tremoloDepth * magnitude) >> kTremoloDepthShift;
    const std::int32_t volume =
        channel.tremoloPosition >= 0 ? channel.volume + delta : channel.volume - delta;
    channel.volumeDelta = std::clamp(volume, 0, kMaxVolume) - channel.volume;
    channel.updateFlags |= kUpdateVolume;
    advanceWave(channel.tremoloPosition, channel.tremoloSpeed);
}

// Moves `value` as a slide of xy does on this tick: by xF and Fy once on the row tick, by
// x0 and 0y on the ticks after it (and on the row tick where asked); true when it moved.
bool slideByNibbles(std::int32_t& value, std::uint8_t xy, bool rowTick, bool onRowTick) {
    const std::uint8_t x = nibbleHigh(xy);
    const std::uint8_t y = nibbleLow(xy);
    if (y == kFineSlide && x != 0) {
        if (rowTick) value += x;
        return rowTick;
    }
    if (x == kFineSlide && y != 0) {
        if (rowTick) value -= y;
        return rowTick;
    }
    if (rowTick && !onRowTick) return false;
    if (x == 0) value -= y;
    if (y == 0) value += x;
    return x == 0 || y == 0;
}

// XM and MOD slide on the ticks after the row tick, up by the high nibble, else down
// by the low one. S3M slides by xF and Fy once on the row tick, by x0 and 0y on the
// ticks after it (and on the row tick too where the format says so).
void volumeSlideStep(CellTick& cell, bool rowTick) {
    Channel& channel = cell.channel;
    if (!cell.song.module->rules.fineSlideNibbles) {
        if (!rowTick) slideVolume(channel);
        return;
    }
    std::int32_t volume = channel.volume;
    if (slideByNibbles(volume, channel.volumeSlideMemory, rowTick,
                       cell.song.module->rules.volumeSlideOnRowTick)) {
        changeVolume(channel, volume);
    }
}

void channelVolumeSlideStep(CellTick& cell, bool rowTick) {
    Channel& channel = cell.channel;
    std::int32_t volume = channel.channelVolume;
    if (slideByNibbles(volume, cell.cell.parameter, rowTick, false)) {
        channel.channelVolume = std::clamp<std::int32_t>(volume, 0, kFullChannelVolume);
        channel.updateFlags |= kUpdateVolume;
    }
}

// XM slides on the ticks after the row tick, up by x, else down by y. IT slides by
// nibbles as a volume slide does, in its own 128 steps.
void globalVolumeSlideStep(CellTick& cell, bool rowTick) {
    Song& song = cell.song;
    if (!song.module->rules.fineSlideNibbles) {
        if (!rowTick) {
            song.globalVolume = slid(song.globalVolume, song.globalVolumeSlideMemory, kMaxVolume);
        }
        return;
    }
    std::int32_t volume = song.globalVolume * kGlobalVolumeHalfSteps + song.globalVolumeHalfStep;
    if (!slideByNibbles(volume, cell.cell.parameter, rowTick, false)) return;
    volume = std::clamp(volume, 0, kMaxVolume * kGlobalVolumeHalfSteps);
    song.globalVolume = volume / kGlobalVolumeHalfSteps;
    song.globalVolumeHalfStep = volume % kGlobalVolumeHalfSteps;
    song.globalVolumeSlid = true;
    cell.channel.updateFlags |= kUpdateVolume;
}

// XM slides on the ticks after the row tick, right by x, else left by y. IT slides by
// nibbles as a volume slide does, in its own 64 steps, but left by x and right by y.
void panningSlideStep(CellTick& cell, bool rowTick) {
    Channel& channel = cell.channel;
    if (!cell.song.module->rules.fineSlideNibbles) {
        if (!rowTick) slidePanning(channel);
        return;
    }
    const std::int32_t steps = (channel.panning + kPanningPerItStep / 2) / kPanningPerItStep;
    std::int32_t leftward = kItPanningSteps - steps;
    if (!slideByNibbles(leftward, cell.cell.parameter, rowTick, false)) return;
    changePanning(channel,
                  (kItPanningSteps - std::clamp(leftward, 0, kItPanningSteps)) * kPanningPerItStep);
}

// T0x and T1x of IT slide the BPM on the ticks after the row tick.
void tempoSlideStep(Song& song, std::uint8_t parameter) {
    if (parameter >= kFirstTempo) return;
    const std::int32_t step = nibbleLow(parameter);
    const std::int32_t bpm =
        nibbleHigh(parameter) == kTempoSlideUp ? song.bpm + step : song.bpm - step;
    applyBpm(song, std::clamp(bpm, kLowestTempo, kHighestTempo));
}

std::int32_t panbrelloWave(const Channel& channel) {
    const std::int32_t position = channel.panbrelloPosition;
    switch (channel.panbrelloWave) {
        case panbrelloSine:
            return static_cast<std::int32_t>(
                std::lround(kPanbrelloPeak * std::sin(position * kRadiansPerPanbrelloPosition)));
        case panbrelloRamp:
            return kPanbrelloPeak - (position + 1) / 2;
        case panbrelloSquare:
            return position < kPanbrelloPositions / 2 ? kPanbrelloPeak : 0;
        default:
            return channel.panbrelloRandom;
    }
}

// On every tick of its rows, the row tick too; the random wave takes its speed as the
// ticks it holds each value.
void panbrelloStep(CellTick& cell) {
    Channel& channel = cell.channel;
    if (channel.panbrelloWave == panbrelloRandom && channel.panbrelloHoldTicks == 0) {
        channel.panbrelloRandom = nextRandom(cell.song);
        channel.panbrelloHoldTicks = std::max<std::uint8_t>(channel.panbrelloSpeed, 1);
    }
    channel.panningDelta =
        (panbrelloWave(channel) * channel.panbrelloDepth) >> kPanbrelloDepthShift;
    channel.updateFlags |= kUpdatePanning;
    if (channel.panbrelloWave == panbrelloRandom) {
        channel.panbrelloHoldTicks -= 1;
    } else {
        channel.panbrelloPosition =
            static_cast<std::uint8_t>(channel.panbrelloPosition + channel.panbrelloSpeed);
    }
}

// S70..S72 act on the notes the channel let go of; S73..S76 set the playing note's
// new-note action.
// S77..S7C by y - 7: the volume, panning and pitch envelopes of the playing note off and on
// in turn. One turned off holds its value (the peers agree) until turned on again, when
// it goes on from where it stood.
void switchEnvelope(Channel& channel, std::int32_t choice) {
    constexpr std::uint8_t kEnvelopeBits[] = {kVolumeEnvelopeOff, kPanningEnvelopeOff,
                                              kPitchEnvelopeOff};
    const std::uint8_t bit = kEnvelopeBits[(choice / 2) % std::size(kEnvelopeBits)];
    Note& note = channel.playing;
    if (choice % 2 == 0) {
        note.envelopesOff |= bit;
    } else {
        note.envelopesOff &= static_cast<std::uint8_t>(~bit);
    }
}

void noteActionsRow(CellTick& cell, std::uint8_t y) {
    constexpr DuplicateAction kPastNoteActions[] = {DuplicateAction::cut, DuplicateAction::noteOff,
                                                    DuplicateAction::fade};
    constexpr NewNoteAction kNewNoteActions[] = {NewNoteAction::cut, NewNoteAction::continuePlaying,
                                                 NewNoteAction::noteOff, NewNoteAction::fade};
    constexpr std::uint8_t kPastNoteCount = std::size(kPastNoteActions);
    if (y < kPastNoteCount) {
        actOnLetGoNotes(cell.song, cell.channel, kPastNoteActions[y]);
    } else if (y < kPastNoteCount + std::size(kNewNoteActions)) {
        cell.channel.playing.newNoteActionSet = true;
        cell.channel.playing.newNoteAction = kNewNoteActions[y - kPastNoteCount];
    } else {
        switchEnvelope(cell.channel, y - kPastNoteCount - std::size(kNewNoteActions));
    }
}

// Exx and Fxx of S3M: EFx and EEx slide once on the row tick, in whole and quarter
// steps; the others on each tick after it.
void s3mPortamento(CellTick& cell, bool rowTick, bool up) {
    const std::uint8_t parameter = cell.cell.parameter;
    const std::uint8_t x = nibbleHigh(parameter);
    const std::uint8_t y = nibbleLow(parameter);
    std::int32_t amount = 0;
    if (x == kFineSlide) {
        amount = rowTick ? y * kPeriodUnitsPerSpeed : 0;
    } else if (x == kExtraFineSlide) {
        amount = rowTick ? y : 0;
    } else if (!rowTick) {
        amount = parameter * kPeriodUnitsPerSpeed;
    }
    if (amount == 0) return;
    const FormatRules& rules = cell.song.module->rules;
    if (up) {
        slidePeriodUp(cell.channel, rules, amount);
    } else {
        slidePeriodDown(cell.channel, rules, amount);
    }
    cell.channel.updateFlags |= kUpdateFrequency;
}

void tremorStep(Channel& channel) {
    if (channel.tremorCounter >= channel.tremorOnTicks) channel.volumeDelta = -channel.volume;
    channel.tremorCounter += 1;
    if (channel.tremorCounter >= channel.tremorOnTicks + channel.tremorOffTicks) {
        channel.tremorCounter = 0;
    }
    channel.updateFlags |= kUpdateVolume;
}

void arpeggioStep(CellTick& cell) {
    Channel& channel = cell.channel;
    const std::uint8_t parameter = cell.cell.parameter;
    const std::int32_t step = cell.song.tick % kArpeggioSteps;
    const std::int32_t semitones = step == 1   ? nibbleHigh(parameter)
                                   : step == 2 ? nibbleLow(parameter)
                                               : 0;
    if (cell.song.module->flags & kLinearFrequencies) {
        channel.periodDelta = semitones * kPeriodsPerSemitone;
    } else {
        const FormatRules& rules = cell.song.module->rules;
        const std::int32_t finetune = sampleFinetune(cell.song, cell.sample);
        channel.periodDelta = notePeriod(rules, channel.baseNote + semitones, finetune) -
                              notePeriod(rules, channel.baseNote, finetune);
    }
    channel.updateFlags |= kUpdateFrequency;
}

// Volume changes of multi retrigger, by x, that are not additions.
enum RetriggerChange : std::uint8_t {
    retriggerTwoThirds = 6,
    retriggerHalf = 7,
    retriggerUnchanged = 8,
    retriggerThreeHalves = 14,
    retriggerDouble = 15,
};

std::int32_t retriggeredVolume(std::uint8_t change, std::int32_t volume) {
    static constexpr std::int32_t kAdded[16] = {0, -1, -2, -4, -8, -16, 0, 0,
                                                0, 1,  2,  4,  8,  16,  0, 0};
    switch (change) {
        case retriggerTwoThirds:
            return volume * 2 / 3;
        case retriggerHalf:
            return volume >> 1;
        case retriggerThreeHalves:
            return volume * 3 / 2;
        case retriggerDouble:
            return volume * 2;
        default:
            return volume + kAdded[change & 15];
    }
}

void multiRetriggerStep(CellTick& cell) {
    Channel& channel = cell.channel;
    const std::int32_t interval = channel.retriggerInterval;
    if (interval == 0 || cell.song.tick % interval != 0) return;
    const std::uint8_t change = channel.retriggerVolumeChange;
    if (change != 0 && change != retriggerUnchanged) {
        changeVolume(channel, retriggeredVolume(change, channel.volume));
    }
    channel.updateFlags |= kUpdateTrigger;
}

// A row the pattern of `order` lacks is row 0 there, as a break past row 63 is.
std::int32_t rowInPattern(const Song& song, std::int32_t order, std::int32_t row) {
    return row < song.module->patterns[song.module->orderTable[order]].rows ? row : 0;
}

void extendedRow(CellTick& cell, RowTick& row) {
    Song& song = cell.song;
    Channel& channel = cell.channel;
    const std::uint8_t y = nibbleLow(cell.cell.parameter);
    switch (extendedCommand(cell.song.module->rules, cell.cell.parameter)) {
        case ExtendedCommand::finePortamentoUp:
            slidePeriodUp(channel, song.module->rules, y * kPeriodUnitsPerSpeed);
            break;
        case ExtendedCommand::finePortamentoDown:
            slidePeriodDown(channel, song.module->rules, y * kPeriodUnitsPerSpeed);
            break;
        case ExtendedCommand::glissandoControl:
            if (song.module->rules.glissando) channel.glissando = y != 0;
            break;
        case ExtendedCommand::vibratoControl:
            channel.waveControl =
                static_cast<std::uint8_t>((channel.waveControl & kWaveControlKept) | y);
            break;
        case ExtendedCommand::tremoloControl:
            channel.waveControl = static_cast<std::uint8_t>(
                (channel.waveControl & ~kWaveControlKept) | y << kTremoloWaveShift);
            break;
        case ExtendedCommand::sampleFinetune:
            setSampleFinetune(song, cell.sample, static_cast<std::int8_t>(y));
            break;
        case ExtendedCommand::patternLoop:
            if (y == 0) {
                channel.patternLoopRow = song.currentRow;
                break;
            }
            channel.patternLoopCount =
                channel.patternLoopCount == 0 ? y : channel.patternLoopCount - 1;
            // The loop row comes next; the current row stays the one being played, and a
            // break or jump in the row keeps its place.
            if (channel.patternLoopCount != 0 && song.nextRow == -1) {
                song.nextRow = rowInPattern(song, song.currentOrder, channel.patternLoopRow);
                forgetRows(song, song.currentOrder, song.nextRow, song.currentRow);
            }
            break;
        case ExtendedCommand::setPanningCoarse:
            changePanning(channel, y * kPanningPerNibble);
            break;
        case ExtendedCommand::fineVolumeUp:
            remember(channel.fineVolumeSlideMemory, y, song.module->rules);
            changeVolume(channel, channel.volume + channel.fineVolumeSlideMemory);
            break;
        case ExtendedCommand::fineVolumeDown:
            remember(channel.fineVolumeSlideMemory, y, song.module->rules);
            changeVolume(channel, channel.volume - channel.fineVolumeSlideMemory);
            break;
        case ExtendedCommand::noteDelay:
            channel.volume = row.volumeBefore;
            channel.period = row.periodBefore;
            channel.panning = row.panningBefore;
            channel.updateFlags &=
                ~(kUpdateFrequency | kUpdateVolume | kUpdatePanning | kUpdateTrigger);
            break;
        case ExtendedCommand::patternDelay:
            if (!song.module->rules.delayAtRowEndSpeed) song.patternDelayTicks = y * song.speed;
            song.patternDelayRows = y;
            break;
        case ExtendedCommand::macroSelect:
            channel.macroSelect = y;
            break;
        case ExtendedCommand::finePatternDelay:
            song.patternDelayTicks += y;
            break;
        case ExtendedCommand::panbrelloControl:
            if (y <= panbrelloRandom) channel.panbrelloWave = y;
            break;
        case ExtendedCommand::noteActions:
            noteActionsRow(cell, y);
            break;
        // Around the listener at the centre, as the peers play it; neither undoes it at S90.
        case ExtendedCommand::surround:
            if (y == 1) {
                changePanning(channel, kCentrePanning);
                channel.surround = true;
            }
            break;
        case ExtendedCommand::highSampleOffset:
            channel.sampleOffsetHigh = y * kFramesPerHighOffset;
            break;
        default:
            break;
    }
}

void extendedTick(CellTick& cell) {
    Channel& channel = cell.channel;
    const std::int32_t tick = cell.song.tick;
    const std::uint8_t y = nibbleLow(cell.cell.parameter);
    switch (extendedCommand(cell.song.module->rules, cell.cell.parameter)) {
        case ExtendedCommand::retriggerNote:
            if (y != 0 && tick % y == 0) {
                channel.updateFlags |= kUpdateTrigger | kUpdateVolume | kUpdateFrequency;
            }
            break;
        case ExtendedCommand::noteCut:
            if (tick == y) changeVolume(channel, 0);
            break;
        case ExtendedCommand::noteDelay:
            if (tick != y) {
                channel.updateFlags &=
                    ~(kUpdateFrequency | kUpdateVolume | kUpdatePanning | kUpdateTrigger);
                break;
            }
            resetChannel(channel, cell.instrument, cell.sample, cell.song.module->rules, true);
            channel.period = channel.notePeriod;
            channel.updateFlags |= kUpdateFrequency;
            if (cell.cell.volume != VolumeCommand::none) volumeColumnRow(cell);
            channel.updateFlags |= kUpdateTrigger;
            takeInstrumentFilter(channel.playing, cell.instrument);
            break;
        default:
            break;
    }
}

void breakPattern(Song& song, const RowTick& row, std::uint8_t parameter) {
    std::int32_t target = parameter;
    if (!song.module->rules.breakRowHex) {
        target = nibbleHigh(parameter) * 10 + nibbleLow(parameter);
        if (target > kLastBreakRow) target = 0;
    }
    if (!row.positionJumpSeen) {
        const std::int32_t order = song.currentOrder;
        song.nextOrder = lastOfSection(*song.module, order) ? song.firstOrder : order + 1;
    }
    if (song.nextOrder >= song.module->songLength) song.nextOrder = song.firstOrder;
    song.nextRow = rowInPattern(song, song.nextOrder, target);
}

}  // namespace

// The song's own sequence, which starts alike at every start, so that renders repeat.
std::int8_t nextRandom(Song& song) {
    return static_cast<std::int8_t>(drawRandom(song.randomState));
}

void varyNote(Song& song, Note& note, const Instrument& instrument) {
    note.volumeVariation = instrument.randomVolume == 0
                               ? 0
                               : nextRandom(song) * instrument.randomVolume / kRandomHalfRange;
    note.panningVariation =
        instrument.randomPanning == 0
            ? 0
            : nextRandom(song) * instrument.randomPanning * kPanningPerItStep / kRandomHalfRange;
    note.randomState = song.randomState;
}

void takeInstrumentFilter(Note& note, const Instrument& instrument) {
    if (instrument.filterCutoff != kKeepFilter) {
        note.filterCutoff = static_cast<std::uint8_t>(instrument.filterCutoff);
    }
    if (instrument.filterResonance != kKeepFilter) {
        note.filterResonance = static_cast<std::uint8_t>(instrument.filterResonance);
    }
}

// Zxx: below 0x80 the macro SFx chose, with xx; from 0x80 on a macro of its own.
void runMacro(CellTick& cell) {
    const Module& module = *cell.song.module;
    const std::uint8_t z = cell.cell.parameter;
    const bool parametered = z < kFixedMacroFirst;
    const Macro& macro = parametered ? module.parameteredMacros[cell.channel.macroSelect]
                                     : module.fixedMacros[z - kFixedMacroFirst];
    const std::uint8_t value =
        macro.takesParameter ? std::min<std::uint8_t>(z, kOpenCutoff) : macro.value;
    Note& note = cell.channel.playing;
    if (macro.target == MacroTarget::cutoff) note.filterCutoff = value;
    if (macro.target == MacroTarget::resonance) note.filterResonance = value;
}

// A sample's panning stands over its instrument's; notes away from the instrument's
// pitch-pan centre move by its separation.
void takePanning(Channel& channel, const Instrument& instrument, const Sample& sample) {
    if (instrument.panning != kNoPanning) channel.panning = instrument.panning;
    if (sample.panning != kNoPanning) channel.panning = sample.panning;
    const std::int32_t fromCentre = channel.note - instrument.pitchPanCentre;
    channel.panning = std::clamp(channel.panning + fromCentre * instrument.pitchPanSeparation *
                                                       kPanningPerItStep / kPitchPanSteps,
                                 0, kMaxPanning);
}

void resetChannel(Channel& channel, const Instrument& instrument, const Sample& sample,
                  const FormatRules& rules, bool restartEnvelopes) {
    channel.volume = sample.volume;
    if (rules.samplePanning) takePanning(channel, instrument, sample);
    if (restartEnvelopes) {
        restartNote(channel, instrument);
    } else {
        channel.updateFlags |= kUpdateVolume | kUpdatePanning;
    }
}

void restartNote(Channel& channel, const Instrument& instrument) {
    Note& note = channel.playing;
    // An envelope that carries goes on from where the instrument's last note left it.
    const bool sameInstrument = note.instrument == &instrument;
    const auto restart = [sameInstrument](EnvelopeState& state, const Envelope& envelope,
                                          std::int32_t output) {
        if (!sameInstrument || !(envelope.type & kEnvelopeCarry)) restartEnvelope(state, output);
    };
    restart(note.volumeEnvelope, instrument.volumeEnvelope, kFullEnvelope);
    restart(note.panningEnvelope, instrument.panningEnvelope, kCentreEnvelope);
    restart(note.pitchEnvelope, instrument.pitchEnvelope, kCentreEnvelope);
    channel.playing.keyOff = false;
    channel.playing.fading = false;
    channel.playing.envelopesOff = 0;
    channel.playing.fadeoutVolume = kFullFadeout;
    channel.playing.autoVibratoSweepCount = 0;
    channel.playing.autoVibratoPosition = 0;
    if ((channel.waveControl & 15) < 4) channel.vibratoPosition = 0;
    if ((channel.waveControl >> 4) < 4) channel.tremoloPosition = 0;
    channel.tremorCounter = 0;
    channel.updateFlags |= kUpdateVolume | kUpdatePanning;
}

namespace {

// A zero value repeats the remembered one; the row tick remembers any other.
std::uint8_t remembered(std::uint8_t& memory, std::uint8_t value, bool rowTick) {
    if (value == 0) return memory;
    if (rowTick) memory = value;
    return value;
}

// The column's value for the slides: volume steps, or pitch slides in the effect column's
// units. Where the format says so, the column's volume slides share one memory and its
// pitch slides E and F's.
std::uint8_t columnValue(CellTick& cell, bool rowTick) {
    const FormatRules& rules = cell.song.module->rules;
    Channel& channel = cell.channel;
    const std::uint8_t x = cell.cell.volumeValue;
    switch (cell.cell.volume) {
        case VolumeCommand::slideDown:
        case VolumeCommand::slideUp:
        case VolumeCommand::fineDown:
        case VolumeCommand::fineUp:
            return rules.volumeColumnMemory ? remembered(channel.columnSlideMemory, x, rowTick) : x;
        case VolumeCommand::portamentoDown:
        case VolumeCommand::portamentoUp: {
            const auto units = static_cast<std::uint8_t>(x * kColumnPitchSlideUnits);
            const std::uint8_t group =
                rules.memoryGroups[static_cast<std::size_t>(Command::slideDown)];
            if (!rules.volumeColumnMemory || group == 0) return units;
            return remembered(channel.sharedMemories[group], units, rowTick);
        }
        default:
            return x;
    }
}

// Fine slides slide once on the row tick; the others too where the format's do.
void columnVolumeSlideRow(CellTick& cell) {
    const VolumeCommand command = cell.cell.volume;
    const std::uint8_t amount = columnValue(cell, true);
    const bool fine = command == VolumeCommand::fineDown || command == VolumeCommand::fineUp;
    if (!fine && !cell.song.module->rules.columnSlidesOnRowTick) return;
    const bool down = command == VolumeCommand::fineDown || command == VolumeCommand::slideDown;
    changeVolume(cell.channel, cell.channel.volume + (down ? -amount : amount));
}

// The column's portamento speed; where G shares a memory, the column's shares it too.
void aimColumnPortamento(CellTick& cell) {
    const FormatRules& rules = cell.song.module->rules;
    Channel& channel = cell.channel;
    const std::uint8_t x = cell.cell.volumeValue;
    const bool given = cell.cell.volume == VolumeCommand::tonePortamentoSpeed;
    const auto speed = static_cast<std::uint8_t>(given ? x : x * kColumnPortamentoScale);
    const std::uint8_t group =
        rules.memoryGroups[static_cast<std::size_t>(Command::tonePortamento)];
    if (rules.volumeColumnMemory && group != 0) {
        channel.portamentoSpeed = remembered(channel.sharedMemories[group], speed, true);
    } else if (speed != 0) {
        channel.portamentoSpeed = speed;
    }
    channel.portamentoTarget = channel.notePeriod;
    channel.updateFlags &= ~kUpdateTrigger;
}

}  // namespace

void volumeColumnRow(CellTick& cell) {
    Channel& channel = cell.channel;
    const std::uint8_t x = cell.cell.volumeValue;
    switch (cell.cell.volume) {
        case VolumeCommand::setVolume:
            changeVolume(channel, x);
            break;
        case VolumeCommand::slideDown:
        case VolumeCommand::slideUp:
        case VolumeCommand::fineDown:
        case VolumeCommand::fineUp:
            columnVolumeSlideRow(cell);
            break;
        case VolumeCommand::portamentoDown:
        case VolumeCommand::portamentoUp:
            columnValue(cell, true);
            break;
        case VolumeCommand::vibratoSpeed:
            channel.vibratoSpeed = x;
            break;
        case VolumeCommand::vibrato:
            channel.vibratoDepth = x;
            break;
        case VolumeCommand::setPanning:
            changePanning(channel, x * kPanningPerNibble);
            break;
        case VolumeCommand::panningLeft:
            changePanning(channel, channel.panning - x);
            break;
        case VolumeCommand::panningRight:
            changePanning(channel, channel.panning + x);
            break;
        case VolumeCommand::tonePortamento:
        case VolumeCommand::tonePortamentoSpeed:
            aimColumnPortamento(cell);
            break;
        case VolumeCommand::panning:
            changePanning(channel, x);
            break;
        default:
            break;
    }
}

void volumeColumnTick(CellTick& cell) {
    Channel& channel = cell.channel;
    const std::uint8_t x = cell.cell.volumeValue;
    switch (cell.cell.volume) {
        case VolumeCommand::slideDown:
            changeVolume(channel, channel.volume - columnValue(cell, false));
            break;
        case VolumeCommand::slideUp:
            changeVolume(channel, channel.volume + columnValue(cell, false));
            break;
        case VolumeCommand::vibrato:
            channel.vibratoDepth = x;
            vibratoStep(channel, cell.song.module->rules);
            advanceVibrato(channel);
            break;
        case VolumeCommand::panningLeft:
            changePanning(channel, channel.panning - x);
            break;
        case VolumeCommand::panningRight:
            changePanning(channel, channel.panning + x);
            break;
        case VolumeCommand::tonePortamento:
        case VolumeCommand::tonePortamentoSpeed:
            tonePortamentoStep(channel);
            break;
        case VolumeCommand::portamentoDown:
            slidePeriodDown(channel, cell.song.module->rules,
                            columnValue(cell, false) * kPeriodUnitsPerSpeed);
            channel.updateFlags |= kUpdateFrequency;
            break;
        case VolumeCommand::portamentoUp:
            slidePeriodUp(channel, cell.song.module->rules,
                          columnValue(cell, false) * kPeriodUnitsPerSpeed);
            channel.updateFlags |= kUpdateFrequency;
            break;
        default:
            break;
    }
}

void effectRow(CellTick& cell, RowTick& row) {
    Song& song = cell.song;
    Channel& channel = cell.channel;
    const std::uint8_t parameter = cell.cell.parameter;
    const std::uint8_t x = nibbleHigh(parameter);
    const std::uint8_t y = nibbleLow(parameter);
    settlePanning(channel);
    switch (cell.cell.command) {
        case Command::portamentoUp:
            remember(channel.portamentoUpMemory, parameter, song.module->rules);
            break;
        case Command::portamentoDown:
            remember(channel.portamentoDownMemory, parameter, song.module->rules);
            break;
        case Command::tonePortamento:
            if (parameter != 0) channel.portamentoSpeed = parameter;
            aimPortamento(channel);
            break;
        case Command::vibrato:
            if (x != 0) channel.vibratoSpeed = x;
            if (y != 0) channel.vibratoDepth = y;
            if (song.module->rules.vibratoOnRowTick) vibratoStep(channel, song.module->rules);
            break;
        case Command::tonePortamentoVolumeSlide:
            remember(channel.volumeSlideMemory, parameter, song.module->rules);
            aimPortamento(channel);
            volumeSlideStep(cell, true);
            break;
        case Command::vibratoVolumeSlide:
            remember(channel.volumeSlideMemory, parameter, song.module->rules);
            if (song.module->rules.vibratoOnRowTick) vibratoStep(channel, song.module->rules);
            volumeSlideStep(cell, true);
            break;
        case Command::setPanning:
            changePanning(channel, parameter);
            break;
        case Command::sampleOffset: {
            if (parameter != 0) channel.sampleOffsetMemory = parameter;
            const std::int64_t offset =
                channel.sampleOffsetHigh +
                std::int64_t{channel.sampleOffsetMemory} * kFrameOffsetPerUnit;
            Voice* voice = voiceAt(song.player->mixer, channel.playing.voiceIndex);
            const Sample& sample = cell.sample;
            const bool past = offset >= std::int64_t{sample.loopStart} + sample.loopLength;
            const OffsetPastEnd rule = song.module->rules.offsetPastEnd;
            const bool stops = rule == OffsetPastEnd::stops || (rule == OffsetPastEnd::fromEnd &&
                                                                sample.loopType == LoopType::none);
            if (past && stops) {
                channel.updateFlags = static_cast<std::uint8_t>(
                    (channel.updateFlags & ~kUpdateTrigger) | kUpdateStop);
            } else if (voice && past) {
                voice->startOffset = rule == OffsetPastEnd::fromEnd ? sample.loopStart : 0;
            } else if (voice) {
                voice->startOffset = static_cast<std::uint32_t>(offset);
            }
            break;
        }
        case Command::volumeSlide:
            remember(channel.volumeSlideMemory, parameter, song.module->rules);
            volumeSlideStep(cell, true);
            break;
        case Command::positionJump:
            song.nextRow = 0;
            song.nextOrder = parameter < song.module->songLength ? parameter : song.firstOrder;
            row.positionJumpSeen = true;
            break;
        case Command::setVolume:
            changeVolume(channel, parameter);
            break;
        case Command::patternBreak:
            breakPattern(song, row, parameter);
            break;
        case Command::extended:
            extendedRow(cell, row);
            break;
        case Command::speedOrTempo:
            if (parameter <= kLastSpeed) {
                song.speed = parameter;
            } else {
                applyBpm(song, parameter);
            }
            break;
        case Command::setGlobalVolume:
            song.globalVolume = std::min<std::int32_t>(parameter, kMaxVolume);
            song.globalVolumeHalfStep = 0;
            channel.updateFlags |= kUpdateVolume;
            break;
        case Command::setChannelVolume:
            if (parameter <= kFullChannelVolume) {
                channel.channelVolume = parameter;
                channel.updateFlags |= kUpdateVolume;
            }
            break;
        case Command::channelVolumeSlide:
            channelVolumeSlideStep(cell, true);
            break;
        case Command::globalVolumeSlide:
            if (parameter != 0) song.globalVolumeSlideMemory = parameter;
            globalVolumeSlideStep(cell, true);
            break;
        case Command::setEnvelopePosition:
            if (cell.instrument.volumeEnvelope.type & kEnvelopeOn) {
                setVolumeEnvelopePosition(channel.playing.volumeEnvelope,
                                          cell.instrument.volumeEnvelope, parameter);
            }
            break;
        case Command::panningSlide:
            if (parameter != 0) {
                channel.panningSlideMemory = parameter;
                channel.updateFlags |= kUpdatePanning;
            }
            panningSlideStep(cell, true);
            break;
        case Command::tempo:
            if (parameter >= kFirstTempo) applyBpm(song, parameter);
            break;
        case Command::panbrello:
            if (x != 0) channel.panbrelloSpeed = x;
            if (y != 0) channel.panbrelloDepth = y;
            panbrelloStep(cell);
            break;
        case Command::multiRetrigger:
            if (parameter != 0) {
                channel.retriggerVolumeChange = x;
                channel.retriggerInterval = y;
            }
            break;
        case Command::tremor:
            if (parameter != 0) {
                // Either the ticks as given, a 0 counting as 1, or one more than given.
                const bool asGiven = song.module->rules.tremorTicksAsGiven;
                channel.tremorOnTicks =
                    static_cast<std::uint8_t>(asGiven ? std::max<int>(x, 1) : x + 1);
                channel.tremorOffTicks =
                    static_cast<std::uint8_t>(asGiven ? std::max<int>(y, 1) : y + 1);
            }
            tremorStep(channel);
            break;
        case Command::extraFinePortamento:
            if (x == 1) {
                if (y != 0) channel.extraFineUpMemory = y;
                slidePeriodUp(channel, song.module->rules, channel.extraFineUpMemory);
            } else if (x == 2) {
                if (y != 0) channel.extraFineDownMemory = y;
                slidePeriodDown(channel, song.module->rules, channel.extraFineDownMemory);
            }
            break;
        case Command::tremolo:
            if (x != 0) channel.tremoloSpeed = x;
            if (y != 0) channel.tremoloDepth = y;
            break;
        case Command::speed:
            if (parameter != 0) song.speed = parameter;
            break;
        case Command::slideDown:
        case Command::slideUp:
            s3mPortamento(cell, true, cell.cell.command == Command::slideUp);
            break;
        case Command::fineVibrato:
            if (x != 0) channel.vibratoSpeed = x;
            if (y != 0) channel.vibratoDepth = y;
            vibratoStep(channel, cell.song.module->rules, kFineVibratoDepthShift);
            break;
        case Command::macro:
            runMacro(cell);
            break;
        default:
            break;
    }
}

void effectTick(CellTick& cell) {
    Song& song = cell.song;
    Channel& channel = cell.channel;
    settlePanning(channel);
    switch (cell.cell.command) {
        case Command::arpeggio:
            if (cell.cell.parameter != 0) arpeggioStep(cell);
            break;
        case Command::portamentoUp:
            slidePeriodUp(channel, song.module->rules,
                          channel.portamentoUpMemory * kPeriodUnitsPerSpeed);
            channel.periodDelta = 0;
            channel.updateFlags |= kUpdateFrequency;
            break;
        case Command::portamentoDown:
            slidePeriodDown(channel, song.module->rules,
                            channel.portamentoDownMemory * kPeriodUnitsPerSpeed);
            channel.periodDelta = 0;
            channel.updateFlags |= kUpdateFrequency;
            break;
        case Command::tonePortamento:
            tonePortamentoTick(cell);
            break;
        case Command::vibrato:
            vibratoStep(channel, cell.song.module->rules);
            advanceVibrato(channel);
            break;
        case Command::tonePortamentoVolumeSlide:
            tonePortamentoTick(cell);
            volumeSlideStep(cell, false);
            break;
        case Command::vibratoVolumeSlide:
            vibratoStep(channel, cell.song.module->rules);
            advanceVibrato(channel);
            volumeSlideStep(cell, false);
            break;
        case Command::volumeSlide:
            volumeSlideStep(cell, false);
            break;
        case Command::extended:
            extendedTick(cell);
            break;
        case Command::globalVolumeSlide:
            globalVolumeSlideStep(cell, false);
            break;
        case Command::panningSlide:
            panningSlideStep(cell, false);
            break;
        case Command::tempo:
            tempoSlideStep(song, cell.cell.parameter);
            break;
        case Command::panbrello:
            panbrelloStep(cell);
            break;
        case Command::multiRetrigger:
            multiRetriggerStep(cell);
            break;
        case Command::channelVolumeSlide:
            channelVolumeSlideStep(cell, false);
            break;
        case Command::tremor:
            tremorStep(channel);
            break;
        case Command::tremolo:
            tremoloStep(channel);
            break;
        case Command::slideDown:
        case Command::slideUp:
            s3mPortamento(cell, false, cell.cell.command == Command::slideUp);
            break;
        case Command::fineVibrato:
            vibratoStep(channel, cell.song.module->rules, kFineVibratoDepthShift);
            advanceVibrato(channel);
            break;
        default:
            break;
    }
}

}  // namespace vorn3
