// vorn3play: plays modules through the sound device with a one-line progress display,
// renders them to a WAV file or standard output, or prints what they hold.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sound_device.h"
#include "vorn3/vorn3.h"

namespace {

constexpr std::int32_t kDefaultRate = 44100;  // Hz
constexpr std::int32_t kMinRate = 8000;
constexpr std::int32_t kMaxRate = 384000;
constexpr double kMinGainDb = -96;  // as the library keeps it
constexpr double kMaxGainDb = 24;
constexpr std::int32_t kPlayBufferMs = 100;  // the ring holds twice this
constexpr std::size_t kBlockFrames = 32768;  // rendered at once and handed to the writer
constexpr std::size_t kQueuedBlocks = 4;
constexpr double kLongestForeverSeconds = 30 * 60;  // a song told to loop forever stops here
constexpr auto kDisplayInterval = std::chrono::milliseconds(100);
constexpr std::int32_t kChannels = 2;
constexpr std::uint32_t kWavHeaderBytes = 44;
constexpr std::uint32_t kUnknownLength = 0xFFFFFFFF;  // a WAV stream of unknown length
constexpr std::uint16_t kPcm = 1;
constexpr std::uint16_t kIeeeFloat = 3;
constexpr int kFailure = 1;
constexpr int kUsageError = 2;

constexpr const char* kUsage =
    "usage: vorn3play [OPTIONS] FILE...\n"
    "Plays modules one after another through the sound device, showing order, row and\n"
    "time, each once to its end: where it comes back to a row it has already played.\n"
    "  --wav OUT.wav  render to a WAV file instead, the songs one after another\n"
    "  -o OUT         the same; -o - writes the WAV to standard output\n"
    "  --loops N      play each song N times (0: forever; default 1)\n"
    "  --seconds S    stop each song after S seconds\n"
    "  --rate HZ      output rate, 8000..384000 (default 44100)\n"
    "  --float        32-bit float samples instead of 16-bit\n"
    "  --separation P stereo separation in percent, 0..100 (default 100)\n"
    "  --gain DB      scale the sound by DB decibels, -96..24 (default 0)\n"
    "  --info         print what each module holds instead of playing it\n"
    "  --help         show this help\n";

struct Options {
    std::vector<std::string> modules;
    std::string output;  // empty: play; "-": standard output
    std::int32_t loops = 1;
    std::optional<double> seconds;
    std::int32_t rate = kDefaultRate;
    std::int32_t separation = vorn3::kDefaultStereoSeparation;
    double gain = 0;  // dB
    bool floats = false;
    bool info = false;
};

// Complains about one option on one line; false to stop.
bool badValue(const std::string& option, const char* value, const char* wanted) {
    std::fprintf(stderr, "vorn3play: %s: '%s' is not %s\n", option.c_str(), value, wanted);
    return false;
}

bool parseNumber(const char* text, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(value);
}

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool takesValue = argument == "--wav" || argument == "-o" || argument == "--loops" ||
                                argument == "--seconds" || argument == "--rate" ||
                                argument == "--separation" || argument == "--gain";
        if (takesValue && i + 1 >= argc) {
            std::fprintf(stderr, "vorn3play: %s needs a value\n", argument.c_str());
            return false;
        }
        double number = 0;
        if (argument == "--wav" || argument == "-o") {
            options.output = argv[++i];
        } else if (argument == "--loops") {
            const char* value = argv[++i];
            if (!parseNumber(value, number) || number < 0 || number != std::floor(number) ||
                number > 1e6) {
                return badValue(argument, value, "a count of 0 or more");
            }
            options.loops = static_cast<std::int32_t>(number);
        } else if (argument == "--seconds") {
            const char* value = argv[++i];
            if (!parseNumber(value, number) || !(number > 0)) {
                return badValue(argument, value, "a time in seconds above 0");
            }
            options.seconds = number;
        } else if (argument == "--rate") {
            const char* value = argv[++i];
            if (!parseNumber(value, number) || number < kMinRate || number > kMaxRate ||
                number != std::floor(number)) {
                return badValue(argument, value, "a rate from 8000 to 384000 Hz");
            }
            options.rate = static_cast<std::int32_t>(number);
        } else if (argument == "--separation") {
            const char* value = argv[++i];
            if (!parseNumber(value, number) || number < 0 || number > 100 ||
                number != std::floor(number)) {
                return badValue(argument, value, "a whole percentage from 0 to 100");
            }
            options.separation = static_cast<std::int32_t>(number);
        } else if (argument == "--gain") {
            const char* value = argv[++i];
            if (!parseNumber(value, number) || number < kMinGainDb || number > kMaxGainDb) {
                return badValue(argument, value, "a gain from -96 to 24 dB");
            }
            options.gain = number;
        } else if (argument == "--float") {
            options.floats = true;
        } else if (argument == "--info") {
            options.info = true;
        } else if (argument.size() > 1 && argument.starts_with("-")) {
            std::fprintf(stderr, "vorn3play: unknown option %s\n", argument.c_str());
            return false;
        } else {
            options.modules.push_back(argument);
        }
    }
    if (options.modules.empty()) std::fputs("vorn3play: no module given\n", stderr);
    return !options.modules.empty();
}

