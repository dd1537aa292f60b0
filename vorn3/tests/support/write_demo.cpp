// Writes the demo module to a file: write_demo_module OUT.xm
#include <cstdio>

#include "writers/demo_module.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: write_demo_module OUT.xm\n", stderr);
        return 2;
    }
    const std::vector<std::uint8_t> bytes = xm::writeModule(xm::demoModule());
    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out || std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size() ||
        std::fclose(out) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
