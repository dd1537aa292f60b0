// Pattern cells as trackers show them, for a host drawing the rows that play.
#pragma once

#include <string>

#include "module/module.h"

namespace vorn3 {

// How a format's trackers write effects: digits and letters (XM, MOD) or letters alone
// (S3M, IT).
enum class EffectNaming : bool { digitsAndLetters, letters };

// "C-5 01 v64 A0F": note, instrument, volume column and effect, dots where empty. The
// effect is named from what the engine plays, which may differ from the file's bytes
// where a loader changed them (a jump's order, a panning's scale).
std::string cellText(const PatternCell& cell, EffectNaming naming);

}  // namespace vorn3
