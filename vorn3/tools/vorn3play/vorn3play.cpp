// vorn3play: plays modules through the sound device with a one-line progress display,
// renders them to a WAV file or standard output, or prints what they hold.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "command_line/command_line.h"
#include "sound_device.h"
#include "vorn3/vorn3.h"

namespace {

using commandline::parseReal;
using commandline::parseWhole;

constexpr const char* kProgram = "vorn3play";
constexpr std::int32_t kDefaultRate = 44100;  // Hz
constexpr std::int32_t kMinRate = 8000;
constexpr std::int32_t kMaxRate = 384000;
constexpr double kMinGainDb = -96;  // as the library keeps it
constexpr double kMaxGainDb = 24;
constexpr std::int32_t kMaxLoops = 1000000;
// Keeps a count of frames at any rate within 64 bits; some 31 years.
constexpr double kMaxSeconds = 1e9;
constexpr std::int32_t kAnyCount = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kAllSubsongs = -1;
constexpr std::int32_t kChunkMs = 20;  // the device's ring is filled a chunk at a time
constexpr auto kChunkDuration = std::chrono::milliseconds(kChunkMs);
constexpr std::int32_t kRingChunks = 10;  // what is heard lags the mixing by 200 ms at most
constexpr auto kPollInterval = std::chrono::milliseconds(2);
constexpr std::size_t kBlockFrames = 32768;  // rendered at once and handed to the writer
constexpr std::size_t kQueuedBlocks = 4;
constexpr auto kDisplayInterval = std::chrono::milliseconds(100);
constexpr std::int32_t kChannels = 2;
constexpr std::uint32_t kWavHeaderBytes = 44;
constexpr std::uint32_t kUnknownLength = 0xFFFFFFFF;  // a WAV stream of unknown length
constexpr std::uint16_t kPcm = 1;
constexpr std::uint16_t kIeeeFloat = 3;
constexpr int kFailure = 1;
constexpr std::string_view kStandardStream = "-";

constexpr const char* kUsage =
    "usage: vorn3play [OPTION]... [--] FILE...\n"
    "Plays modules one after another through the sound device, each once to its end: where\n"
    "it comes back to a row it has already played. A FILE of - is read from standard input.\n"
    "\n"
    "  -o, --output FILE   render to a WAV file instead, the songs one after another;\n"
    "                      - writes the WAV to standard output\n"
    "      --wav FILE      the same\n"
    "      --loops N       play each song N times; 0 plays forever, which a file takes\n"
    "                      only with --seconds (default 1)\n"
    "      --seconds S     stop each song after S seconds\n"
    "  -s, --start TIME    start each song TIME seconds in, or at ORDER/ROW\n"
    "      --subsong N     play subsong N (from 0; default 0), or all of them in turn\n"
    "  -M, --mute LIST     silence the channels listed, counted from 0, as 0,2-4\n"
    "  -S, --solo LIST     silence every channel but those listed\n"
    "      --rate HZ       output rate, 8000..384000 (default 44100)\n"
    "      --float         32-bit float samples in the WAV instead of 16-bit\n"
    "      --separation P  stereo separation in percent, 0..100 (default 100)\n"
    "      --gain DB       scale the sound by DB decibels, -96..24 (default 0)\n"
    "  -i, --interpolation MODE\n"
    "                      how to read between a sample's frames: nearest, linear\n"
    "                      (default), cubic or sinc\n"
    "      --info          print what each module holds instead of playing it\n"
    "  -q, --quiet         no progress line\n"
    "  -h, --help          show this and exit\n"
    "  -V, --version       show the version and exit\n";

// Where each song starts: a time, or an order's row.
struct StartPoint {
    double seconds = 0;
    std::optional<std::int32_t> order;
    std::int32_t row = 0;
};

struct ChannelRange {
    std::int32_t first = 0;  // from 0
    std::int32_t last = 0;
};

struct Options {
    std::vector<std::string> modules;
    std::string output;  // empty: play; "-": standard output
    std::int32_t loops = 1;
    std::optional<double> seconds;
    std::optional<StartPoint> start;
    std::int32_t subsong = 0;  // from 0; kAllSubsongs: each in turn
    std::vector<ChannelRange> muted;
    std::vector<ChannelRange> solo;
    std::int32_t rate = kDefaultRate;
    std::int32_t separation = vorn3::kDefaultStereoSeparation;
    double gain = 0;  // dB
    vorn3::Interpolation interpolation = vorn3::Interpolation::linear;
    bool floats = false;
    bool info = false;
    bool quiet = false;
    bool help = false;
    bool version = false;
};

bool parseOutput(std::string_view text, std::string& output) {
    output = text;
    return commandline::isFileName(text);
}

bool parseSeconds(std::string_view text, std::optional<double>& seconds) {
    double value = 0;
    if (!parseReal(text, 0, kMaxSeconds, value) || !(value > 0)) return false;
    seconds = value;
    return true;
}

bool parseStart(std::string_view text, std::optional<StartPoint>& start) {
    StartPoint point;
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos) {
        if (!parseReal(text, 0, kMaxSeconds, point.seconds)) return false;
    } else {
        std::int32_t order = 0;
        if (!parseWhole(text.substr(0, slash), 0, kAnyCount, order) ||
            !parseWhole(text.substr(slash + 1), 0, kAnyCount, point.row)) {
            return false;
        }
        point.order = order;
    }
    start = point;
    return true;
}

