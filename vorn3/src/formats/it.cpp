// IT: header, order list and message, then instruments (in the layouts before and from
// 2.00), samples and patterns found through tables of offsets.
#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "formats/formats.h"
#include "formats/reader.h"
#include "formats/sample_codecs.h"

namespace vorn3 {
namespace {

constexpr char kMagic[] = "IMPM";
constexpr std::int64_t kMagicBytes = 4;
constexpr std::int64_t kTitleBytes = 26;
constexpr std::int64_t kCountsOffset = 0x20;
constexpr std::int64_t kChannelPanOffset = 0x40;
constexpr std::int64_t kOrdersOffset = 0xC0;
constexpr std::int32_t kFileChannels = 64;
constexpr std::int32_t kMaxInstruments = 255;  // a cell names them in a byte
constexpr std::int32_t kMaxSamples = 255;      // as the keyboard does
constexpr std::int32_t kMaxPatterns = 256;     // as the orders do
constexpr std::int32_t kDefaultRows = 64;      // of a pattern stored as none
constexpr std::int32_t kNotes = 120;
constexpr std::int32_t kEnvelopeNodes = 25;
// Header bits.
constexpr std::uint16_t kStereo = 1;
constexpr std::uint16_t kUseInstruments = 4;
constexpr std::uint16_t kLinearSlides = 8;
constexpr std::uint16_t kOldEffects = 16;
constexpr std::uint16_t kCompatibleGxx = 32;
constexpr std::uint16_t kMessageAttached = 1;  // of the special field
constexpr std::uint16_t kEditHistory = 2;
constexpr std::uint16_t kMacrosEmbedded = 8;
constexpr std::int64_t kEditEntryBytes = 8;
constexpr std::int64_t kMacroBytes = 32;
constexpr std::int32_t kGlobalMacros = 9;            // start, stop, tick, note on and off, ...
constexpr std::int32_t kResonancePerFixedMacro = 8;  // the default Z80..Z8F
constexpr std::uint16_t kFirstNewInstruments = 0x0200;
constexpr std::uint8_t kFullGlobalVolume = 128;  // the engine's is 64
constexpr std::uint8_t kDefaultMixingVolume = 48;
constexpr std::int32_t kDefaultSpeed = 6;
constexpr std::int16_t kMinBpm = 32;
constexpr std::int16_t kDefaultBpm = 125;
constexpr std::int16_t kMaxBpm = 255;
// Channel pannings: 0..64, 100 around the listener, +128 for a disabled channel.
constexpr std::uint8_t kChannelDisabled = 128;
constexpr std::uint8_t kSurround = 100;
constexpr std::int32_t kPanningPerStep = 4;  // 0..64 to 0..255
constexpr std::int32_t kMaxPanning = 255;
constexpr std::uint8_t kCentre = 128;
constexpr std::int32_t kFullSeparation = 128;
constexpr char kMessageNewLine = '\r';
// Instruments.
constexpr std::int64_t kOldFadeoutOffset = 0x18;
constexpr std::int64_t kOldNodesOffset = 0x1F8;
constexpr std::uint8_t kOldNodesEnd = 0xFF;
constexpr std::int64_t kFieldsOffset = 0x11;  // after the file name, of instruments and samples
constexpr std::int64_t kNameOffset = 0x20;
constexpr std::int64_t kFilterOffset = 0x3A;  // cutoff, then resonance
constexpr std::uint8_t kInstrumentPanUnused = 128;
constexpr std::int32_t kMaxPitchPan = 32;
constexpr std::uint8_t kMaxRandomVolume = 100;
constexpr std::uint8_t kMaxRandomPanning = 64;
constexpr std::uint8_t kFilterUsed = 128;
constexpr std::int64_t kKeyboardOffset = 0x40;
constexpr std::int64_t kEnvelopesOffset = 0x130;
constexpr std::int64_t kEnvelopeBytes = 82;
constexpr std::int32_t kNewFadeoutScale = 64;   // of 1024 a tick, in the engine's 65536
constexpr std::int32_t kOldFadeoutScale = 128;  // of 512 a tick
constexpr std::uint8_t kEnvelopeOnBit = 1;
constexpr std::uint8_t kEnvelopeLoopBit = 2;
constexpr std::uint8_t kEnvelopeSustainBit = 4;
constexpr std::uint8_t kEnvelopeCarryBit = 8;  // of later trackers' files
constexpr std::uint8_t kEnvelopeFilterBit = 128;
constexpr std::int32_t kEnvelopeCentre = 32;  // panning and pitch nodes are -32..32
constexpr std::uint16_t kMaxEnvelopeValue = 64;
// Samples.
constexpr std::int64_t kSampleNameOffset = 0x14;
constexpr std::uint8_t kHasData = 1;
constexpr std::uint8_t kSixteenBit = 2;
constexpr std::uint8_t kStereoSample = 4;
constexpr std::uint8_t kCompressed = 8;
constexpr std::uint8_t kLoop = 16;
constexpr std::uint8_t kSustainLoop = 32;
constexpr std::uint8_t kPingPongLoop = 64;
constexpr std::uint8_t kPingPongSustainLoop = 128;
constexpr std::uint8_t kSignedSamples = 1;  // of the convert byte
constexpr std::uint8_t kSecondDeltas = 4;   // of the convert byte, for compressed samples
constexpr std::uint8_t kSamplePanUsed = 128;
constexpr std::uint8_t kMaxVibratoDepth = 64;
constexpr std::int32_t kSemitones = 12;  // C-5 plays at the C5 speed, C-4 at the engine's
// Patterns.
constexpr std::int64_t kPatternHeaderBytes = 8;
constexpr std::uint8_t kNewMask = 128;  // of the channel byte
constexpr std::uint8_t kHasNote = 1;
constexpr std::uint8_t kHasInstrument = 2;
constexpr std::uint8_t kHasVolume = 4;
constexpr std::uint8_t kHasCommand = 8;
constexpr std::uint8_t kLastNote = 16;
constexpr std::uint8_t kLastInstrument = 32;
constexpr std::uint8_t kLastVolume = 64;
constexpr std::uint8_t kLastCommand = 128;
constexpr std::uint8_t kFileNoteOff = 255;
constexpr std::uint8_t kFileNoteCut = 254;
// Where IT's Sxy differs from ST3's, by x: it has no S2x, and commands of its own.
struct SCommand {
    std::uint8_t x;
    ExtendedCommand command;
};
constexpr SCommand kItSCommands[] = {
    {0x2, ExtendedCommand::none},
    {0x5, ExtendedCommand::panbrelloControl},
    {0x6, ExtendedCommand::finePatternDelay},
    {0x7, ExtendedCommand::noteActions},
    {0x9, ExtendedCommand::surround},
    {0xA, ExtendedCommand::highSampleOffset},
    {0xF, ExtendedCommand::macroSelect},
};

constexpr FormatRules kItRules = [] {
    FormatRules rules = kXmRules;
    // D, K and L share a memory, E and F another; the rest keep their own.
    const Command groups[][3] = {
        {Command::volumeSlide, Command::vibratoVolumeSlide, Command::tonePortamentoVolumeSlide},
        {Command::slideDown, Command::slideUp, Command::slideUp},
        {Command::tremor, Command::tremor, Command::tremor},
        {Command::arpeggio, Command::arpeggio, Command::arpeggio},
        {Command::multiRetrigger, Command::multiRetrigger, Command::multiRetrigger},
        {Command::extended, Command::extended, Command::extended},
        {Command::channelVolumeSlide, Command::channelVolumeSlide, Command::channelVolumeSlide},
        {Command::globalVolumeSlide, Command::globalVolumeSlide, Command::globalVolumeSlide},
        {Command::panningSlide, Command::panningSlide, Command::panningSlide},
        {Command::tempo, Command::tempo, Command::tempo},
    };
    std::uint8_t group = 0;
    for (const auto& members : groups) {
        group += 1;
        for (const Command command : members)
            rules.memoryGroups[static_cast<std::size_t>(command)] = group;
    }
    rules.extendedCommands = kSExtendedCommands;
    for (const SCommand& s : kItSCommands)
        rules.extendedCommands[s.x] = s.command;
    rules.fineSlideNibbles = true;
    rules.noteCommandsNeedNote = true;
    rules.vibratoPeriodRisesFirst = true;
    rules.tremorTicksAsGiven = true;
    rules.portamentoStartsNote = true;
    rules.portamentoTakesInstrument = true;
    rules.delayAtRowEndSpeed = true;
    rules.glissando = true;
    rules.breakRowHex = true;
    rules.vibratoFineness = 1;
    rules.envelopesByTick = true;
    rules.samplesVibrate = true;
    rules.offsetPastEnd = OffsetPastEnd::ignored;
    rules.notesRestartEnvelopes = true;
    rules.volumeColumnMemory = true;
    rules.columnSlidesOnRowTick = false;
    return rules;
}();

struct Header {
    std::int32_t orderCount;
    std::int32_t instrumentCount;
    std::int32_t sampleCount;
    std::int32_t patternCount;
    std::uint16_t createdWith;
    std::uint16_t compatibleWith;
    std::uint16_t flags;
    std::uint16_t special;
    std::uint8_t separation;
    std::uint16_t messageLength;
    std::uint32_t messageOffset;
    std::array<std::uint8_t, kFileChannels> channelPan;
    std::array<std::uint8_t, kFileChannels> channelVolume;
};

void nameVersions(Module& module, const Header& header) {
    std::snprintf(module.format.data(), module.format.size(), "IT %X.%02X",
                  header.compatibleWith >> 8, header.compatibleWith & 0xFF);
    if (header.createdWith >> 12 == 0) {
        std::snprintf(module.tracker.data(), module.tracker.size(), "Impulse Tracker %X.%02X",
                      header.createdWith >> 8, header.createdWith & 0xFF);
    } else {
        std::snprintf(module.tracker.data(), module.tracker.size(), "tracker %04X",
                      header.createdWith);
    }
}

void readHeader(Reader& reader, Module& module, Header& header) {
    seekTo(reader, kMagicBytes);
    readBytes(reader, module.title.data(), kTitleBytes);
    seekTo(reader, kCountsOffset);
    header.orderCount = readU16(reader);
    header.instrumentCount = readU16(reader);
    header.sampleCount = readU16(reader);
    header.patternCount = readU16(reader);
    header.createdWith = readU16(reader);
    header.compatibleWith = readU16(reader);
    header.flags = readU16(reader);
    header.special = readU16(reader);
    module.defaultGlobalVolume =
        static_cast<std::uint8_t>(std::min(readU8(reader), kFullGlobalVolume) / 2);
    // The tracker's default mixing volume plays at the engine's level; a voice stops
    // growing at twice that.
    const std::uint8_t mixing = std::min(readU8(reader), kFullGlobalVolume);
    module.masterVolumeScale = mixing == 0 ? 1.0 : mixing / double{kDefaultMixingVolume};
    const std::uint8_t speed = readU8(reader);
    const std::uint8_t tempo = readU8(reader);
    header.separation = std::min<std::uint8_t>(readU8(reader), kFullSeparation);
    skip(reader, 1);  // pitch wheel depth
    header.messageLength = readU16(reader);
    header.messageOffset = readU32(reader);
    seekTo(reader, kChannelPanOffset);
    readBytes(reader, header.channelPan.data(), kFileChannels);
    readBytes(reader, header.channelVolume.data(), kFileChannels);
    module.defaultTempo = static_cast<std::int16_t>(speed != 0 ? speed : kDefaultSpeed);
    module.defaultBpm = tempo >= kMinBpm ? std::min<std::int16_t>(tempo, kMaxBpm) : kDefaultBpm;
    module.rules = kItRules;
    if (header.flags & kLinearSlides) module.flags = kLinearFrequencies;
    // Vibratos as the older trackers played them: coarser, and not on the row tick.
    if (header.flags & kOldEffects) {
        module.rules.vibratoFineness = 0;
        module.rules.vibratoOnRowTick = false;
        module.rules.offsetPastEnd = OffsetPastEnd::fromEnd;
    }
    // Without it, G remembers its parameter with E and F, and an instrument beside it
    // leaves the playing note's envelopes where they are (the peers agree).
    if (!(header.flags & kCompatibleGxx)) {
        module.rules.memoryGroups[static_cast<std::size_t>(Command::tonePortamento)] =
            module.rules.memoryGroups[static_cast<std::size_t>(Command::slideDown)];
        module.rules.portamentoRestartsEnvelopes = false;
    }
    nameVersions(module, header);
}

// Disabled channels play their effects but no sound; around the listener is the centre.
void setChannels(Module& module, const Header& header) {
    for (std::int32_t c = 0; c < kFileChannels; ++c) {
        const std::uint8_t pan = header.channelPan[c];
        const std::uint8_t position = pan & ~kChannelDisabled;
        std::int32_t panning = std::min<std::int32_t>(position * kPanningPerStep, kMaxPanning);
        if (position == kSurround || !(header.flags & kStereo)) panning = kCentre;
        module.surroundChannels[c] = position == kSurround && (header.flags & kStereo);
        panning = kCentre + (panning - kCentre) * header.separation / kFullSeparation;
        module.channelPannings[c] = static_cast<std::uint8_t>(panning);
        module.channelVolumes[c] =
            pan & kChannelDisabled ? 0 : std::min(header.channelVolume[c], kFullChannelVolume);
    }
}

bool readMessage(Reader& reader, Module& module, const Header& header) {
    if (!(header.special & kMessageAttached) || header.messageLength == 0) return true;
    module.message = new (std::nothrow) char[header.messageLength + std::size_t{1}]();
    if (!module.message) return false;
    seekTo(reader, header.messageOffset);
    readBytes(reader, module.message, header.messageLength);
    std::replace(module.message, module.message + header.messageLength, kMessageNewLine, '\n');
    return true;
}

std::uint8_t envelopeType(std::uint8_t flags) {
    std::uint8_t type = 0;
    if (flags & kEnvelopeOnBit) type |= kEnvelopeOn;
    if (flags & kEnvelopeLoopBit) type |= kEnvelopeLoop;
    if (flags & kEnvelopeSustainBit) type |= kEnvelopeSustain;
    if (flags & kEnvelopeFilterBit) type |= kEnvelopeFilter;
    if (flags & kEnvelopeCarryBit) type |= kEnvelopeCarry;
    return type;
}

void readEnvelope(Reader& reader, Envelope& envelope, std::int32_t centre) {
    const std::uint8_t flags = readU8(reader);
    envelope.pointCount = readU8(reader);
    envelope.loopStart = readU8(reader);
    envelope.loopEnd = readU8(reader);
    envelope.sustainPoint = readU8(reader);
    envelope.sustainEnd = readU8(reader);
    envelope.type = envelopeType(flags);
    for (std::int32_t i = 0; i < kEnvelopeNodes; ++i) {
        const auto value = static_cast<std::int8_t>(readU8(reader));
        envelope.points[i].tick = readU16(reader);
        envelope.points[i].value = static_cast<std::uint16_t>(
            std::clamp<std::int32_t>(value + centre, 0, kMaxEnvelopeValue));
    }
    limitEnvelope(envelope, envelope.pointCount, kEnvelopeNodes);
}

void readKeyboard(Reader& reader, Instrument& instrument, std::int32_t sampleCount) {
    for (std::int32_t n = 0; n < kNotes; ++n) {
        const std::uint8_t note = readU8(reader);
        const std::uint8_t sample = readU8(reader);
        instrument.noteNotes[n] = note < kNotes ? note : static_cast<std::uint8_t>(n);
        instrument.noteSamples[n] = sample != 0 && sample <= sampleCount
                                        ? static_cast<std::int16_t>(sample - 1)
                                        : kNoSample;
    }
}

NewNoteAction newNoteAction(std::uint8_t stored) {
    constexpr NewNoteAction kActions[] = {NewNoteAction::cut, NewNoteAction::continuePlaying,
                                          NewNoteAction::noteOff, NewNoteAction::fade};
    return stored < std::size(kActions) ? kActions[stored] : NewNoteAction::cut;
}

DuplicateCheck duplicateCheck(std::uint8_t stored) {
    constexpr DuplicateCheck kChecks[] = {DuplicateCheck::off, DuplicateCheck::note,
                                          DuplicateCheck::sample, DuplicateCheck::instrument};
    return stored < std::size(kChecks) ? kChecks[stored] : DuplicateCheck::off;
}

DuplicateAction duplicateAction(std::uint8_t stored) {
    constexpr DuplicateAction kActions[] = {DuplicateAction::cut, DuplicateAction::noteOff,
                                            DuplicateAction::fade};
    return stored < std::size(kActions) ? kActions[stored] : DuplicateAction::cut;
}

// The layout before 2.00: a volume envelope only, its nodes a tick and a value each.
void readOldInstrument(Reader& reader, Instrument& instrument, std::int64_t at) {
    Envelope& volume = instrument.volumeEnvelope;
    seekTo(reader, at + kFieldsOffset);
    const std::uint8_t flags = readU8(reader);
    volume.loopStart = readU8(reader);
    volume.loopEnd = readU8(reader);
    volume.sustainPoint = readU8(reader);
    volume.sustainEnd = readU8(reader);
    volume.type = envelopeType(flags);
    seekTo(reader, at + kOldFadeoutOffset);
    instrument.fadeout = readU16(reader) * kOldFadeoutScale;
    instrument.newNoteAction = newNoteAction(readU8(reader));
    // Its only check: the same note, cut.
    if (readU8(reader) != 0) instrument.duplicateCheck = DuplicateCheck::note;
    instrument.fadesOut = true;
    seekTo(reader, at + kOldNodesOffset);
    std::int32_t count = 0;
    for (; count < kEnvelopeNodes; ++count) {
        const std::uint8_t tick = readU8(reader);
        const std::uint8_t value = readU8(reader);
        if (tick == kOldNodesEnd) break;
        volume.points[count] = {tick, std::min<std::uint16_t>(value, kMaxEnvelopeValue)};
    }
    volume.pointCount = static_cast<std::uint8_t>(count);
    limitEnvelope(volume, volume.pointCount, kEnvelopeNodes);
}

void readNewInstrument(Reader& reader, Instrument& instrument, std::int64_t at) {
    seekTo(reader, at + kFieldsOffset);
    instrument.newNoteAction = newNoteAction(readU8(reader));
    instrument.duplicateCheck = duplicateCheck(readU8(reader));
    instrument.duplicateAction = duplicateAction(readU8(reader));
    instrument.fadeout = readU16(reader) * kNewFadeoutScale;
    instrument.pitchPanSeparation = static_cast<std::int8_t>(std::clamp<std::int32_t>(
        static_cast<std::int8_t>(readU8(reader)), -kMaxPitchPan, kMaxPitchPan));
    instrument.pitchPanCentre = std::min<std::uint8_t>(readU8(reader), kNotes - 1);
    instrument.globalVolume = std::min(readU8(reader), kFullInstrumentGlobalVolume);
    const std::uint8_t pan = readU8(reader);
    if (!(pan & kInstrumentPanUnused)) {
        instrument.panning = std::min<std::int32_t>(pan * kPanningPerStep, kMaxPanning);
    }
    instrument.randomVolume = std::min(readU8(reader), kMaxRandomVolume);
    instrument.randomPanning = std::min(readU8(reader), kMaxRandomPanning);
    instrument.fadesOut = true;
    seekTo(reader, at + kEnvelopesOffset);
    readEnvelope(reader, instrument.volumeEnvelope, 0);
    seekTo(reader, at + kEnvelopesOffset + kEnvelopeBytes);
    readEnvelope(reader, instrument.panningEnvelope, kEnvelopeCentre);
    seekTo(reader, at + kEnvelopesOffset + 2 * kEnvelopeBytes);
    readEnvelope(reader, instrument.pitchEnvelope, kEnvelopeCentre);
    seekTo(reader, at + kFilterOffset);
    for (std::int16_t* setting : {&instrument.filterCutoff, &instrument.filterResonance}) {
        const std::uint8_t stored = readU8(reader);
        if (stored & kFilterUsed) *setting = static_cast<std::int16_t>(stored & ~kFilterUsed);
    }
}

bool readInstruments(Reader& reader, Module& module, const Header& header,
                     const std::array<std::uint32_t, kMaxInstruments>& offsets) {
    module.instruments = new (std::nothrow) Instrument[module.instrumentCount]();
    if (!module.instruments) return false;
    for (std::int32_t i = 0; i < module.instrumentCount; ++i) {
        Instrument& instrument = module.instruments[i];
        instrument = newInstrument();
        const std::int64_t at = offsets[i];
        if (header.compatibleWith < kFirstNewInstruments) {
            readOldInstrument(reader, instrument, at);
        } else {
            readNewInstrument(reader, instrument, at);
        }
        seekTo(reader, at + kNameOffset);
        readBytes(reader, instrument.name.data(), kNameBytes);
        seekTo(reader, at + kKeyboardOffset);
        readKeyboard(reader, instrument, module.sampleCount);
    }
    return true;
}

// Its depth grows by `rate` / 256 a tick up to its depth.
AutoVibrato autoVibratoOf(Reader& reader) {
    constexpr std::uint8_t kTypes[] = {0, 4, 5, 6};  // sine, ramp down, square, random
    constexpr std::int32_t kRateUnit = 256;
    const std::uint8_t speed = readU8(reader);
    const std::uint8_t depth = std::min<std::uint8_t>(readU8(reader), kMaxVibratoDepth);
    const std::uint8_t rate = readU8(reader);
    const std::uint8_t type = kTypes[readU8(reader) & 3];
    // Without a rate the depth never grows.
    if (rate == 0) return {type, 0, 0, speed};
    return {type, static_cast<std::uint16_t>(depth * kRateUnit / rate), depth, speed};
}

// A loop within the sample's frames; none where the flag is clear or nothing lies within.
void setLoop(Sample& sample, bool on, bool pingPong, std::uint32_t begin, std::uint32_t end) {
    sample.loopType = LoopType::none;
    sample.loopStart = 0;
    sample.loopLength = sample.length;
    end = std::min(end, sample.length);
    if (!on || end <= begin) return;
    sample.loopType = pingPong ? LoopType::pingPong : LoopType::forward;
    sample.loopStart = begin;
    sample.loopLength = end - begin;
}

// Its frames as the sample has them, but looped by the sustain loop; the sample's guard
// frame stays where the sample's own loop or end puts it.
void setSustainLoop(const Sample& sample, Sample& sustained, std::uint8_t flags,
                    std::uint32_t begin, std::uint32_t end) {
    sustained = sample;
    setLoop(sustained, true, flags & kPingPongSustainLoop, begin, end);
    if (sustained.loopType == LoopType::none) sustained = newSample();
}

// One channel's frames at the reader's position, as the flags and convert byte store them.
bool readFrames(ModuleLoad& load, Sample& sample, std::int32_t index, std::uint8_t flags,
                std::uint8_t convert) {
    if (flags & kCompressed) {
        load.reader.region = &kSampleDataRegion;
        const bool read =
            readItCompressedSample(load, sample, index, 0, (convert & kSecondDeltas) != 0);
        load.reader.region = &kInstrumentRegion;
        return read;
    }
    const SampleCoding coding =
        convert & kSignedSamples ? SampleCoding::plain : SampleCoding::unsignedPlain;
    return readSampleData(load, sample, index, 0, coding);
}

bool readSample(ModuleLoad& load, std::int32_t index, std::int64_t at) {
    Reader& reader = load.reader;
    Module& module = load.module;
    Sample& sample = module.samples[index];
    sample.guardValue = kNoGuard;
    seekTo(reader, at + kFieldsOffset);
    sample.globalVolume = std::min(readU8(reader), kFullSampleGlobalVolume);
    const std::uint8_t flags = readU8(reader);
    sample.volume = std::min(readU8(reader), kFullVolume);
    seekTo(reader, at + kSampleNameOffset);
    readBytes(reader, module.sampleNames[index].data(), kNameBytes);
    seekTo(reader, at + kSampleNameOffset + kTitleBytes);
    const std::uint8_t convert = readU8(reader);
    const std::uint8_t pan = readU8(reader);
    sample.length = readU32(reader);
    const std::uint32_t loopBegin = readU32(reader);
    const std::uint32_t loopEnd = readU32(reader);
    tuneToRate(sample, readU32(reader));
    sample.relativeNote = static_cast<std::int8_t>(sample.relativeNote - kSemitones);
    const std::uint32_t sustainBegin = readU32(reader);
    const std::uint32_t sustainEnd = readU32(reader);
    const std::uint32_t dataAt = readU32(reader);
    module.sampleVibratos[index] = autoVibratoOf(reader);
    if (pan & kSamplePanUsed) {
        sample.panning =
            std::min<std::int32_t>((pan & ~kSamplePanUsed) * kPanningPerStep, kMaxPanning);
    }
    sample.bits = flags & kSixteenBit ? 16 : 8;
    if (!(flags & kHasData)) sample.length = 0;
    setLoop(sample, flags & kLoop, flags & kPingPongLoop, loopBegin, loopEnd);
    // The right channel's frames follow the left's, which the reading may cut short.
    Sample& right = module.rightChannels[index];
    if (flags & kStereoSample) right = sample;
    seekTo(reader, dataAt);
    if (!readFrames(load, sample, index, flags, convert)) return false;
    if (flags & kSustainLoop) {
        setSustainLoop(sample, module.sustainLoops[index], flags, sustainBegin, sustainEnd);
    }
    return !(flags & kStereoSample) || readFrames(load, right, index, flags, convert);
}

// Where a pattern's packed rows lie.
struct PatternPlace {
    std::int64_t at;  // of the packed rows; 0: none stored
    std::int64_t end;
    std::int32_t rows;
};

// The cells each channel repeats when its mask says so.
struct ChannelMemory {
    std::array<std::uint8_t, kFileChannels> mask;
    std::array<PatternCell, kFileChannels> cell;
};

PatternCell withVolumeColumn(PatternCell cell, std::uint8_t value) {
    struct Range {
        std::uint8_t first;
        std::uint8_t last;
        VolumeCommand command;
    };
    constexpr Range kRanges[] = {
        {0, 64, VolumeCommand::setVolume},
        {65, 74, VolumeCommand::fineUp},
        {75, 84, VolumeCommand::fineDown},
        {85, 94, VolumeCommand::slideUp},
        {95, 104, VolumeCommand::slideDown},
        {105, 114, VolumeCommand::portamentoDown},
        {115, 124, VolumeCommand::portamentoUp},
        {128, 192, VolumeCommand::panning},
        {193, 202, VolumeCommand::tonePortamentoSpeed},
        {203, 212, VolumeCommand::vibrato},
    };
    // Gx of the column: a speed from this table by x, 0 keeping the last.
    constexpr std::uint8_t kPortamentoSpeeds[] = {0, 1, 4, 8, 16, 32, 64, 96, 128, 255};
    cell.volume = VolumeCommand::none;
    for (const Range& range : kRanges) {
        if (value < range.first || value > range.last) continue;
        const auto x = static_cast<std::uint8_t>(value - range.first);
        cell.volume = range.command;
        cell.volumeValue = x;
        if (range.command == VolumeCommand::panning) {
            cell.volumeValue =
                static_cast<std::uint8_t>(std::min<std::int32_t>(x * kPanningPerStep, kMaxPanning));
        }
        if (range.command == VolumeCommand::tonePortamentoSpeed) {
            cell.volumeValue = kPortamentoSpeeds[x];
        }
    }
    return cell;
}

// IT plays letters ST3 left unused, and slides its tempo.
Command itCommandOfLetter(std::uint8_t letter) {
    struct Letter {
        char letter;
        Command command;
    };
    constexpr Letter kItLetters[] = {
        {'M', Command::setChannelVolume},
        {'N', Command::channelVolumeSlide},
        {'P', Command::panningSlide},
        {'T', Command::tempo},
        {'W', Command::globalVolumeSlide},
        {'Y', Command::panbrello},
        {'Z', Command::macro},
    };
    for (const Letter& entry : kItLetters) {
        if (letter == entry.letter - 'A' + 1) return entry.command;
    }
    return commandOfLetter(letter);
}

PatternCell withCommand(PatternCell cell, std::uint8_t letter, std::uint8_t parameter,
                        const PlayedOrders& orders) {
    cell.command = itCommandOfLetter(letter);
    cell.parameter = parameter;
    switch (cell.command) {
        case Command::speed:
            if (parameter == 0) cell.command = Command::none;
            break;
        case Command::positionJump:
            cell.parameter = orders.jumpTarget[parameter];
            break;
        case Command::setGlobalVolume:
            if (parameter > kFullGlobalVolume) cell.command = Command::none;
            cell.parameter = static_cast<std::uint8_t>(parameter / 2);
            break;
        default:
            break;
    }
    return cell;
}

std::uint8_t noteOf(std::uint8_t stored) {
    if (stored == kFileNoteOff) return kKeyOff;
    if (stored == kFileNoteCut) return kNoteCut;
    if (stored >= kNotes) return kNoteFade;
    return static_cast<std::uint8_t>(stored + 1);
}

// Reads one cell of a channel whose mask is known, into the channel's memory.
void readCell(Reader& reader, std::uint8_t mask, PatternCell& last, std::int32_t instruments,
              const PlayedOrders& orders) {
    if (mask & kHasNote) last.note = noteOf(readU8(reader));
    if (mask & kHasInstrument) {
        const std::uint8_t instrument = readU8(reader);
        last.instrument = instrument <= instruments ? instrument : 0;
    }
    if (mask & kHasVolume) last = withVolumeColumn(last, readU8(reader));
    if (mask & kHasCommand) {
        const std::uint8_t letter = readU8(reader);
        last = withCommand(last, letter, readU8(reader), orders);
    }
}

// Calls `cell(row, channel, mask)` for each cell the packed rows hold, the reader at the
// cell's first byte.
template <typename CellVisit>
void walkPattern(Reader& reader, const PatternPlace& place, ChannelMemory& memory, CellVisit cell) {
    if (place.at == 0) return;
    seekTo(reader, place.at);
    for (std::int32_t row = 0; row < place.rows && reader.position < place.end && !atEnd(reader);) {
        const std::uint8_t marker = readU8(reader);
        if (marker == 0) {
            ++row;
            continue;
        }
        const std::int32_t channel = (marker - 1) & (kFileChannels - 1);
        if (marker & kNewMask) memory.mask[channel] = readU8(reader);
        cell(row, channel, memory.mask[channel]);
    }
}

PatternPlace placeOf(Reader& reader, std::uint32_t offset) {
    if (offset == 0) return {0, 0, kDefaultRows};
    seekTo(reader, offset);
    const std::int64_t length = readU16(reader);
    const std::int32_t rows = readU16(reader);
    const std::int64_t at = offset + kPatternHeaderBytes;
    if (rows < 1 || rows > kMaxPatternRows) return {0, 0, kDefaultRows};
    if (at + length > reader.size) noteCut(reader, kPatternRegion);
    return {at, at + length, rows};
}

// The channels the patterns use: up to the highest that holds a cell.
std::int32_t usedChannels(Reader& reader, const std::array<PatternPlace, kMaxPatterns>& places,
                          std::int32_t patterns, std::int32_t instruments,
                          const PlayedOrders& orders) {
    std::int32_t count = 1;
    for (std::int32_t p = 0; p < patterns; ++p) {
        ChannelMemory memory{};
        walkPattern(reader, places[p], memory,
                    [&](std::int32_t, std::int32_t channel, std::uint8_t mask) {
                        readCell(reader, mask, memory.cell[channel], instruments, orders);
                        count = std::max(count, channel + 1);
                    });
    }
    return count;
}

bool readPatterns(Reader& reader, Module& module,
                  const std::array<std::uint32_t, kMaxPatterns>& offsets, std::int32_t patterns,
                  const PlayedOrders& orders) {
    std::array<PatternPlace, kMaxPatterns> places{};
    for (std::int32_t p = 0; p < patterns; ++p)
        places[p] = placeOf(reader, offsets[p]);
    module.channelCount = static_cast<std::int16_t>(
        usedChannels(reader, places, patterns, module.instrumentCount, orders));
    module.usedPatternCount = 0;
    for (std::int32_t i = 0; i < module.songLength; ++i)
        module.usedPatternCount = std::max(module.usedPatternCount, module.orderTable[i] + 1);
    module.patternSlotCount = std::max(patterns, module.usedPatternCount);
    module.patterns = new (std::nothrow) PatternSlot[module.patternSlotCount]();
    if (!module.patterns) return false;
    for (std::int32_t p = 0; p < module.patternSlotCount; ++p) {
        const PatternPlace place = p < patterns ? places[p] : PatternPlace{0, 0, kDefaultRows};
        PatternSlot& slot = module.patterns[p];
        slot.rows = place.rows;
        slot.cells =
            new (std::nothrow) PatternCell[static_cast<std::size_t>(place.rows) *
                                           static_cast<std::size_t>(module.channelCount)]();
        if (!slot.cells) return false;
        ChannelMemory memory{};
        walkPattern(reader, place, memory,
                    [&](std::int32_t row, std::int32_t channel, std::uint8_t mask) {
                        PatternCell& last = memory.cell[channel];
                        readCell(reader, mask, last, module.instrumentCount, orders);
                        if (channel >= module.channelCount) return;
                        PatternCell cell{};
                        if (mask & (kHasNote | kLastNote)) cell.note = last.note;
                        if (mask & (kHasInstrument | kLastInstrument))
                            cell.instrument = last.instrument;
                        if (mask & (kHasVolume | kLastVolume)) {
                            cell.volume = last.volume;
                            cell.volumeValue = last.volumeValue;
                        }
                        if (mask & (kHasCommand | kLastCommand)) {
                            cell.command = last.command;
                            cell.parameter = last.parameter;
                        }
                        slot.cells[row * module.channelCount + channel] = cell;
                    });
    }
    return true;
}

// A macro as the tracker's MIDI text gives it: "F0F000" and a value sets the filter's
// cutoff, "F0F001" its resonance, the value two hex digits or "z" for Zxx's parameter.
// Spaces and case do not count; other messages are not played.
Macro macroOf(const char (&text)[kMacroBytes + 1]) {
    std::string letters;
    for (const char c : text) {
        if (c == 0) break;
        if (c != ' ') letters += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    constexpr std::string_view kCutoff = "F0F000";
    constexpr std::string_view kResonance = "F0F001";
    const std::string_view view = letters;
    Macro macro{};
    if (view.starts_with(kCutoff)) macro.target = MacroTarget::cutoff;
    if (view.starts_with(kResonance)) macro.target = MacroTarget::resonance;
    if (macro.target == MacroTarget::none) return macro;
    const std::string_view value = view.substr(kCutoff.size());
    unsigned parsed = 0;
    const auto [end, error] =
        std::from_chars(value.data(), value.data() + value.size(), parsed, 16);
    if (value == "Z") {
        macro.takesParameter = true;
    } else if (error == std::errc{} && end == value.data() + value.size() && !value.empty()) {
        macro.value = static_cast<std::uint8_t>(std::min<unsigned>(parsed, kOpenCutoff));
    } else {
        macro.target = MacroTarget::none;
    }
    return macro;
}

// Without its own, a module has the tracker's defaults: SF0 sets the cutoff, Z80..Z8F
// the resonance in steps of 8.
void setDefaultMacros(Module& module) {
    module.parameteredMacros[0] = {MacroTarget::cutoff, true, 0};
    for (std::int32_t i = 0; i < 16; ++i) {
        module.fixedMacros[i] = {MacroTarget::resonance, false,
                                 static_cast<std::uint8_t>(i * kResonancePerFixedMacro)};
    }
}

// After the offsets: the edit history, then the macros where the file has its own.
void readMacros(Reader& reader, Module& module, const Header& header) {
    setDefaultMacros(module);
    if (header.special & kEditHistory) skip(reader, kEditEntryBytes * readU16(reader));
    if (!(header.special & kMacrosEmbedded)) return;
    char text[kMacroBytes + 1]{};
    skip(reader, kGlobalMacros * kMacroBytes);
    for (Macro& macro : module.parameteredMacros) {
        readBytes(reader, text, kMacroBytes);
        macro = macroOf(text);
    }
    for (Macro& macro : module.fixedMacros) {
        readBytes(reader, text, kMacroBytes);
        macro = macroOf(text);
    }
}

template <std::size_t Count>
void readOffsets(Reader& reader, std::array<std::uint32_t, Count>& offsets, std::int32_t stored) {
    for (std::int32_t i = 0; i < std::min<std::int32_t>(stored, Count); ++i)
        offsets[i] = readU32(reader);
    skip(reader,
         std::int64_t{4} * std::max<std::int32_t>(stored - static_cast<std::int32_t>(Count), 0));
}

}  // namespace

std::int64_t itHeaderBytes(const FileHead& head) {
    return kOrdersOffset + headField(head, kCountsOffset, 2) +
           4 * (std::int64_t{headField(head, kCountsOffset + 2, 2)} +
                headField(head, kCountsOffset + 4, 2) + headField(head, kCountsOffset + 6, 2));
}

bool recognisesIt(const FileHead& head) {
    return head.length >= kMagicBytes && std::memcmp(head.bytes, kMagic, kMagicBytes) == 0;
}

bool loadIt(ModuleLoad& load) {
    Reader& reader = load.reader;
    Module& module = load.module;
    Header header{};
    readHeader(reader, module, header);
    setChannels(module, header);
    PlayedOrders orders{};
    seekTo(reader, kOrdersOffset);
    if (!readPlayedOrders(reader, module, header.orderCount, orders)) return false;
    seekTo(reader, kOrdersOffset + header.orderCount);
    std::array<std::uint32_t, kMaxInstruments> instrumentAt{};
    std::array<std::uint32_t, kMaxSamples> sampleAt{};
    std::array<std::uint32_t, kMaxPatterns> patternAt{};
    readOffsets(reader, instrumentAt, header.instrumentCount);
    readOffsets(reader, sampleAt, header.sampleCount);
    readOffsets(reader, patternAt, header.patternCount);
    readMacros(reader, module, header);
    reader.region = &kMessageRegion;
    if (!readMessage(reader, module, header)) return false;
    reader.region = &kInstrumentRegion;

    const std::int32_t samples = std::min(header.sampleCount, kMaxSamples);
    if (header.flags & kUseInstruments) {
        if (appendSamples(module, samples) < 0) return false;
        module.instrumentCount =
            static_cast<std::int16_t>(std::min(header.instrumentCount, kMaxInstruments));
        if (!readInstruments(reader, module, header, instrumentAt)) return false;
    } else {
        module.instrumentCount = static_cast<std::int16_t>(samples);
        if (!allocateSampleInstruments(module)) return false;
    }
    for (std::int32_t i = 0; i < samples; ++i) {
        if (!readSample(load, i, sampleAt[i])) return false;
    }
    if (!(header.flags & kUseInstruments)) {
        for (std::int32_t i = 0; i < samples; ++i)
            module.instruments[i].name = module.sampleNames[i];
    }
    reader.region = &kPatternRegion;
    return readPatterns(reader, module, patternAt, std::min(header.patternCount, kMaxPatterns),
                        orders);
}

}  // namespace vorn3
