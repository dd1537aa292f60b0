// vorn3play: plays an XM module through the sound device with a one-line progress
// display, or renders it to a WAV file.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sound_device.h"
#include "vorn3/vorn3.h"

namespace {

constexpr std::int32_t kRate = 44100;        // Hz
constexpr std::int32_t kPlayBufferMs = 100;  // the ring holds twice this
constexpr std::int32_t kPieceFrames = 1024;  // rendered per call, more than a chunk
constexpr std::size_t kBlockFrames = 32768;  // handed to the writing thread at once
constexpr std::size_t kQueuedBlocks = 8;
constexpr double kLongestWavSeconds = 30 * 60;  // a song that loops forever stops here
constexpr auto kDisplayInterval = std::chrono::milliseconds(100);
constexpr std::int32_t kChannels = 2;
constexpr std::int32_t kBytesPerFrame = kChannels * 2;
constexpr std::uint32_t kWavHeaderBytes = 44;
constexpr int kFailure = 1;
constexpr int kUsageError = 2;

constexpr const char* kUsage =
    "usage: vorn3play [--wav OUT.wav] [--seconds N] FILE.xm\n"
    "Plays an XM module through the sound device, showing order, row and time.\n"
    "  --wav OUT.wav  render to a WAV file (44,100 Hz, 16-bit stereo) instead\n"
    "  --seconds N    stop after N seconds (default: at the end of the song; a WAV\n"
    "                 of a song that never ends stops after 30 minutes)\n"
    "  --help         show this help\n";

struct Options {
    std::string module;
    std::string wav;  // empty: play
    std::optional<double> seconds;
};

// Why the last stream open failed.
int openError = 0;

void* fileOpen(const char* name) {
    std::FILE* file = std::fopen(name, "rb");
    if (!file) openError = errno;
    return file;
}

void fileClose(void* handle) {
    std::fclose(static_cast<std::FILE*>(handle));
}

std::int32_t fileRead(void* destination, std::int32_t byteCount, void* handle) {
    if (byteCount <= 0) return 0;
    return static_cast<std::int32_t>(std::fread(destination, 1, static_cast<std::size_t>(byteCount),
                                                static_cast<std::FILE*>(handle)));
}

void* fileSeek(void* handle, std::int32_t offset, std::int32_t whence) {
    const int origins[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    if (whence >= vorn3::kSeekFromStart && whence <= vorn3::kSeekToEnd) {
        std::fseek(static_cast<std::FILE*>(handle), whence == vorn3::kSeekToEnd ? 0 : offset,
                   origins[whence]);
    }
    return handle;
}

std::int32_t fileTell(void* handle) {
    return static_cast<std::int32_t>(std::ftell(static_cast<std::FILE*>(handle)));
}

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--wav" && hasValue) {
            options.wav = argv[++i];
        } else if (argument == "--seconds" && hasValue) {
            char* end = nullptr;
            options.seconds = std::strtod(argv[++i], &end);
            if (*end != '\0' || !(*options.seconds > 0)) return false;
        } else if (argument.starts_with("-") || !options.module.empty()) {
            return false;
        } else {
            options.module = argument;
        }
    }
    return !options.module.empty();
}

// Notices when a song, having passed its last order, has left its last row.
struct EndWatch {
    bool endSeen = false;
    std::int32_t order = 0;
    std::int32_t row = 0;

    bool finished(const vorn3::Song* song) {
        const std::int32_t nowOrder = vorn3::songGetOrder(song);
        const std::int32_t nowRow = vorn3::songGetRow(song);
        if (!endSeen) {
            endSeen = vorn3::songEnded(song);
            order = nowOrder;
            row = nowRow;
            return false;
        }
        return nowOrder != order || nowRow != row;
    }
};

void putLittleEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::vector<std::uint8_t> wavHeader(std::uint32_t frames) {
    const std::uint32_t dataBytes = frames * kBytesPerFrame;
    std::vector<std::uint8_t> header;
    const auto text = [&](const char* tag) { header.insert(header.end(), tag, tag + 4); };
    text("RIFF");
    putLittleEndian(header, kWavHeaderBytes - 8 + dataBytes, 4);
    text("WAVE");
    text("fmt ");
    putLittleEndian(header, 16, 4);  // format block bytes
    putLittleEndian(header, 1, 2);   // PCM
    putLittleEndian(header, kChannels, 2);
    putLittleEndian(header, kRate, 4);
    putLittleEndian(header, kRate * kBytesPerFrame, 4);
    putLittleEndian(header, kBytesPerFrame, 2);
    putLittleEndian(header, 16, 2);  // bits per sample
    text("data");
    putLittleEndian(header, dataBytes, 4);
    return header;
}

// Frames on their way to the file; the vectors are allocated once and come back empty.
struct Block {
    std::vector<std::int16_t> samples;  // kBlockFrames frames
    std::size_t used = 0;               // values filled
};

// Writes blocks on a thread of its own, so that the file system's work overlaps the
// mixing.
struct BlockWriter {
    explicit BlockWriter(std::FILE* output) : file(output), thread([this] { run(); }) {}

    // Hands a filled block over and returns an empty one.
    Block exchange(Block filled) {
        std::unique_lock hold(lock);
        changed.wait(hold, [this] { return queue.size() < kQueuedBlocks; });
        queue.push_back(std::move(filled));
        changed.notify_all();
        Block empty;
        if (spare.empty()) {
            empty.samples.resize(kBlockFrames * kChannels);
        } else {
            empty = std::move(spare.back());
            spare.pop_back();
        }
        empty.used = 0;
        return empty;
    }

