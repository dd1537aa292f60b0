#include "tests/hardening/show_resources.h"

#include <malloc.h>

#include <algorithm>

#if defined(__SANITIZE_ADDRESS__)
#define GLINT_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define GLINT_ADDRESS_SANITIZER 1
#endif
#endif

#ifdef GLINT_ADDRESS_SANITIZER
// The sanitizer runtime's own count; not every compiler ships its header.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace glint {

ShowResources::ShowResources() {
    const auto embedded = embeddedResources();
    table_.assign(embedded.begin(), embedded.end());
    install();
}

ShowResources::~ShowResources() {
    useResources({});
}

void ShowResources::install() {
    useResources(table_);
}

void ShowResources::remove(ResourceType type, std::int32_t id) {
    std::erase_if(table_,
                  [&](const ResourceEntry& entry) { return entry.type == type && entry.id == id; });
    install();
}

void ShowResources::replace(ResourceType type, std::int32_t id, std::vector<std::uint8_t> bytes) {
    remove(type, id);
    const std::vector<std::uint8_t>& kept = replacements_.emplace_back(std::move(bytes));
    table_.push_back({type, id, kept.data(), static_cast<std::uint32_t>(kept.size())});
    install();
}

std::uint64_t allocatedBytes() {
#ifdef GLINT_ADDRESS_SANITIZER
    return __sanitizer_get_current_allocated_bytes();
#else
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
#endif
}

}  // namespace glint
