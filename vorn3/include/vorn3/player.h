// Vorn3's players, for programs linked with the static library (the show and vorn3play):
// a player reads songs through five stream callbacks the host hands it and plays them
// through a wave device, or renders them for the host to take: the host opens the output
// and then creates and starts songs by name. The functions without a player act on one
// default player; others a host creates share nothing with it or with each other, and
// may run on threads of their own. The library throws no exceptions. Not part of the
// shared library's interface, which is <vorn3/vorn3_c.h> (and <vorn3/vorn3.h> over it).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "vorn3/vorn3.h"

namespace vorn3 {

// A loaded module with its playback state; created by songCreate, released by songFree.
struct Song;
// Stream callbacks, an output and the songs it created; see playerCreate.
struct Player;

// Stream callbacks. A handle is whatever the host's open returns; null means failure.
using StreamOpen = void* (*)(const char* name);
using StreamClose = void (*)(void* handle);
// Copies up to byteCount bytes and returns how many were copied.
using StreamRead = std::int32_t (*)(void* destination, std::int32_t byteCount, void* handle);
// whence is one of the kSeek values below; returns the handle.
using StreamSeek = void* (*)(void* handle, std::int32_t offset, std::int32_t whence);
using StreamTell = std::int32_t (*)(void* handle);

inline constexpr std::int32_t kSeekFromStart = 0;
inline constexpr std::int32_t kSeekFromCurrent = 1;
inline constexpr std::int32_t kSeekToEnd = 2;

// Supplies a sample's data in place of the stream: fills the first storedBytes bytes of
// destination with frames of `bits` (8 or 16) bits, already decoded (not delta coded).
// instrument and sample are 0-based; the sample index counts within the instrument.
using SampleDataHook = void (*)(void* destination, std::int32_t storedBytes, std::int32_t bits,
                                std::int32_t instrument, std::int32_t sample);

// All five set, or any of them null to clear all five.
void setStreamCallbacks(StreamOpen open, StreamClose close, StreamRead read, StreamSeek seek,
                        StreamTell tell);

// Stream callbacks over bytes in memory, for a host that holds its modules there: the
// host's open returns a MemoryStream over a module's bytes (which stay until its close),
// its close releases it, and memoryRead, memorySeek and memoryTell go with them. These
// three never fail and touch nothing but the stream: any thread may call them, one at a
// time for a given stream (songCreate calls them on its caller's thread).
struct MemoryStream {
    const std::uint8_t* data = nullptr;  // may be null when size is 0
    std::int32_t size = 0;               // bytes
    std::int32_t position = 0;           // bytes from the start, kept within 0..size
};

// Copies up to byteCount bytes from the position of the MemoryStream `stream` and moves
// the position past them. Returns how many were copied: fewer at the end, 0 there or
// for a negative count.
std::int32_t memoryRead(void* destination, std::int32_t byteCount, void* stream);
// Moves the position to `offset` bytes from the start or from the position, or to the
// end whatever the offset; a position beyond either end lands on it, and an unknown
// whence leaves it. Returns `stream`.
void* memorySeek(void* stream, std::int32_t offset, std::int32_t whence);
// The position.
std::int32_t memoryTell(void* stream);

// The sound output the library plays through: a ring of 16-bit stereo frames (left
// first) that the device plays from its first frame to its last, over and over, and the
// count of frames played since it opened. The library writes a stretch of the ring only
// after the device has played it, and asks framesPlayed again after every stretch it
// wrote: a device that reads the ring on a thread of its own synchronizes with those
// writes there (a lock taken there and where it reads).
class WaveDevice {
public:
    virtual ~WaveDevice() = default;
    // Starts playing `ring` (ringFrames frames, silent at first) at `rate` frames per
    // second. False when no device can be opened.
    virtual bool open(const std::int16_t* ring, std::int32_t ringFrames, std::int32_t rate) = 0;
    virtual std::uint64_t framesPlayed() = 0;
    // Stops reading the ring, which is released after this returns.
    virtual void close() = 0;
    // Opens the device to go on where another left off: it plays the ring from frame
    // firstFrame % ringFrames and counts the frames played from firstFrame. False when no
    // device can be opened, and for devices that only start at the ring's first frame.
    virtual bool openAt(const std::int16_t* /*ring*/, std::int32_t /*ringFrames*/,
                        std::int32_t /*rate*/, std::uint64_t /*firstFrame*/) {
        return false;
    }
    // Whether the device has gone away since it opened (unplugged, its server gone): it
    // then plays nothing more.
    virtual bool lost() { return false; }
};

// Who runs the mixing passes that refill the ring.
enum class MixingDriver : std::uint8_t {
    thread,  // the library's mixing thread, polling the device every 2 ms
    host,    // the host, by calling pumpAudio: nothing runs by itself
};

// The device the next openAudio opens, and who drives it. The device must outlive the
// output. Null (the setting at program start): no device at all, the host takes the
// sound from renderAudio.
void setWaveDevice(WaveDevice* device, MixingDriver driver);

// Length of the output ring the next openAudio builds: at least 20 ms, a multiple of 20.
// The ring holds twice that, which is how far the songs run ahead of what is heard.
bool setBufferLength(std::int32_t milliseconds);

// Scales everything the output plays by `decibels` (0 at program start: the sound as
// mixed, to the bit), from the next 20 ms mixed on. Values are kept within -96..24 dB; a
// value that is not a number changes nothing. Safe to call while songs play.
void setGain(double decibels);

// How voices read between a sample's frames (Interpolation::linear at program start), from
// the next 20 ms mixed on. False, with nothing changed, for a value outside the enumeration.
// Safe to call while songs play.
bool setInterpolation(Interpolation mode);

// Opens the output at the given rate in Hz (closing any open one first). False when the
// stream callbacks are not set, the rate is unusable, memory runs out or the device
// cannot be opened. An output still open when the process exits is closed then.
bool openAudio(std::int32_t outputRate);
void closeAudio();

// One pass of the mixing loop on the calling thread, for an output driven by the host:
// fills the next chunk of the ring when the device has left it. True when it did.
bool pumpAudio();

// For an output opened without a device: the next `frames` stereo frames of everything
// playing (frames × 2 values, left first), made by the same ticks, mixing and conversion
// as the ring's, and the same whatever the sizes of the pieces asked for. Returns the
// frames written: fewer, up to the end, once every song playing has finished (see
// setPasses); 0 when no such output is open.
std::int32_t renderAudio(std::int16_t* destination, std::int32_t frames);

// Reads the module named `name` through the stream callbacks. Null when the stream cannot
// be opened or does not hold a module this library can play.
Song* songCreate(const char* name, SampleDataHook sampleDataHook);
// (Re)starts from order 0, row 0. False for a null song or when the output is not open.
bool songStart(Song* song);
// Stops playback and silences the song's voices. False for a null song.
bool songStop(Song* song);
// Stops the song and releases it with everything it owns. False for a null song. As with
// free(), the song must not be used or freed again afterwards: that is the caller's error.
bool songFree(Song* song);

// The order index and row being computed (ahead of what is heard by the output latency);
// 0 for a null song. Safe to call from any thread.
std::int32_t songGetOrder(const Song* song);
std::int32_t songGetRow(const Song* song);
// Whether playback has passed the last order; it then goes on at the restart position.
// False for a null song. Safe to call from any thread.
bool songEnded(const Song* song);

// Beats per minute; a tick lasts 2.5 / bpm seconds. Values below 1, and a null song, are
// ignored. Safe to call while the song plays.
void setBpm(Song* song, std::int32_t bpm);

// How many passes the song plays before it finishes (kPlayForever at first): a pass ends
// where playback comes to a row it has already played (after a jump, a break or the last
// order), except for rows a pattern loop repeats. A finished song ticks no more and adds
// nothing to the output. Safe to call while the song plays.
void setPasses(Song* song, std::int32_t passes);
// Whether the song has played its passes. False for a null song. Safe from any thread.
bool songFinished(const Song* song);

// How far every panning lies from the centre, in percent (0..100) of what the module
// gives: kDefaultStereoSeparation (100) as given, 0 all in the centre. MOD modules pan
// their channels hard left, right, right, left, as the Amiga played them; S3M modules
// pan each channel as their header says. A new separation takes effect at each
// channel's next note. Safe to call while the song plays.
void setStereoSeparation(Song* song, std::int32_t percent);

// A player of the host's own, with its own callbacks, output, voices and songs, as the
// default player is at program start. Null when memory runs out.
Player* playerCreate();
// Closes the player's output and frees the songs it created; nothing for null.
void playerDestroy(Player* player);

// The operations above, on a given player; a song's own operations act on its player.
void setStreamCallbacks(Player& player, StreamOpen open, StreamClose close, StreamRead read,
                        StreamSeek seek, StreamTell tell);
void setWaveDevice(Player& player, WaveDevice* device, MixingDriver driver);
bool setBufferLength(Player& player, std::int32_t milliseconds);
void setGain(Player& player, double decibels);
bool setInterpolation(Player& player, Interpolation mode);
Interpolation interpolation(const Player& player);
bool openAudio(Player& player, std::int32_t outputRate);
void closeAudio(Player& player);
bool pumpAudio(Player& player);
std::int32_t renderAudio(Player& player, std::int16_t* destination, std::int32_t frames);
Song* songCreate(Player& player, const char* name, SampleDataHook sampleDataHook);

// A device that plays only when told, for tests and recorders: every mixing pass then
// happens at a known play position.
class VirtualWaveDevice final : public WaveDevice {
public:
    bool open(const std::int16_t* ring, std::int32_t ringFrames, std::int32_t rate) override;
    std::uint64_t framesPlayed() override;
    void close() override;
    // Plays the next `frames` frames of the ring, copying them into `heard` (frames × 2
    // values) unless it is null. Nothing while closed.
    void play(std::int32_t frames, std::int16_t* heard = nullptr);
    bool isOpen();

private:
    std::mutex lock_;
    const std::int16_t* ring_ = nullptr;  // null while closed
    std::int32_t ringFrames_ = 0;
    std::uint64_t played_ = 0;  // frames since open
};

// Plays nothing at the pace of the wall clock: where no sound device can be opened,
// songs still advance in real time.
class SilentWaveDevice final : public WaveDevice {
public:
    bool open(const std::int16_t* ring, std::int32_t ringFrames, std::int32_t rate) override;
    std::uint64_t framesPlayed() override;
    void close() override {}

private:
    std::int64_t openedAt_ = 0;  // ns on the steady clock
    std::int32_t rate_ = 0;      // Hz
};

// Tells a device that has gone away from one that is merely slow, for its one poller: it is
// lost once it says so, or once its count has stood still for longer than `patience` of
// polls (ns on a steady clock). A gap between two polls longer than the patience (the
// process did not run, the machine slept) gave it no chance to play and counts as no time.
struct DeviceWatch {
    std::int64_t patience = 0;
    std::uint64_t count = 0;  // the device's count at the last poll
    std::int64_t lastPoll = 0;
    std::int64_t lastAdvance = 0;
};

// Starts watching a device opened at `count` at time `now`.
void watchFrom(DeviceWatch& watch, std::uint64_t count, std::int64_t now);
// One poll at `now` of a device whose count is `played`: whether it is lost.
bool deviceLost(DeviceWatch& watch, WaveDevice& device, std::uint64_t played, std::int64_t now);

// Plays through another device and carries on without it. Where that device is lost (see
// DeviceWatch, with half the ring's length as patience) the count goes on from where it
// stood at the pace of the wall clock, in silence, and every kDeviceRetryMs the device is
// opened again at the count reached (see openAt). A gap between polls longer than half the
// ring counts as no time: playback goes on from where it stood. Any thread may poll;
// `device` must outlive this.
inline constexpr std::int64_t kDeviceRetryMs = 2000;

class CarryingWaveDevice final : public WaveDevice {
public:
    // `steadyNanoseconds` reads the clock it paces itself by (a steady clock unless tests
    // give their own).
    explicit CarryingWaveDevice(WaveDevice& device, std::int64_t (*steadyNanoseconds)() = nullptr);
    // Opens `device`; false when it cannot be opened.
    bool open(const std::int16_t* ring, std::int32_t ringFrames, std::int32_t rate) override;
    std::uint64_t framesPlayed() override;
    void close() override;
    // Whether it plays silently for now, its device lost. Any thread; never waits.
    bool silent() const { return silent_; }
    // The count the last poll reported. Any thread; never waits, even while the device
    // is being opened or closed.
    std::uint64_t lastCount() const { return count_; }

private:
    std::mutex lock_;
    WaveDevice& device_;
    std::int64_t (*clock_)();
    const std::int16_t* ring_ = nullptr;  // null while closed
    std::int32_t ringFrames_ = 0;
    std::int32_t rate_ = 0;
    std::atomic<bool> silent_{false};
    std::atomic<std::uint64_t> count_{0};
    DeviceWatch watch_;
    std::uint64_t silentFrom_ = 0;  // the count where silence began
    std::int64_t silentNs_ = 0;     // of silence counted since
    std::int64_t nextRetry_ = 0;    // ns
};

}  // namespace vorn3