bool parseSubsong(std::string_view text, std::int32_t& subsong) {
    if (text == "all") {
        subsong = kAllSubsongs;
        return true;
    }
    return parseWhole(text, 0, kAnyCount, subsong);
}

// A list as the peers take it: channels and ranges of them, as 0,2-4.
bool parseChannels(std::string_view text, std::vector<ChannelRange>& ranges) {
    ranges.clear();
    for (std::size_t from = 0; from <= text.size();) {
        const std::size_t comma = std::min(text.find(',', from), text.size());
        const std::string_view item = text.substr(from, comma - from);
        const std::size_t dash = item.find('-');
        ChannelRange range;
        if (!parseWhole(item.substr(0, dash), 0, kAnyCount, range.first)) return false;
        range.last = range.first;
        if (dash != std::string_view::npos &&
            !parseWhole(item.substr(dash + 1), range.first, kAnyCount, range.last)) {
            return false;
        }
        ranges.push_back(range);
        from = comma + 1;
    }
    return true;
}

bool parseInterpolation(std::string_view text, vorn3::Interpolation& mode) {
    static constexpr std::pair<std::string_view, vorn3::Interpolation> kModes[] = {
        {"nearest", vorn3::Interpolation::nearest},
        {"linear", vorn3::Interpolation::linear},
        {"cubic", vorn3::Interpolation::cubic},
        {"sinc", vorn3::Interpolation::sinc},
    };
    for (const auto& [name, value] : kModes) {
        if (text == name) {
            mode = value;
            return true;
        }
    }
    return false;
}

template <bool Options::*flag>
bool setFlag(Options& options, std::string_view) {
    options.*flag = true;
    return true;
}

