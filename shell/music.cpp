#include "shell/music.h"

namespace glint {

bool startMusic() { return false; }

}  // namespace glint