std::string timeText(double seconds) {
    char text[32];
    const int minutes = static_cast<int>(seconds / 60);
    std::snprintf(text, sizeof text, "%d:%04.1f", minutes, seconds - minutes * 60);
    return text;
}

void printInfo(const std::string& path, const vorn3::Tune& tune) {
    const vorn3::ModuleInfo info = vorn3::tuneInfo(tune);
    std::printf("%s\n", path.c_str());
    std::printf("  title       %s\n", info.title.c_str());
    std::printf("  tracker     %s\n", info.tracker.c_str());
    std::printf("  format      %s, %s frequencies\n", info.format.c_str(),
                info.linearFrequencies ? "linear" : "Amiga");
    std::printf("  channels    %d\n", info.channels);
    std::printf("  orders      %d, patterns %d\n", info.orders, info.patterns);
    std::printf("  speed       %d, %d BPM\n", info.speed, info.bpm);
    std::printf("  duration    %s\n", timeText(vorn3::tuneDuration(tune)).c_str());
    if (!info.message.empty()) std::printf("  message\n%s\n", info.message.c_str());
    std::printf("  instruments %zu\n", info.instruments.size());
    for (std::size_t i = 0; i < info.instruments.size(); ++i)
        std::printf("    %3zu  %s\n", i + 1, info.instruments[i].c_str());
    std::printf("  samples     %zu\n", info.samples.size());
    for (std::size_t i = 0; i < info.samples.size(); ++i)
        std::printf("    %3zu  %s\n", i + 1, info.samples[i].c_str());
}

void putLittleEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// With dataBytes kUnknownLength, the header of a stream whose length is not known.
std::vector<std::uint8_t> wavHeader(const Options& options, std::uint32_t dataBytes) {
    const std::uint32_t bytesPerValue = options.floats ? 4 : 2;
    const std::uint32_t bytesPerFrame = kChannels * bytesPerValue;
    const auto rate = static_cast<std::uint32_t>(options.rate);
    std::vector<std::uint8_t> header;
    const auto text = [&](const char* tag) { header.insert(header.end(), tag, tag + 4); };
    text("RIFF");
    putLittleEndian(header, std::min(dataBytes, kUnknownLength - kWavHeaderBytes) + 36, 4);
    text("WAVE");
    text("fmt ");
    putLittleEndian(header, 16, 4);  // format block bytes
    putLittleEndian(header, options.floats ? kIeeeFloat : kPcm, 2);
    putLittleEndian(header, kChannels, 2);
    putLittleEndian(header, rate, 4);
    putLittleEndian(header, rate * bytesPerFrame, 4);
    putLittleEndian(header, bytesPerFrame, 2);
    putLittleEndian(header, bytesPerValue * 8, 2);
    text("data");
    putLittleEndian(header, dataBytes, 4);
    return header;
}

// Frames on their way to the file; the blocks are allocated once and come back empty.
struct Block {
    std::vector<std::uint8_t> bytes;  // kBlockFrames frames of either kind
    std::size_t used = 0;             // bytes filled
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
            empty.bytes.resize(kBlockFrames * kChannels * sizeof(float));
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
            std::fwrite(block.bytes.data(), 1, block.used, file);
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

// The progress line, on a terminal only.
struct Progress {
    bool shown = isatty(STDERR_FILENO) != 0;
    std::chrono::steady_clock::time_point last{};

