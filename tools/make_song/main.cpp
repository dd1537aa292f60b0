// Build-time tool: writes the show's song.
//
//   make_song OUTPUT.xm
#include <fstream>
#include <iostream>

#include "tools/make_song/song.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_song OUTPUT.xm\n";
        return 2;
    }
    const std::vector<std::uint8_t> bytes = glint::song::showSongBytes();
    std::ofstream out(argv[1], std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::cerr << "make_song: cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
