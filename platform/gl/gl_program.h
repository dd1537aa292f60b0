// The one GLSL 1.20 program the device draws with: transform, lit colour times
// texel, then linear or step fog over view-space depth, per pixel.
#pragma once

#include "platform/gl/gl_functions.h"

namespace glint::gl {

inline constexpr GLuint kPositionAttribute = 0;
inline constexpr GLuint kTexCoordAttribute = 1;

struct Program {
    GLuint name = 0;
    GLint transform = -1;    // mat4: world · view · projection, the show's clip space
    GLint viewportMap = -1;  // vec4: centre x, y and half width, height, y down
    GLint windowToNdc = -1;  // vec4: GL viewport x, y and 2 / width, 2 / height
    GLint colour = -1;       // vec3: the lit vertex colour
    GLint textured = -1;     // bool
    GLint texels = -1;       // sampler2D on unit 0
    GLint linearFog = -1;    // bool
    GLint stepFog = -1;      // bool
    GLint fogStart = -1, fogEnd = -1;
    GLint fogScale = -1;  // 1 / (end − start)
    GLint fogColour = -1;
};

// Compiles and links the program into `program`; false on failure, leaving in
// `program.name` whatever must still be deleted.
bool buildProgram(const Functions& gl, Program& program);

}  // namespace glint::gl