    void update(const std::string& path, const vorn3::Tune& tune, double total) {
        const auto now = std::chrono::steady_clock::now();
        if (!shown || now - last < kDisplayInterval) return;
        last = now;
        const vorn3::TunePosition position = vorn3::tunePosition(tune);
        std::fprintf(stderr, "\r%s  order %3d  row %3d  %s / %s ", path.c_str(), position.order,
                     position.row, timeText(position.seconds).c_str(), timeText(total).c_str());
    }

    void end() const {
        if (shown) std::fputc('\n', stderr);
    }
};

// The output file with the frames written to it so far.
struct Output {
    std::FILE* file = nullptr;
    bool seekable = false;
    std::uint64_t dataBytes = 0;
    std::unique_ptr<BlockWriter> writer;
    Block block;
};

double secondsToPlay(const Options& options, const vorn3::Tune& tune) {
    if (options.seconds) return *options.seconds;
    if (options.loops == vorn3::kPlayForever) return kLongestForeverSeconds;
    return vorn3::tuneDuration(tune) * options.loops;
}

void renderTune(const std::string& path, vorn3::Tune& tune, const Options& options,
                Output& output) {
    vorn3::tuneSetPasses(tune, options.loops);
    vorn3::tuneSetStereoSeparation(tune, options.separation);
    vorn3::tuneSetGain(tune, options.gain);
    const double total = secondsToPlay(options, tune);
    auto left = static_cast<std::int64_t>(std::llround(total * options.rate));
    const std::size_t frameBytes = kChannels * (options.floats ? sizeof(float) : 2);
    Progress progress;
    while (left > 0) {
        const std::size_t room = (output.block.bytes.size() - output.block.used) / frameBytes;
        const auto count = static_cast<std::int32_t>(std::min<std::int64_t>(left, room));
        void* at = output.block.bytes.data() + output.block.used;
        const std::int32_t got =
            options.floats ? vorn3::tuneRender(tune, static_cast<float*>(at), count)
                           : vorn3::tuneRender(tune, static_cast<std::int16_t*>(at), count);
        output.block.used += static_cast<std::size_t>(got) * frameBytes;
        output.dataBytes += static_cast<std::size_t>(got) * frameBytes;
        left -= got;
        if (output.block.used == output.block.bytes.size()) {
            output.block = output.writer->exchange(std::move(output.block));
        }
        progress.update(path, tune, total);
        if (got < count) break;
    }
    progress.end();
}

// Opens the output and writes a header to be completed at the end, where it can be.
bool openOutput(const Options& options, Output& output) {
    const bool toStandardOutput = options.output == "-";
    output.file = toStandardOutput ? stdout : std::fopen(options.output.c_str(), "wb");
    if (!output.file) {
        std::fprintf(stderr, "vorn3play: cannot write %s: %s\n", options.output.c_str(),
                     std::strerror(errno));
        return false;
    }
    output.seekable = !toStandardOutput && std::fseek(output.file, 0, SEEK_SET) == 0;
    const std::vector<std::uint8_t> header = wavHeader(options, kUnknownLength);
    std::fwrite(header.data(), 1, header.size(), output.file);
    output.writer = std::make_unique<BlockWriter>(output.file);
    output.block.bytes.resize(kBlockFrames * kChannels * sizeof(float));
    return true;
}

bool closeOutput(const Options& options, Output& output) {
    output.writer->exchange(std::move(output.block));
    output.writer->finish();
    if (output.seekable) {
        std::rewind(output.file);
        const auto bytes = static_cast<std::uint32_t>(
            std::min<std::uint64_t>(output.dataBytes, kUnknownLength - 1));
        const std::vector<std::uint8_t> header = wavHeader(options, bytes);
        std::fwrite(header.data(), 1, header.size(), output.file);
    }
    const bool failed = std::ferror(output.file) != 0;
    const bool closed =
        output.file == stdout ? std::fflush(stdout) == 0 : std::fclose(output.file) == 0;
    if (failed || !closed) {
        std::fprintf(stderr, "vorn3play: cannot write %s: %s\n", options.output.c_str(),
                     std::strerror(errno));
        return false;
    }
    return true;
}

volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int) {
    interrupted = 1;
}

