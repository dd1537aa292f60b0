#include "host/pattern_text.h"

#include <array>
#include <cstdio>

namespace vorn3 {
namespace {

struct EffectNames {
    char digitsAndLetters;
    char letters;
};

// Each command by the code its trackers give it; '?' where a family has none.
constexpr std::array<EffectNames, kCommandCount> kEffectNames{{
    {'.', '.'},  // none
    {'0', 'J'},  // arpeggio
    {'1', 'F'},  // portamentoUp
    {'2', 'E'},  // portamentoDown
    {'3', 'G'},  // tonePortamento
    {'4', 'H'},  // vibrato
    {'5', 'L'},  // tonePortamentoVolumeSlide
    {'6', 'K'},  // vibratoVolumeSlide
    {'7', 'R'},  // tremolo
    {'8', 'X'},  // setPanning
    {'9', 'O'},  // sampleOffset
    {'A', 'D'},  // volumeSlide
    {'B', 'B'},  // positionJump
    {'C', '?'},  // setVolume
    {'D', 'C'},  // patternBreak
    {'E', 'S'},  // extended
    {'F', 'T'},  // speedOrTempo
    {'F', 'A'},  // speed
    {'G', 'V'},  // setGlobalVolume
    {'H', 'W'},  // globalVolumeSlide
    {'K', '?'},  // keyOff
    {'L', '?'},  // setEnvelopePosition
    {'P', 'P'},  // panningSlide
    {'R', 'Q'},  // multiRetrigger
    {'T', 'I'},  // tremor
    {'X', 'F'},  // extraFinePortamento
    {'2', 'E'},  // slideDown
    {'1', 'F'},  // slideUp
    {'4', 'U'},  // fineVibrato
    {'?', 'M'},  // setChannelVolume
    {'?', 'N'},  // channelVolumeSlide
    {'?', 'Z'},  // macro
    {'F', 'T'},  // tempo
    {'Y', 'Y'},  // panbrello
}};
static_assert(kEffectNames.back().letters == 'Y', "one name for each command, in order");

// The volume column's letter for each of its commands, as IT writes them.
constexpr std::array<char, 16> kVolumeLetters{'.', 'v', 'd', 'c', 'b', 'a', 'u', 'h',
                                              'p', 'l', 'r', 'g', 'g', 'p', 'e', 'f'};
static_assert(kVolumeLetters.size() == static_cast<std::size_t>(VolumeCommand::portamentoUp) + 1);

constexpr std::array<const char*, 12> kNoteNames{"C-", "C#", "D-", "D#", "E-", "F-",
                                                 "F#", "G-", "G#", "A-", "A#", "B-"};

std::string noteText(std::uint8_t note) {
    if (note == kKeyOff) return "===";
    if (note == kNoteCut) return "^^^";
    if (note == kNoteFade) return "~~~";
    if (note == 0 || note > kNoteCount) return "...";
    const std::int32_t n = note - 1;
    return kNoteNames[static_cast<std::size_t>(n % 12)] + std::to_string(n / 12);
}

}  // namespace

std::string cellText(const PatternCell& cell, EffectNaming naming) {
    char text[32];
    const std::string note = noteText(cell.note);
    char instrument[4] = "..";
    if (cell.instrument != 0) std::snprintf(instrument, sizeof instrument, "%02d", cell.instrument);
    char volume[5] = "...";
    const auto column = static_cast<std::size_t>(cell.volume);
    if (cell.volume != VolumeCommand::none && column < kVolumeLetters.size()) {
        std::snprintf(volume, sizeof volume, "%c%02d", kVolumeLetters[column],
                      cell.volumeValue % 100);
    }
    char effect[5] = "...";
    const auto command = static_cast<std::size_t>(cell.command);
    if (cell.command != Command::none && command < kEffectNames.size()) {
        const EffectNames& names = kEffectNames[command];
        const char code = naming == EffectNaming::letters ? names.letters : names.digitsAndLetters;
        std::snprintf(effect, sizeof effect, "%c%02X", code, cell.parameter);
    }
    std::snprintf(text, sizeof text, "%s %s %s %s", note.c_str(), instrument, volume, effect);
    return text;
}

}  // namespace vorn3