// One row an option, in the order --help lists them.
const commandline::OptionRule<Options> kOptions[] = {
    {"output", 'o', "a file name or -",
     [](Options& o, std::string_view v) { return parseOutput(v, o.output); }},
    {"wav", 0, "a file name or -",
     [](Options& o, std::string_view v) { return parseOutput(v, o.output); }},
    {"loops", 0, "a count of 0 or more",
     [](Options& o, std::string_view v) { return parseWhole(v, 0, kMaxLoops, o.loops); }},
    {"seconds", 0, "a time in seconds above 0",
     [](Options& o, std::string_view v) { return parseSeconds(v, o.seconds); }},
    {"start", 's', "a time in seconds or ORDER/ROW",
     [](Options& o, std::string_view v) { return parseStart(v, o.start); }},
    {"subsong", 0, "a subsong from 0, or all",
     [](Options& o, std::string_view v) { return parseSubsong(v, o.subsong); }},
    {"mute", 'M', "channels from 0 as 0,2-4",
     [](Options& o, std::string_view v) { return parseChannels(v, o.muted); }},
    {"solo", 'S', "channels from 0 as 0,2-4",
     [](Options& o, std::string_view v) { return parseChannels(v, o.solo); }},
    {"rate", 0, "a rate from 8000 to 384000 Hz",
     [](Options& o, std::string_view v) { return parseWhole(v, kMinRate, kMaxRate, o.rate); }},
    {"float", 0, nullptr, setFlag<&Options::floats>},
    {"separation", 0, "a whole percentage from 0 to 100",
     [](Options& o, std::string_view v) { return parseWhole(v, 0, 100, o.separation); }},
    {"gain", 0, "a gain from -96 to 24 dB",
     [](Options& o, std::string_view v) { return parseReal(v, kMinGainDb, kMaxGainDb, o.gain); }},
    {"interpolation", 'i', "nearest, linear, cubic or sinc",
     [](Options& o, std::string_view v) { return parseInterpolation(v, o.interpolation); }},
    {"info", 0, nullptr, setFlag<&Options::info>},
    {"quiet", 'q', nullptr, setFlag<&Options::quiet>},
    {"help", 'h', nullptr, setFlag<&Options::help>},
    {"version", 'V', nullptr, setFlag<&Options::version>},
};

// What the options together must be; empty when they are.
std::string conflictOf(const Options& options) {
    if (options.modules.empty()) return "no module given";
    const bool toFile = !options.output.empty() && options.output != kStandardStream;
    if (toFile && options.loops == vorn3::kPlayForever && !options.seconds) {
        return "--loops 0 plays forever, which a file takes only with --seconds";
    }
    return {};
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
    std::printf("  subsongs    %zu\n", info.subsongs.size());
    for (std::size_t i = 0; i < info.subsongs.size(); ++i) {
        std::printf("    %3zu  order %3d  %s\n", i, info.subsongs[i].firstOrder,
                    timeText(info.subsongs[i].seconds).c_str());
    }
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
    header.reserve(kWavHeaderBytes);  // also spares gcc 12 a false overflow warning
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

volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int) {
    interrupted = 1;
}

// The progress line, on a terminal only.
struct Progress {
    bool shown = false;
    bool printed = false;
    std::chrono::steady_clock::time_point last{};
};

void showProgress(Progress& progress, const std::string& name, const vorn3::Tune& tune) {
    const auto now = std::chrono::steady_clock::now();
    if (!progress.shown || now - progress.last < kDisplayInterval) return;
    progress.last = now;
    progress.printed = true;
    const vorn3::TuneState state = vorn3::tuneState(tune);
    std::fprintf(stderr, "\r%s  %s  subsong %d  order %3d  row %3d ", name.c_str(),
                 timeText(state.playback.seconds).c_str(), state.playback.subsong,
                 state.playback.order, state.playback.row);
}

void endProgress(const Progress& progress) {
    if (progress.printed) std::fputc('\n', stderr);
}

// Where the next frames go, as many as fit there.
struct Room {
    void* at = nullptr;
    std::int32_t frames = 0;
    bool floats = false;
};

// The output file with the frames written to it so far.
struct FileOutput {
    std::FILE* file = nullptr;
    bool seekable = false;
    std::uint64_t dataBytes = 0;
    std::size_t frameBytes = 0;
    bool floats = false;
    std::unique_ptr<BlockWriter> writer;
    Block block;
};