void* fileOpen(const char* name) {
    return std::fopen(name, "rb");
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

// Plays one song through the open output until it finishes and has been heard, the time
// runs out or the user interrupts.
void playSong(vorn3::Song* song, vorn3::WaveDevice& device, const Options& options) {
    vorn3::setPasses(song, options.loops);
    vorn3::songStart(song);
    const std::uint64_t start = device.framesPlayed();
    const std::uint64_t limit =
        options.seconds ? static_cast<std::uint64_t>(*options.seconds * options.rate) : UINT64_MAX;
    // What is heard lags the position being computed by the ring's length.
    const std::uint64_t lag = std::uint64_t{kPlayBufferMs} * 2 * options.rate / 1000;
    std::optional<std::uint64_t> lastFrame;
    while (!interrupted) {
        std::this_thread::sleep_for(kDisplayInterval);
        const std::uint64_t heard = device.framesPlayed() - start;
        std::printf("\rorder %3d  row %3d  %s ", vorn3::songGetOrder(song), vorn3::songGetRow(song),
                    timeText(static_cast<double>(heard) / options.rate).c_str());
        std::fflush(stdout);
        if (!lastFrame && vorn3::songFinished(song)) lastFrame = heard + lag;
        if (heard >= limit || (lastFrame && heard >= *lastFrame)) break;
    }
    std::printf("\n");
    vorn3::songStop(song);
}

int playAll(const Options& options) {
    std::string deviceError;
    const std::unique_ptr<vorn3::WaveDevice> device = vorn3play::openSoundDevice(deviceError);
    vorn3::setStreamCallbacks(fileOpen, fileClose, fileRead, fileSeek, fileTell);
    vorn3::setBufferLength(kPlayBufferMs);
    vorn3::setGain(options.gain);
    vorn3::setWaveDevice(device.get(), vorn3::MixingDriver::thread);
    if (!device || !vorn3::openAudio(options.rate)) {
        std::fprintf(stderr, "vorn3play: no sound device (%s); --wav renders to a file\n",
                     deviceError.c_str());
        return kFailure;
    }
    std::signal(SIGINT, onInterrupt);
    int result = 0;
    for (const std::string& path : options.modules) {
        if (interrupted) break;
        // The tune says why a file cannot be played; the song plays it.
        const vorn3::TuneLoad check = vorn3::tuneLoadFile(path.c_str(), options.rate);
        vorn3::tuneFree(check.tune);
        vorn3::Song* song = check.tune ? vorn3::songCreate(path.c_str(), nullptr) : nullptr;
        if (!song) {
            std::fprintf(stderr, "vorn3play: %s: %s\n", path.c_str(),
                         check.tune ? "cannot be read" : check.status.message.c_str());
            result = kFailure;
            continue;
        }
        std::printf("%s\n", path.c_str());
        vorn3::setStereoSeparation(song, options.separation);
        playSong(song, *device, options);
        vorn3::songFree(song);
    }
    vorn3::closeAudio();
    return result;
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
        std::fputs("vorn3play: --help lists the options\n", stderr);
        return kUsageError;
    }
    if (!options.info && options.output.empty()) return playAll(options);

    Output output;
    if (!options.info && !openOutput(options, output)) return kFailure;
    int result = 0;
    for (const std::string& path : options.modules) {
        const vorn3::TuneLoad loaded = vorn3::tuneLoadFile(path.c_str(), options.rate);
        if (!loaded.tune) {
            std::fprintf(stderr, "vorn3play: %s: %s\n", path.c_str(),
                         loaded.status.message.c_str());
            result = kFailure;
            continue;
        }
        if (options.info) {
            printInfo(path, *loaded.tune);
        } else {
            renderTune(path, *loaded.tune, options, output);
        }
        vorn3::tuneFree(loaded.tune);
    }
    if (!options.info && !closeOutput(options, output)) result = kFailure;
    return result;
}
