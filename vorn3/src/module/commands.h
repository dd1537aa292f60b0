// The engine's command vocabulary: what a pattern cell asks of its channel, named once.
// Each format maps its own codes onto these in its loader.
#pragma once

#include <cstdint>

namespace vorn3 {

enum class Command : std::uint8_t {
    none,
    arpeggio,
    portamentoUp,
    portamentoDown,
    tonePortamento,
    vibrato,
    tonePortamentoVolumeSlide,
    vibratoVolumeSlide,
    tremolo,
    setPanning,
    sampleOffset,
    volumeSlide,
    positionJump,
    setVolume,
    patternBreak,
    extended,      // the high nibble of the parameter picks an ExtendedCommand by format
    speedOrTempo,  // ticks per row up to 31, else beats per minute
    speed,         // ticks per row, whatever the value
    setGlobalVolume,
    globalVolumeSlide,
    keyOff,
    setEnvelopePosition,
    panningSlide,
    multiRetrigger,
    tremor,
    extraFinePortamento,
    // Slides down and up in whole steps on the ticks after the row tick, or once on it in
    // whole (Fy) or quarter (Ey) steps.
    slideDown,
    slideUp,
    fineVibrato,
    setChannelVolume,    // 0..64
    channelVolumeSlide,  // as volumeSlide, on the channel's volume
    macro,               // runs a macro of the module's: a filter setting
    // From 0x20 the BPM; 0y and 1y slide it down and up by y on the ticks after the row
    // tick.
    tempo,
    panbrello,  // speed x, depth y; moves the panning about the channel's own
};
inline constexpr std::int32_t kCommandCount = static_cast<std::int32_t>(Command::panbrello) + 1;

// What the high nibble of an extended command's parameter asks, under a format's table.
enum class ExtendedCommand : std::uint8_t {
    none,
    finePortamentoUp,
    finePortamentoDown,
    glissandoControl,
    vibratoControl,
    sampleFinetune,  // the sample plays at finetune y from here on
    // The row's note plays at a tuning from the format's table by y, in place of its
    // sample's relative note and finetune.
    noteTuning,
    patternLoop,
    tremoloControl,
    setPanningCoarse,
    retriggerNote,
    fineVolumeUp,
    fineVolumeDown,
    noteCut,
    noteDelay,
    patternDelay,
    macroSelect,       // which macro Zxx below 0x80 runs
    panbrelloControl,  // the panbrello's waveform
    finePatternDelay,  // y more ticks for the row
    // y 0..2: the notes the channel let go of are cut, released or faded; 3..6: the
    // playing note's new-note action becomes cut, continue, note off or fade.
    noteActions,
    surround,          // y 1 on, 0 off
    highSampleOffset,  // y × 65536 frames onto the sample offsets that follow
};

// The volume column, decoded.
enum class VolumeCommand : std::uint8_t {
    none,
    setVolume,  // value 0..64
    slideDown,
    slideUp,
    fineDown,
    fineUp,
    vibratoSpeed,
    vibrato,     // value: depth
    setPanning,  // value 0..15, of 16 steps
    panningLeft,
    panningRight,
    tonePortamento,       // value: speed in 16 portamento steps
    tonePortamentoSpeed,  // value: the speed itself
    panning,              // value 0 left .. 255 right
    portamentoDown,       // value: in 4 period units
    portamentoUp,
};

}  // namespace vorn3
