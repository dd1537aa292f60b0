// Resources carried inside the executable, found by (type, id). Nothing is read
// from disk at run time: the build embeds every file that resources/glint.rc lists.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace glint {

enum class ResourceType : std::uint8_t { bitmap, rcData, accelerators };

struct ResourceEntry {
    ResourceType type;
    std::int32_t id;
    const std::uint8_t* data;
    std::uint32_t size;  // bytes
};

struct ResourceBytes {
    const std::uint8_t* data;
    std::uint32_t size;  // bytes
};

// The table the build generates (library glint_resources).
std::span<const ResourceEntry> embeddedResources();

// Which table findResource searches. Starts empty; the show installs the embedded
// table, tests install tables of their own.
void useResources(std::span<const ResourceEntry> table);

std::optional<ResourceBytes> findResource(ResourceType type, std::int32_t id);

}  // namespace glint
