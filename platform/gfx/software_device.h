// The software 3-D device: draws into a Surface with its attached depth buffer.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/gfx/device.h"

namespace glint::gfx {

// What the device demands of texture sizes; settable so that callers' sizing
// logic can be exercised against a strict device.
struct TextureRequirements {
    bool powerOfTwo = false;
    bool square = false;
};

inline constexpr std::int32_t kMaxDrawingThreads = 64;

// How the device shares its drawing among threads. It records the clears and,
// inside a scene, the triangles, and hands them over at the scene's end: each
// tile draws them in order while it is in the cache, and the caller records the
// next scene meanwhile. Every pixel comes out the same whatever the count or the
// tile size; readBack() makes them all land.
struct DrawingThreads {
    // Threads drawing, the caller's among them; 1 draws every triangle at once
    // on the caller's thread. 0 takes GLINT_THREADS, or else one per core.
    std::int32_t count = 0;
    // The tiles' size in pixels: the width rounded down to a multiple of four,
    // or 0 for the target's whole width.
    std::int32_t tileWidth = 0;
    std::int32_t tileHeight = 16;
};

// Spans eight pixels at a time where the processor has AVX2, or four whatever
// it has; the pixels are the same.
enum class SpanWidth : std::uint8_t { widest, fourPixels };

// A device drawing into `target`, which must outlive it. Without a depth buffer
// on the target, depth testing is off whatever the render state says. A scene
// may still be drawn after the next one has begun: textures it used must live
// unchanged until readBack() or the next scene's end, and the target's buffers
// are read, replaced or resized only after readBack().
std::unique_ptr<Device> createSoftwareDevice(Surface& target, TextureRequirements requirements = {},
                                             DrawingThreads threads = {},
                                             SpanWidth spans = SpanWidth::widest);

}  // namespace glint::gfx
