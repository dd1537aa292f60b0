// The OpenGL entry points the device calls, loaded through the context's own
// loader: core 1.1 names as well, since a context made through EGL need not
// share the dispatch of a linked GL library.
#pragma once

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>

#include "platform/gl/gl_device.h"

namespace glint::gl {

#define GLINT_GL_FUNCTIONS(X)    \
    X(glAttachShader)            \
    X(glBindAttribLocation)      \
    X(glBindFramebuffer)         \
    X(glBindRenderbuffer)        \
    X(glBindTexture)             \
    X(glBlitFramebuffer)         \
    X(glBlendFunc)               \
    X(glCheckFramebufferStatus)  \
    X(glClear)                   \
    X(glClearColor)              \
    X(glClearDepth)              \
    X(glCompileShader)           \
    X(glCreateProgram)           \
    X(glCreateShader)            \
    X(glCullFace)                \
    X(glDeleteFramebuffers)      \
    X(glDeleteProgram)           \
    X(glDeleteRenderbuffers)     \
    X(glDeleteShader)            \
    X(glDeleteTextures)          \
    X(glDepthFunc)               \
    X(glDepthRange)              \
    X(glDisable)                 \
    X(glDrawArrays)              \
    X(glEnable)                  \
    X(glEnableVertexAttribArray) \
    X(glFramebufferRenderbuffer) \
    X(glFrontFace)               \
    X(glGenFramebuffers)         \
    X(glGenRenderbuffers)        \
    X(glGenTextures)             \
    X(glGetError)                \
    X(glGetIntegerv)             \
    X(glGetProgramiv)            \
    X(glGetShaderiv)             \
    X(glGetString)               \
    X(glGetUniformLocation)      \
    X(glLinkProgram)             \
    X(glPixelStorei)             \
    X(glReadPixels)              \
    X(glRenderbufferStorage)     \
    X(glScissor)                 \
    X(glShaderSource)            \
    X(glTexImage2D)              \
    X(glTexParameteri)           \
    X(glUniform1f)               \
    X(glUniform1i)               \
    X(glUniform3f)               \
    X(glUniform4f)               \
    X(glUniformMatrix4fv)        \
    X(glUseProgram)              \
    X(glVertexAttribPointer)     \
    X(glViewport)

struct Functions {
#define GLINT_GL_FIELD(name) decltype(&::name) name = nullptr;
    GLINT_GL_FUNCTIONS(GLINT_GL_FIELD)
#undef GLINT_GL_FIELD
};

// Fills every entry point; false when one is missing.
bool loadFunctions(ProcAddress procAddress, Functions& gl);

// Whether the current context offers version 2.1 and framebuffer objects.
bool hasRequiredVersion(const Functions& gl);

}  // namespace glint::gl
