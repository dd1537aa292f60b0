// Vorn3: a module player library. The host hands it five stream callbacks through
// which songs are read, opens the output and then creates and starts songs by name.
// Everything a host needs is declared here; the library throws no exceptions.
#pragma once

#include <cstdint>

namespace vorn3 {

// A loaded module with its playback state; created by songCreate, released by songFree.
struct Song;

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

// Length of the output ring the next openAudio builds: at least 20 ms, a multiple of 20.
bool setBufferLength(std::int32_t milliseconds);

// Opens the output at the given rate in Hz (closing any open one first). False when the
// stream callbacks are not set, the rate is unusable or memory runs out.
bool openAudio(std::int32_t outputRate);
void closeAudio();

// Reads the module named `name` through the stream callbacks. Null when the stream cannot
// be opened or does not hold a module this library can play.
Song* songCreate(const char* name, SampleDataHook sampleDataHook);
// (Re)starts from order 0, row 0. False for a null song or when the output is not open.
bool songStart(Song* song);
// Stops playback and silences the song's voices. False for a null song.
bool songStop(Song* song);
// Stops the song and releases it with everything it owns. False for a null song.
bool songFree(Song* song);

// The order index and row being computed (ahead of what is heard by the output latency);
// 0 for a null song. Safe to call from any thread.
std::int32_t songGetOrder(const Song* song);
std::int32_t songGetRow(const Song* song);

// Beats per minute; a tick lasts 2.5 / bpm seconds. Values below 1 are ignored.
void setBpm(Song* song, std::int32_t bpm);

}  // namespace vorn3
