// Encodes the recorded show through ffmpeg: frames go down a pipe as they are drawn,
// the sound to a raw file beside the output, and both are joined at the end.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/gfx/surface.h"

namespace glint::capture {

enum class VideoFormat : std::uint8_t { mp4, webm };

struct VideoEncoder {
    std::string outputPath;
    VideoFormat format = VideoFormat::mp4;
    std::string picturePath;  // the pictures alone, encoded while the show runs
    std::string soundPath;    // the sound as 16-bit stereo frames
    std::FILE* pictures = nullptr;
    std::FILE* sound = nullptr;
};

// Starts ffmpeg for pictures of width × height at `fps`. False with a one-line reason
// in `error` when ffmpeg is missing or cannot start.
bool openVideoEncoder(VideoEncoder& encoder, const std::string& outputPath, VideoFormat format,
                      std::int32_t width, std::int32_t height, std::int32_t fps,
                      std::string& error);
bool encodeFrame(VideoEncoder& encoder, const gfx::Surface& frame);
bool encodeSound(VideoEncoder& encoder, const std::vector<std::int16_t>& frames);
// Finishes the pictures and joins them with the sound into the output file.
bool closeVideoEncoder(VideoEncoder& encoder, std::int32_t soundRate, std::string& error);

}  // namespace glint::capture