// Opens the output and writes a header to be completed at the end, where it can be.
bool openOutput(const Options& options, FileOutput& output) {
    const bool toStandardOutput = options.output == kStandardStream;
    output.file = toStandardOutput ? stdout : std::fopen(options.output.c_str(), "wb");
    if (!output.file) {
        std::fprintf(stderr, "%s: cannot write %s: %s\n", kProgram, options.output.c_str(),
                     std::strerror(errno));
        return false;
    }
    output.seekable = !toStandardOutput && std::fseek(output.file, 0, SEEK_SET) == 0;
    output.floats = options.floats;
    output.frameBytes = kChannels * (options.floats ? sizeof(float) : sizeof(std::int16_t));
    const std::vector<std::uint8_t> header = wavHeader(options, kUnknownLength);
    std::fwrite(header.data(), 1, header.size(), output.file);
    output.writer = std::make_unique<BlockWriter>(output.file);
    output.block.bytes.resize(kBlockFrames * kChannels * sizeof(float));
    return true;
}

Room roomIn(FileOutput& output) {
    const std::size_t free = output.block.bytes.size() - output.block.used;
    return {output.block.bytes.data() + output.block.used,
            static_cast<std::int32_t>(free / output.frameBytes), output.floats};
}

void filled(FileOutput& output, std::int32_t frames) {
    const std::size_t bytes = static_cast<std::size_t>(frames) * output.frameBytes;
    output.block.used += bytes;
    output.dataBytes += bytes;
    if (output.block.used + output.frameBytes > output.block.bytes.size()) {
        output.block = output.writer->exchange(std::move(output.block));
    }
}

bool closeOutput(const Options& options, FileOutput& output) {
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
        std::fprintf(stderr, "%s: cannot write %s: %s\n", kProgram, options.output.c_str(),
                     std::strerror(errno));
        return false;
    }
    return true;
}

// The sound device, playing a ring of chunks over and over; each chunk is filled once
// the device has left it, a lap ahead of what it plays.
struct DeviceOutput {
    std::vector<std::int16_t> ring;  // outlives the device reading it
    std::unique_ptr<vorn3::WaveDevice> device;
    std::int32_t chunkFrames = 0;
    std::uint64_t nextChunk = 0;  // counted since the device opened
    vorn3::DeviceWatch watch;     // a device silent for a whole ring is gone
    bool lost = false;
};

std::int64_t steadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool openOutput(const Options& options, DeviceOutput& output) {
    std::string error;
    output.device = vorn3play::openSoundDevice(error);
    output.chunkFrames = options.rate * kChunkMs / 1000;
    output.ring.assign(static_cast<std::size_t>(kChannels * kRingChunks * output.chunkFrames), 0);
    if (!output.device ||
        !output.device->open(output.ring.data(), kRingChunks * output.chunkFrames, options.rate)) {
        std::fprintf(stderr, "%s: no sound device (%s); --output renders to a file\n", kProgram,
                     error.c_str());
        return false;
    }
    output.watch.patience =
        std::chrono::duration_cast<std::chrono::nanoseconds>(kRingChunks * kChunkDuration).count();
    vorn3::watchFrom(output.watch, 0, steadyNanoseconds());
    return true;
}

// Whether the device has gone away, which ends playback rather than waiting for ever; says
// so once.
bool deviceGone(DeviceOutput& output, std::uint64_t played) {
    if (!output.lost &&
        vorn3::deviceLost(output.watch, *output.device, played, steadyNanoseconds())) {
        std::fprintf(stderr, "%s: the sound device went away\n", kProgram);
        output.lost = true;
    }
    return output.lost;
}

bool outputLost(const FileOutput&) {
    return false;
}

bool outputLost(const DeviceOutput& output) {
    return output.lost;
}

std::int16_t* chunkAt(DeviceOutput& output, std::uint64_t chunk) {
    const auto slot = static_cast<std::size_t>(chunk % kRingChunks);
    return output.ring.data() + slot * kChannels * static_cast<std::size_t>(output.chunkFrames);
}

