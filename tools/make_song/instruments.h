// The song's instruments, all synthesised here.
#pragma once

#include <cstdint>
#include <vector>

#include "writers/xm_writer.h"

namespace glint::song {

// Instrument numbers as the patterns name them (1-based, in stored order).
enum Instrument : std::uint8_t {
    kick = 1,
    snare,
    clap,
    closedHat,
    openHat,
    crash,
    tom,
    rim,
    shaker,
    impact,
    riser,
    zap,
    bass,
    subBass,
    acidBass,
    warmPad,
    stringPad,
    choir,
    leadSaw,
    leadSquare,
    arpPluck,
    bell,
    piano,
    organ,
    brass,
    orchestraHit,
    wind,
    flute,
    harp,
    glass,
    echoLead,
};

inline constexpr std::size_t kInstrumentCount = echoLead;

std::vector<xm::Instrument> makeInstruments();

}  // namespace glint::song
