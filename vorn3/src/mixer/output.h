// The output of one mixer: the ring filled chunk by chunk, by its thread, by the host's
// pumping or by rendering without a device.
#pragma once

#include <cstdint>

#include "mixer/mixer.h"

namespace vorn3 {

// Opens the output at the given rate in Hz (closing any open one first) with the device
// and driver set for the next open. False when the rate is unusable, memory runs out or
// the device cannot be opened.
bool openOutput(Mixer& mixer, std::int32_t outputRate);
void closeOutput(Mixer& mixer);
bool setOutputBufferLength(Mixer& mixer, std::int32_t milliseconds);
// Scales the output by `decibels`, kept within kMinGainDb..kMaxGainDb, from the next chunk
// mixed on; a value that is not a number changes nothing. Takes passLock.
inline constexpr double kMinGainDb = -96;
inline constexpr double kMaxGainDb = 24;
void setOutputGain(Mixer& mixer, double decibels);
// False, with nothing changed, for a value outside the enumeration.
bool setOutputInterpolation(Mixer& mixer, Interpolation mode);
// One pass for an output driven by the host; true when it filled a chunk.
bool pumpOutput(Mixer& mixer);
// The next `frames` frames for an output without a device, as 16-bit values or as the
// mixer's floats scaled to ±1; fewer when every playing client has finished. Returns the
// frames written.
std::int32_t renderOutput(Mixer& mixer, std::int16_t* destination, std::int32_t frames);
std::int32_t renderOutput(Mixer& mixer, float* destination, std::int32_t frames);

// For an output without a device: mixes the next chunk as renderOutput would and counts
// its first `handedOut` frames as handed out already. Returns the frames handed out.
std::int32_t renderChunkFrom(Mixer& mixer, std::int32_t handedOut);

// Mixes `frames` frames of every playing client into destination (stereo floats),
// ticking each client whenever its frames for the current tick run out. Returns the
// frames mixed: fewer when every playing client has finished.
std::int32_t mixClients(Mixer& mixer, float* destination, std::int32_t frames);

// Advances the clients and their voices by `frames` frames as mixing them in one piece
// would, adding nothing anywhere; returns the frames advanced. A voice's volume ramp
// depends on where the pieces are cut.
std::int32_t skipClients(Mixer& mixer, std::int32_t frames);

}  // namespace vorn3
