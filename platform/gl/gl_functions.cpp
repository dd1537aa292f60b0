#include "platform/gl/gl_functions.h"

#include <cstdio>
#include <cstring>

namespace glint::gl {
namespace {

constexpr int kMinimumMajor = 2;
constexpr int kMinimumMinor = 1;
// Core from 3.0 on; a 2.1 context must name it.
constexpr int kCoreFramebufferMajor = 3;
constexpr const char* kFramebufferExtension = "GL_ARB_framebuffer_object";

bool namesExtension(const char* extensions, const char* name) {
    const std::size_t length = std::strlen(name);
    for (const char* at = std::strstr(extensions, name); at != nullptr;
         at = std::strstr(at + length, name)) {
        const bool starts = at == extensions || at[-1] == ' ';
        const bool ends = at[length] == '\0' || at[length] == ' ';
        if (starts && ends) return true;
    }
    return false;
}

}  // namespace

bool loadFunctions(ProcAddress procAddress, Functions& gl) {
    bool complete = true;
#define GLINT_GL_LOAD(name)                                            \
    gl.name = reinterpret_cast<decltype(gl.name)>(procAddress(#name)); \
    complete = complete && gl.name != nullptr;
    GLINT_GL_FUNCTIONS(GLINT_GL_LOAD)
#undef GLINT_GL_LOAD
    return complete;
}

bool hasRequiredVersion(const Functions& gl) {
    const auto* version = reinterpret_cast<const char*>(gl.glGetString(GL_VERSION));
    int major = 0, minor = 0;
    if (version == nullptr || std::sscanf(version, "%d.%d", &major, &minor) != 2) return false;
    if (major < kMinimumMajor || (major == kMinimumMajor && minor < kMinimumMinor)) return false;
    if (major >= kCoreFramebufferMajor) return true;
    const auto* extensions = reinterpret_cast<const char*>(gl.glGetString(GL_EXTENSIONS));
    return extensions != nullptr && namesExtension(extensions, kFramebufferExtension);
}

}  // namespace glint::gl
