// A 12-channel song of about two minutes built from code: drums, bass, pads, leads and
// arpeggios on every channel, with looped and one-shot samples, envelopes, key offs,
// volume commands and tone portamento. For benchmarks and comparisons with other players.
#pragma once

#include "writers/xm_writer.h"

namespace xm {

Module demoModule();

}  // namespace xm
