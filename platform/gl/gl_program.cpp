#include "platform/gl/gl_program.h"

namespace glint::gl {
namespace {

// The view-space depth is the clip w of the show's projection. GL's clip space
// has y flipped, since the framebuffer's rows run down the image, and depth from
// −w to w. A corner in front of the eye is put exactly where the software device
// puts it: divided by w, mapped to the viewport with pixel centres at integers,
// snapped to its 1/256-pixel grid, then moved by half a pixel to GL's centres.
// Both devices then set up edges and attributes over the same corners, and pick
// the same texels. Corners far outside the window keep GL's own placing. Centres
// exactly on an edge follow GL's own fill rule; with the framebuffer's rows running
// down the image, Mesa's is the software device's top-left rule.
constexpr const char* kVertexSource = R"(#version 120
uniform mat4 transform;
uniform vec4 viewportMap;
uniform vec4 windowToNdc;
attribute vec3 position;
attribute vec2 texCoordIn;
varying vec2 texCoord;
varying float viewDepth;
const float subPixels = 256.0;
const float snapLimit = 16384.0;
void main() {
    vec4 clip = transform * vec4(position, 1.0);
    vec2 xy = vec2(clip.x, -clip.y) + 0.5 * windowToNdc.zw * clip.w;
    if (clip.w > 0.0) {
        float q = 1.0 / clip.w;
        vec2 screen = viewportMap.xy + vec2(clip.x * q, -(clip.y * q)) * viewportMap.zw;
        if (all(lessThan(abs(screen), vec2(snapLimit)))) {
            screen = floor(screen * subPixels + 0.5) / subPixels;
            xy = ((screen + 0.5 - windowToNdc.xy) * windowToNdc.zw - 1.0) * clip.w;
        }
    }
    gl_Position = vec4(xy, 2.0 * clip.z - clip.w, clip.w);
    texCoord = texCoordIn;
    viewDepth = clip.w;
}
)";

// Alpha stays 0, as in the software device's 0x00RRGGBB pixels.
constexpr const char* kFragmentSource = R"(#version 120
uniform vec3 colour;
uniform bool textured;
uniform sampler2D texels;
uniform bool linearFog;
uniform bool stepFog;  // end <= start: unfogged up to start, fully fogged beyond
uniform float fogStart;
uniform float fogEnd;
uniform float fogScale;
uniform vec3 fogColour;
varying vec2 texCoord;
varying float viewDepth;
void main() {
    vec3 c = colour;
    if (textured) c *= texture2D(texels, texCoord).rgb;
    if (linearFog) {
        c = mix(fogColour, c, clamp((fogEnd - viewDepth) * fogScale, 0.0, 1.0));
    } else if (stepFog && viewDepth > fogStart) {
        c = fogColour;
    }
    gl_FragColor = vec4(c, 0.0);
}
)";

GLuint compileShader(const Functions& gl, GLenum kind, const char* source) {
    const GLuint shader = gl.glCreateShader(kind);
    gl.glShaderSource(shader, 1, &source, nullptr);
    gl.glCompileShader(shader);
    GLint compiled = GL_FALSE;
    gl.glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled == GL_TRUE) return shader;
    gl.glDeleteShader(shader);
    return 0;
}

}  // namespace

bool buildProgram(const Functions& gl, Program& program) {
    const GLuint vertex = compileShader(gl, GL_VERTEX_SHADER, kVertexSource);
    const GLuint fragment = compileShader(gl, GL_FRAGMENT_SHADER, kFragmentSource);
    bool linked = false;
    if (vertex != 0 && fragment != 0) {
        program.name = gl.glCreateProgram();
        gl.glAttachShader(program.name, vertex);
        gl.glAttachShader(program.name, fragment);
        gl.glBindAttribLocation(program.name, kPositionAttribute, "position");
        gl.glBindAttribLocation(program.name, kTexCoordAttribute, "texCoordIn");
        gl.glLinkProgram(program.name);
        GLint status = GL_FALSE;
        gl.glGetProgramiv(program.name, GL_LINK_STATUS, &status);
        linked = status == GL_TRUE;
    }
    // Attached shaders go with the program.
    if (vertex != 0) gl.glDeleteShader(vertex);
    if (fragment != 0) gl.glDeleteShader(fragment);
    if (!linked) return false;

    const auto uniform = [&](const char* name) {
        return gl.glGetUniformLocation(program.name, name);
    };
    program.transform = uniform("transform");
    program.viewportMap = uniform("viewportMap");
    program.windowToNdc = uniform("windowToNdc");
    program.colour = uniform("colour");
    program.textured = uniform("textured");
    program.texels = uniform("texels");
    program.linearFog = uniform("linearFog");
    program.stepFog = uniform("stepFog");
    program.fogStart = uniform("fogStart");
    program.fogEnd = uniform("fogEnd");
    program.fogScale = uniform("fogScale");
    program.fogColour = uniform("fogColour");
    return true;
}

}  // namespace glint::gl
