#include "platform/resources.h"

namespace glint {
namespace {

std::span<const ResourceEntry> installedTable;

}  // namespace

void useResources(std::span<const ResourceEntry> table) {
    installedTable = table;
}

std::optional<ResourceBytes> findResource(ResourceType type, std::int32_t id) {
    for (const ResourceEntry& entry : installedTable) {
        if (entry.type == type && entry.id == id) return ResourceBytes{entry.data, entry.size};
    }
    return std::nullopt;
}

}  // namespace glint
