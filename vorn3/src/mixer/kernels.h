// Interpolation kernels as tables of 16-bit weights, for the mixer's cubic and sinc reads.
#pragma once

#include <cstdint>

namespace vorn3 {

// A position's fraction of a frame picks one of kKernelPhases rows; row p holds the
// weights for the fraction (p + 0.5) / kKernelPhases, so no fraction lies more than
// 1 / (2 × kKernelPhases) frame from its row's.
inline constexpr std::int32_t kKernelPhaseBits = 11;
inline constexpr std::int32_t kKernelPhases = 1 << kKernelPhaseBits;
// Weights are in units of 2^-kKernelWeightBits, and each row sums to exactly one: a
// constant reads as itself. Eight 16-bit frames at the largest weights stay within 31 bits.
inline constexpr std::int32_t kKernelWeightBits = 14;
inline constexpr std::int32_t kCubicTaps = 4;
inline constexpr std::int32_t kSincTaps = 8;

// The weights of frames index - (taps / 2 - 1) .. index + taps / 2 for a position in
// frame index, row after row.
struct KernelTable {
    std::int32_t taps;
    const std::int16_t* weights;
};

// Catmull-Rom: the cubic through the two frames around the position whose slopes there are
// those of the lines through their neighbours.
const KernelTable& cubicKernel();
// A Kaiser-windowed sinc whose cutoff lies below the Nyquist frequency of the sample and,
// for a voice stepping `step` (32.32 frames per output frame) faster than one frame per
// frame, below the output's: high notes then lose their top octaves rather than alias.
const KernelTable& sincKernel(std::uint64_t step);

// The kernel's continuous form, for the tables and their tests: the weight of a frame at
// `distance` frames from the position (|distance| < kSincTaps / 2) at a cutoff of
// `cutoff` × the sample's Nyquist frequency, before the rows are made to sum to one.
double sincWeight(double distance, double cutoff);

}  // namespace vorn3
