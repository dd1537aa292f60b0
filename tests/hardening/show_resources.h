// The show's embedded resources with pieces taken out or spoilt, and what the process
// holds in memory, for the tests of a show whose parts fail or repeat.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/resources.h"

namespace glint {

// A copy of the embedded table that findResource searches while it lives.
class ShowResources {
public:
    ShowResources();
    ~ShowResources();
    ShowResources(const ShowResources&) = delete;
    ShowResources& operator=(const ShowResources&) = delete;

    void remove(ResourceType type, std::int32_t id);
    void replace(ResourceType type, std::int32_t id, std::vector<std::uint8_t> bytes);

private:
    void install();

    std::vector<ResourceEntry> table_;
    std::vector<std::vector<std::uint8_t>> replacements_;
};

// Bytes the process's allocations hold now, as the allocator in use counts them.
std::uint64_t allocatedBytes();

}  // namespace glint
