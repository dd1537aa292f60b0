// Build-time tool: writes the show's bitmaps into a folder.
//
//   make_bitmaps OUTPUT_DIR
#include <filesystem>
#include <fstream>
#include <iostream>

#include "tools/make_bitmaps/art.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_bitmaps OUTPUT_DIR\n";
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    for (const glint::art::ShowBitmap& bitmap : glint::art::makeShowBitmaps()) {
        const std::filesystem::path path = folder / bitmap.fileName;
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bitmap.bytes.data()),
                  static_cast<std::streamsize>(bitmap.bytes.size()));
        if (!out) {
            std::cerr << "make_bitmaps: cannot write " << path << "\n";
            return 1;
        }
    }
    return 0;
}
