// Encodes the recorded show through ffmpeg: frames go down a pipe as they are drawn,
// the sound to a raw file beside the output, and both are joined at the end.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/gfx/surface.h"

namespace glint::capture {

enum class VideoFormat : std::uint8_t { mp4, webm };

// The boundary between the drawing thread and the thread feeding ffmpeg: one frame
// waits here while the one before it goes down the pipe, so that drawing frame k + 1
// overlaps encoding frame k. Every field is guarded by `lock`.
struct FrameHandOff {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::uint32_t> waiting;  // the next frame's pixels, when `full`
    bool full = false;
    bool closing = false;
    bool failed = false;  // a write to ffmpeg fell short: later frames are refused
};

struct VideoEncoder {
    std::string outputPath;
    VideoFormat format = VideoFormat::mp4;
    std::string picturePath;  // the pictures alone, encoded while the show runs
    std::string soundPath;    // the sound as 16-bit stereo frames
    std::FILE* pictures = nullptr;
    std::FILE* sound = nullptr;
    std::unique_ptr<FrameHandOff> handOff;
    std::thread feeder;  // writes handed-off frames to `pictures`
};

// Starts ffmpeg for pictures of width × height at `fps`. False with a one-line reason
// in `error` when ffmpeg is missing or cannot start.
bool openVideoEncoder(VideoEncoder& encoder, const std::string& outputPath, VideoFormat format,
                      std::int32_t width, std::int32_t height, std::int32_t fps,
                      std::string& error);
// Hands a copy of the frame to the feeder, waiting while the one before it still waits;
// false once ffmpeg has stopped taking frames.
bool encodeFrame(VideoEncoder& encoder, const gfx::Surface& frame);
bool encodeSound(VideoEncoder& encoder, const std::vector<std::int16_t>& frames);
// Finishes the pictures and joins them with the sound into the output file.
bool closeVideoEncoder(VideoEncoder& encoder, std::int32_t soundRate, std::string& error);

}  // namespace glint::capture