    // Returns once every block is in the file.
    void finish() {
        {
            const std::lock_guard hold(lock);
            done = true;
            changed.notify_all();
        }
        thread.join();
    }

    void run() {
        for (;;) {
            Block block;
            {
                std::unique_lock hold(lock);
                changed.wait(hold, [this] { return done || !queue.empty(); });
                if (queue.empty()) return;
                block = std::move(queue.front());
                queue.pop_front();
                changed.notify_all();
            }
            std::fwrite(block.samples.data(), sizeof block.samples[0], block.used, file);
            const std::lock_guard hold(lock);
            spare.push_back(std::move(block));
        }
    }

    std::FILE* file;
    std::mutex lock;
    std::condition_variable changed;
    std::deque<Block> queue;
    std::vector<Block> spare;
    bool done = false;
    std::thread thread;
};

int renderWav(vorn3::Song* song, const Options& options) {
    std::FILE* out = std::fopen(options.wav.c_str(), "wb");
    if (!out) {
        std::fprintf(stderr, "vorn3play: cannot write %s: %s\n", options.wav.c_str(),
                     std::strerror(errno));
        return kFailure;
    }
    const auto limit =
        static_cast<std::uint32_t>(options.seconds.value_or(kLongestWavSeconds) * kRate);
    std::fwrite(wavHeader(0).data(), 1, kWavHeaderBytes, out);
    BlockWriter writer(out);
    Block block;
    block.samples.resize(kBlockFrames * kChannels);
    vorn3::songStart(song);
    EndWatch end;
    std::uint32_t frames = 0;
    // The library mixes up to a chunk ahead of what it hands out, so the end may lie in
    // the piece after the one that showed it.
    bool lastPiece = false;
    while (frames < limit && !lastPiece) {
        lastPiece = end.finished(song);
        const std::size_t room = block.samples.size() - block.used;
        const auto count = static_cast<std::int32_t>(
            std::min({std::size_t{kPieceFrames}, std::size_t{limit - frames}, room / kChannels}));
        vorn3::renderAudio(block.samples.data() + block.used, count);
        block.used += static_cast<std::size_t>(count) * kChannels;
        frames += static_cast<std::uint32_t>(count);
        if (block.used == block.samples.size()) block = writer.exchange(std::move(block));
    }
    writer.exchange(std::move(block));
    writer.finish();
    std::rewind(out);
    std::fwrite(wavHeader(frames).data(), 1, kWavHeaderBytes, out);
    if (std::ferror(out) || std::fclose(out) != 0) {
        std::fprintf(stderr, "vorn3play: cannot write %s: %s\n", options.wav.c_str(),
                     std::strerror(errno));
        return kFailure;
    }
    return 0;
}

volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int) {
    interrupted = 1;
}

int play(vorn3::Song* song, vorn3::WaveDevice& device, const Options& options) {
    std::signal(SIGINT, onInterrupt);
    vorn3::songStart(song);
    const std::uint64_t limit = options.seconds
                                    ? static_cast<std::uint64_t>(*options.seconds * kRate)
                                    : std::numeric_limits<std::uint64_t>::max();
    // What is heard lags the position being computed by the ring's length.
    const std::uint64_t lag = std::uint64_t{kPlayBufferMs} * 2 * kRate / 1000;
    EndWatch end;
    std::optional<std::uint64_t> lastFrame;
    while (!interrupted) {
        std::this_thread::sleep_for(kDisplayInterval);
        const std::uint64_t heard = device.framesPlayed();
        const double seconds = static_cast<double>(heard) / kRate;
        std::printf("\rorder %3d  row %3d  %d:%04.1f ", vorn3::songGetOrder(song),
                    vorn3::songGetRow(song), static_cast<int>(seconds) / 60,
                    seconds - static_cast<int>(seconds) / 60 * 60);
        std::fflush(stdout);
        if (!lastFrame && end.finished(song)) lastFrame = heard + lag;
        if (heard >= limit) break;
        if (lastFrame && heard >= *lastFrame) break;
    }
    std::printf("\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    Options options;
    if (!parse(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return kUsageError;
    }
    vorn3::setStreamCallbacks(fileOpen, fileClose, fileRead, fileSeek, fileTell);
    vorn3::Song* song = vorn3::songCreate(options.module.c_str(), nullptr);
    if (!song) {
        if (openError != 0) {
            std::fprintf(stderr, "vorn3play: cannot open %s: %s\n", options.module.c_str(),
                         std::strerror(openError));
        } else {
            std::fprintf(stderr, "vorn3play: %s is not an XM module this player can read\n",
                         options.module.c_str());
        }
        return kFailure;
    }
    std::string deviceError;
    const std::unique_ptr<vorn3::WaveDevice> device = vorn3play::openSoundDevice(deviceError);
    int result = kFailure;
    if (!options.wav.empty()) {
        vorn3::setWaveDevice(nullptr, vorn3::MixingDriver::thread);
        if (vorn3::openAudio(kRate)) result = renderWav(song, options);
    } else {
        vorn3::setBufferLength(kPlayBufferMs);
        vorn3::setWaveDevice(device.get(), vorn3::MixingDriver::thread);
        if (device && vorn3::openAudio(kRate)) {
            result = play(song, *device, options);
        } else {
            std::fprintf(stderr, "vorn3play: no sound device (%s); --wav renders to a file\n",
                         deviceError.c_str());
        }
    }
    vorn3::closeAudio();
    vorn3::songFree(song);
    return result;
}
