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

bool openGlContext(gl::Context& context) {
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, kContextMajor);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, kContextMinor);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    // The device draws into a framebuffer object; the window's own buffers go unused.
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    SDL_Window* window = SDL_CreateWindow("", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 1,
                                          1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (window == nullptr) return false;
    SDL_GLContext handle = SDL_GL_CreateContext(window);
    if (handle == nullptr) {
        SDL_DestroyWindow(window);
        return false;
    }
    keepLibrariesResident();
    context.procAddress = SDL_GL_GetProcAddress;
    context.makeCurrent = [window, handle] { SDL_GL_MakeCurrent(window, handle); };
    context.close = [window, handle] {
        SDL_GL_DeleteContext(handle);
        SDL_DestroyWindow(window);
    };
    return true;
}

}  // namespace glint