// Waits for the next chunk to be free; no room once interrupted or the device is gone.
Room roomIn(DeviceOutput& output) {
    while (!interrupted) {
        // framesPlayed also orders the ring's last writes before the device's reads.
        const std::uint64_t played = output.device->framesPlayed();
        if (deviceGone(output, played)) break;
        const std::uint64_t playing = played / output.chunkFrames;
        // A chunk the device has passed already is skipped: the machine was busy.
        output.nextChunk = std::max(output.nextChunk, playing + 1);
        if (output.nextChunk < playing + kRingChunks) {
            return {chunkAt(output, output.nextChunk), output.chunkFrames, false};
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    return {};
}

void filled(DeviceOutput& output, std::int32_t frames) {
    std::int16_t* chunk = chunkAt(output, output.nextChunk);
    std::fill(chunk + kChannels * frames, chunk + kChannels * output.chunkFrames, 0);
    ++output.nextChunk;
}

// Returns once the device has played every chunk filled, on an interrupt or once the
// device is gone; false then.
bool closeOutput(const Options&, DeviceOutput& output) {
    const std::uint64_t end = output.nextChunk * static_cast<std::uint64_t>(output.chunkFrames);
    for (std::uint64_t played = 0; !interrupted &&
                                   !deviceGone(output, played = output.device->framesPlayed()) &&
                                   played < end;) {
        std::this_thread::sleep_for(kPollInterval);
    }
    output.device->close();
    return !output.lost;
}

template <typename Output>
void renderTune(const std::string& name, vorn3::Tune& tune, const Options& options,
                Output& output) {
    std::int64_t left = options.seconds ? std::llround(*options.seconds * options.rate)
                                        : std::numeric_limits<std::int64_t>::max();
    Progress progress{.shown = !options.quiet && isatty(STDERR_FILENO) != 0};
    while (left > 0 && !interrupted) {
        const Room room = roomIn(output);
        const auto count = static_cast<std::int32_t>(std::min<std::int64_t>(left, room.frames));
        if (count == 0) break;
        const std::int32_t got =
            room.floats ? vorn3::tuneRender(tune, static_cast<float*>(room.at), count)
                        : vorn3::tuneRender(tune, static_cast<std::int16_t*>(room.at), count);
        filled(output, got);
        left -= got;
        showProgress(progress, name, tune);
        if (got < count) break;
    }
    endProgress(progress);
}

std::string nameOf(const std::string& path) {
    return path == kStandardStream ? "standard input" : path;
}

// A module from a file, or from standard input read to its end.
vorn3::TuneLoad readModule(const std::string& path, std::int32_t rate) {
    if (path != kStandardStream) return vorn3::tuneLoadFile(path.c_str(), rate);
    std::vector<std::uint8_t> bytes;
    std::uint8_t buffer[1 << 16];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, stdin)) > 0;)
        bytes.insert(bytes.end(), buffer, buffer + got);
    return vorn3::tuneLoad(bytes.data(), bytes.size(), rate);
}

// As readModule, saying what a module that loads warns of.
vorn3::TuneLoad loadModule(const std::string& path, const Options& options) {
    vorn3::TuneLoad loaded = readModule(path, options.rate);
    if (loaded.status.ok && !loaded.status.message.empty() && !options.quiet) {
        std::fprintf(stderr, "%s: %s: warning: %s\n", kProgram, nameOf(path).c_str(),
                     loaded.status.message.c_str());
    }
    return loaded;
}

bool listed(const std::vector<ChannelRange>& ranges, std::int32_t channel) {
    return std::any_of(ranges.begin(), ranges.end(), [channel](const ChannelRange& range) {
        return range.first <= channel && channel <= range.last;
    });
}

std::int32_t firstSubsong(const Options& options) {
    return options.subsong == kAllSubsongs ? 0 : options.subsong;
}

