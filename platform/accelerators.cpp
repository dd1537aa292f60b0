#include "platform/accelerators.h"

#include <sstream>
#include <string>

#include "platform/resources.h"

namespace glint {
namespace {

Key keyNamed(const std::string& name) {
    return name == "ESCAPE" ? Key::escape : Key::other;
}

}  // namespace

std::vector<Accelerator> loadAccelerators(std::int32_t id) {
    std::vector<Accelerator> table;
    const auto bytes = findResource(ResourceType::accelerators, id);
    if (!bytes) return table;
    std::istringstream text(std::string(reinterpret_cast<const char*>(bytes->data), bytes->size));
    std::string line;
    while (std::getline(text, line)) {
        std::istringstream fields(line.substr(0, line.find('#')));
        std::string keyName;
        unsigned command = 0;
        if (fields >> keyName >> command && keyNamed(keyName) != Key::other) {
            table.push_back({keyNamed(keyName), static_cast<std::uint16_t>(command)});
        }
    }
    return table;
}

std::uint16_t translateAccelerator(const std::vector<Accelerator>& table, Key key) {
    for (const Accelerator& accelerator : table) {
        if (accelerator.key == key) return accelerator.command;
    }
    return 0;
}

}  // namespace glint
