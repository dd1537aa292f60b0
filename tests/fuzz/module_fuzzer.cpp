// libFuzzer entry: any bytes, as a module read and played.
#include <cstddef>
#include <cstdint>

#include "tests/fuzz/module_player.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    glint::playModule({data, size});
    return 0;
}