vorn3::Status startSubsong(vorn3::Tune& tune, const Options& options, std::int32_t subsong) {
    const vorn3::Status chosen = vorn3::tuneSelectSubsong(tune, subsong);
    if (!chosen.ok || !options.start) return chosen;
    const StartPoint& start = *options.start;
    return start.order ? vorn3::tuneSeekPosition(tune, *start.order, start.row)
                       : vorn3::tuneSeekTime(tune, start.seconds);
}

vorn3::Status prepareTune(vorn3::Tune& tune, const Options& options) {
    vorn3::tuneSetPasses(tune, options.loops);
    vorn3::tuneSetStereoSeparation(tune, options.separation);
    vorn3::tuneSetGain(tune, options.gain);
    vorn3::tuneSetInterpolation(tune, options.interpolation);
    const std::int32_t channels = vorn3::tuneInfo(tune).channels;
    for (std::int32_t channel = 0; channel < channels; ++channel) {
        const bool soloed = options.solo.empty() || listed(options.solo, channel);
        if (!soloed || listed(options.muted, channel)) vorn3::tuneMuteChannel(tune, channel, true);
    }
    return startSubsong(tune, options, firstSubsong(options));
}

// The subsongs asked for one after another, the first already started.
template <typename Output>
bool renderSubsongs(const std::string& name, vorn3::Tune& tune, const Options& options,
                    Output& output) {
    const std::int32_t last =
        options.subsong == kAllSubsongs ? vorn3::tuneSubsongCount(tune) - 1 : options.subsong;
    for (std::int32_t subsong = firstSubsong(options); subsong <= last && !interrupted;) {
        renderTune(name, tune, options, output);
        if (++subsong > last) break;
        const vorn3::Status status = startSubsong(tune, options, subsong);
        if (!status.ok) {
            std::fprintf(stderr, "%s: %s: %s\n", kProgram, name.c_str(), status.message.c_str());
            return false;
        }
    }
    return true;
}

// The output opens with the first module that loads: nothing is created for none.
template <typename Output>
int playAll(const Options& options, Output& output) {
    int result = 0;
    bool opened = false;
    for (const std::string& path : options.modules) {
        if (interrupted || outputLost(output)) break;
        const vorn3::TuneLoad loaded = loadModule(path, options);
        const vorn3::Status status =
            loaded.tune ? prepareTune(*loaded.tune, options) : loaded.status;
        if (!status.ok) {
            std::fprintf(stderr, "%s: %s: %s\n", kProgram, nameOf(path).c_str(),
                         status.message.c_str());
            result = kFailure;
        } else if (opened || (opened = openOutput(options, output))) {
            if (!renderSubsongs(nameOf(path), *loaded.tune, options, output)) result = kFailure;
        } else {
            vorn3::tuneFree(loaded.tune);
            return kFailure;
        }
        vorn3::tuneFree(loaded.tune);
    }
    if (opened && !closeOutput(options, output)) result = kFailure;
    return result;
}

int printAll(const Options& options) {
    int result = 0;
    for (const std::string& path : options.modules) {
        const vorn3::TuneLoad loaded = loadModule(path, options);
        if (loaded.tune) {
            printInfo(nameOf(path), *loaded.tune);
        } else {
            std::fprintf(stderr, "%s: %s: %s\n", kProgram, nameOf(path).c_str(),
                         loaded.status.message.c_str());
            result = kFailure;
        }
        vorn3::tuneFree(loaded.tune);
    }
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!commandline::parseCommandLine<Options>(argc, argv, kOptions, options, options.modules,
                                                error)) {
        return commandline::usageError(kProgram, error);
    }
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (options.version) {
        std::printf("%s %s\n", kProgram, VORN3_VERSION);
        return 0;
    }
    error = conflictOf(options);
    if (!error.empty()) return commandline::usageError(kProgram, error);
    std::signal(SIGINT, onInterrupt);
    if (options.info) return printAll(options);
    if (options.output.empty()) {
        DeviceOutput device;
        return playAll(options, device);
    }
    FileOutput file;
    return playAll(options, file);
}
