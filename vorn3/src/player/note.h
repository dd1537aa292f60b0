// A note as it sounds: the voice it plays on and what moves with it tick by tick (its
// envelopes, fadeout and auto-vibrato). A channel owns the note it plays; a note it lets
// go of plays on by itself until it ends or its voice is needed.
#pragma once

#include <cstdint>

#include "mixer/sample.h"
#include "module/module.h"

namespace vorn3 {

// Bits of a tick's update flags: what updateVoice hands the voice this tick.
inline constexpr std::uint8_t kUpdateFrequency = 1;
inline constexpr std::uint8_t kUpdateVolume = 2;
inline constexpr std::uint8_t kUpdatePanning = 4;
inline constexpr std::uint8_t kUpdateTrigger = 8;
inline constexpr std::uint8_t kUpdateStop = 32;

// Bits of Note::envelopesOff.
inline constexpr std::uint8_t kVolumeEnvelopeOff = 1;
inline constexpr std::uint8_t kPanningEnvelopeOff = 2;
inline constexpr std::uint8_t kPitchEnvelopeOff = 4;

inline constexpr std::int32_t kFullEnvelope = 64;
inline constexpr std::int32_t kCentreEnvelope = 32;  // panning envelope output
inline constexpr std::int32_t kFullFadeout = 65536;
inline constexpr std::int32_t kEnvelopeFixedOne = 65536;  // 1.0 in EnvelopeState's 16.16

struct EnvelopeState {
    std::int32_t tick;    // ticks since the note started
    std::int32_t point;   // index of the point the envelope heads for
    std::int32_t value;   // 16.16
    std::int32_t output;  // 0..64; the panning envelope has its centre at 32
    std::int32_t level;   // 16.16: the output before it is cut to whole steps
    std::int32_t slope;   // 16.16 per tick
    bool done;            // held at the last point
};

// It keeps its voice's index rather than the voice, so that a pool rebuilt by openAudio
// is found afresh.
struct Note {
    std::int32_t voiceIndex;
    std::int32_t rightVoiceIndex;  // of a stereo sample's right channel; -1: none
    // What it was started with; what plays once it is let go.
    const Instrument* instrument;
    const Sample* sample;
    EnvelopeState volumeEnvelope;
    EnvelopeState panningEnvelope;
    EnvelopeState pitchEnvelope;         // or the filter's
    std::int32_t fadeoutVolume;          // of kFullFadeout; falls after key off
    std::int32_t autoVibratoPosition;    // 0..255, of one cycle
    std::int32_t autoVibratoSweepCount;  // ticks since the note started, held at the sweep
    // Its sample's and instrument's global volumes together, 0..1.
    double gain;
    // Its resonant filter, 0..127 each, as the instrument and Zxx set them; kOpenCutoff
    // and no resonance leave it unfiltered.
    std::uint8_t filterCutoff;
    std::uint8_t filterResonance;
    bool keyOff;
    bool fading;  // its fadeout runs without a key off
    // The linear frequency last computed, in Hz, and the period it was computed for, in
    // 1/64 semitone above C-4.
    bool frequencyKnown;
    std::int32_t frequencyPeriods;
    std::int32_t frequency;
    // An effect set what happens to it when a new note comes, in place of its instrument.
    bool newNoteActionSet;
    // Its instrument's random variations, drawn when it started: percent of its volume,
    // and panning in 0..255 steps.
    std::int32_t volumeVariation;
    std::int32_t panningVariation;
    std::uint32_t randomState;  // of its random auto-vibrato
    std::uint8_t envelopesOff;  // kEnvelopeOff bits: its instrument's envelopes it holds
    NewNoteAction newNoteAction;
};

// A note no channel owns any more, with what its channel last gave it.
struct LetGoNote {
    Note note;
    std::int32_t channel;  // that let it go
    std::uint8_t key;      // the note its channel played, 0-based
    std::int32_t period;
    std::int32_t volume;   // 0..64
    std::int32_t panning;  // 0 left .. 255 right
    std::int32_t channelVolume;
    bool muted;
    bool surround;
};

// What a tick hands a note's voice, from its channel or, once let go, from the note.
struct NoteOutput {
    std::uint8_t flags;  // kUpdate bits
    std::int32_t volume;
    std::int32_t panning;
    std::int32_t period;
    std::int32_t periodDelta;
    std::int32_t channelVolume;  // 0..kFullChannelVolume
    bool muted;
    bool surround;  // heard around the listener: the right side in opposite phase
};

}  // namespace vorn3
