// Keyboard accelerators: a key that stands for a command, from an embedded table.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/keys.h"

namespace glint {

struct Accelerator {
    Key key;
    std::uint16_t command;
};

// Reads accelerator resource `id` (lines "KEY COMMAND"); empty when it is missing.
std::vector<Accelerator> loadAccelerators(std::int32_t id);

// The command a key press stands for, or 0 when no accelerator matches.
std::uint16_t translateAccelerator(const std::vector<Accelerator>& table, Key key);

}  // namespace glint
