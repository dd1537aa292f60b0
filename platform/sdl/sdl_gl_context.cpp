#include "platform/sdl/sdl_gl_context.h"

#include <SDL.h>
#include <dlfcn.h>
#include <link.h>

#include <string>
#include <vector>

namespace glint {
namespace {

constexpr int kContextMajor = 2;
constexpr int kContextMinor = 1;

// SDL unloads the GL library, and the driver with it, whenever its last GL
// window goes, and reloads both for the next: on every device re-creation. A
// driver's one-time state would then be left allocated with nothing pointing at
// it. So every library loaded by then stays resident for the process, as a
// driver loaded once for the program's life does.
void keepLibrariesResident() {
    std::vector<std::string> names;
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* found) {
            if (info->dlpi_name != nullptr && info->dlpi_name[0] != '\0') {
                static_cast<std::vector<std::string>*>(found)->push_back(info->dlpi_name);
            }
            return 0;
        },
        &names);
    for (const std::string& name : names)
        dlopen(name.c_str(), RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
}

}  // namespace

void setGlAttributes() {
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, kContextMajor);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, kContextMinor);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    // The device draws into a framebuffer object of its own with its depth buffer.
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
}

bool openGlContext(SDL_Window* window, bool vsync, gl::Context& context) {
    if (window == nullptr || (SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL) == 0) return false;
    setGlAttributes();
    SDL_GLContext handle = SDL_GL_CreateContext(window);
    if (handle == nullptr) return false;
    keepLibrariesResident();
    // Refused by some drivers; the presenter then keeps the pace itself.
    SDL_GL_SetSwapInterval(vsync ? 1 : 0);
    context.procAddress = SDL_GL_GetProcAddress;
    context.makeCurrent = [window, handle] { SDL_GL_MakeCurrent(window, handle); };
    context.close = [handle] { SDL_GL_DeleteContext(handle); };
    context.swap = [window] { SDL_GL_SwapWindow(window); };
    return true;
}

}  // namespace glint
