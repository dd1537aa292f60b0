#include "platform/gl/gl_device.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <cstddef>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/gfx/fixed_function.h"
#include "platform/gfx/results.h"
#include "platform/gl/gl_functions.h"
#include "platform/gl/gl_program.h"

namespace glint::gl {
namespace {

using gfx::colourChannel;
using gfx::isOfferedTextureFormat;
using gfx::MaterialColours;
using gfx::PixelFormat;
using gfx::RenderState;
using gfx::Surface;
using gfx::Texture;
using gfx::TransformKind;
using gfx::TransformMatrix;
using gfx::Vertex;
using gfx::Viewport;

// Triangles wait here until a state change, a clear or the end of the scene.
constexpr std::size_t kBatchVertices = 3 * 4096;

// One channel of a 16-bit texel scaled to 0 … 255 and rounded, as the software
// device scales it; the GL's own widening of 5- and 6-bit channels may round
// another way.
std::uint8_t expandChannel(std::uint32_t texel, std::uint32_t mask) {
    if (mask == 0) return 0;
    const std::uint32_t largest = mask >> std::countr_zero(mask);
    const std::uint32_t value = (texel & mask) >> std::countr_zero(mask);
    return static_cast<std::uint8_t>((value * 255 * 2 + largest) / (2 * largest));
}

// The texels as 8-bit red, green, blue triples, rows tightly packed.
std::vector<std::uint8_t> expandTexels(const Texture& texture) {
    const std::size_t count =
        static_cast<std::size_t>(texture.width) * static_cast<std::size_t>(texture.height);
    std::vector<std::uint8_t> bytes(count * 3);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint16_t texel = texture.texels[i];
        bytes[3 * i] = expandChannel(texel, texture.format.redMask);
        bytes[3 * i + 1] = expandChannel(texel, texture.format.greenMask);
        bytes[3 * i + 2] = expandChannel(texel, texture.format.blueMask);
    }
    return bytes;
}

bool sameBytes(const auto& a, const auto& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// A texture as uploaded: the texels it was read from, so that a texture whose
// buffer was replaced is uploaded again.
struct Upload {
    GLuint name = 0;
    const std::uint16_t* texels = nullptr;
    std::size_t texelCount = 0;
};

class GlDevice final : public gfx::Device {
public:
    GlDevice(Surface& target, Context context) : surface_(target), context_(std::move(context)) {
        viewport_ = gfx::defaultViewport(target);
        states_ = gfx::defaultRenderStates(true);
        batch_.reserve(kBatchVertices);
    }

    ~GlDevice() override {
        if (loaded_) {
            context_.makeCurrent();
            for (const auto& [texture, upload] : uploads_)
                gl_.glDeleteTextures(1, &upload.name);
            if (program_.name != 0) gl_.glDeleteProgram(program_.name);
            if (framebuffer_ != 0) gl_.glDeleteFramebuffers(1, &framebuffer_);
            gl_.glDeleteRenderbuffers(static_cast<GLsizei>(renderbuffers_.size()),
                                      renderbuffers_.data());
        }
        context_.close();
    }

    GlDevice(const GlDevice&) = delete;
    GlDevice& operator=(const GlDevice&) = delete;

    bool open() {
        loaded_ = loadFunctions(context_.procAddress, gl_);
        if (!loaded_ || !hasRequiredVersion(gl_)) return false;
        if (surface_.width <= 0 || surface_.height <= 0) return false;
        if (!createTarget() || !buildProgram(gl_, program_)) return false;
        gl_.glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSide_);
        const auto* renderer = reinterpret_cast<const char*>(gl_.glGetString(GL_RENDERER));
        softwareRenderer_ = renderer == nullptr || isSoftwareRenderer(renderer);

        gl_.glUseProgram(program_.name);
        gl_.glUniform1i(program_.texels, 0);
        gl_.glEnableVertexAttribArray(kPositionAttribute);
        gl_.glEnableVertexAttribArray(kTexCoordAttribute);
        gl_.glDisable(GL_DITHER);
        gl_.glEnable(GL_SCISSOR_TEST);
        gl_.glDepthFunc(GL_LEQUAL);
        gl_.glBlendFunc(GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR);
        gl_.glCullFace(GL_BACK);
        gl_.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        gl_.glPixelStorei(GL_PACK_ALIGNMENT, 4);
        applyState();
        // As the driver's new back buffer and depth buffer are: black, and far.
        gl_.glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        gl_.glClearDepth(1.0);
        gl_.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        return gl_.glGetError() == GL_NO_ERROR;
    }

    std::int32_t clear(std::uint32_t flags, std::uint32_t colour, float depth) override {
        context_.makeCurrent();
        flush();
        applyState();
        GLbitfield mask = 0;
        if (flags & gfx::kClearTarget) {
            gl_.glClearColor(colourChannel(colour, 16), colourChannel(colour, 8),
                             colourChannel(colour, 0), 0.0f);
            mask |= GL_COLOR_BUFFER_BIT;
        }
        if (flags & gfx::kClearZBuffer) {
            gl_.glClearDepth(depth);
            mask |= GL_DEPTH_BUFFER_BIT;
        }
        if (mask != 0) gl_.glClear(mask);
        return gfx::kOk;
    }

    std::int32_t beginScene() override {
        context_.makeCurrent();
        return gfx::kOk;
    }

    std::int32_t endScene() override {
        flush();
        return gfx::kOk;
    }

    std::int32_t setViewport(const Viewport& viewport) override {
        if (sameBytes(viewport, viewport_)) return gfx::kOk;
        flush();
        viewport_ = viewport;
        viewportDirty_ = transformDirty_ = true;
        return gfx::kOk;
    }

    std::int32_t getViewport(Viewport& viewport) const override {
        viewport = viewport_;
        return gfx::kOk;
    }

    std::int32_t setTransform(TransformKind kind, const TransformMatrix& matrix) override {
        if (gfx::transformSlot(kind) >= gfx::kTransformKinds) return gfx::kErrFail;
        TransformMatrix& slot = transforms_[gfx::transformSlot(kind)];
        if (sameBytes(slot, matrix)) return gfx::kOk;
        flush();
        slot = matrix;
        transformDirty_ = true;
        return gfx::kOk;
    }

    std::int32_t getTransform(TransformKind kind, TransformMatrix& matrix) const override {
        if (gfx::transformSlot(kind) >= gfx::kTransformKinds) return gfx::kErrFail;
        matrix = transforms_[gfx::transformSlot(kind)];
        return gfx::kOk;
    }

    std::int32_t setRenderState(RenderState state, std::uint32_t value) override {
        if (gfx::stateIndex(state) >= gfx::kRenderStateCount) return gfx::kErrFail;
        if (states_[gfx::stateIndex(state)] == value) return gfx::kOk;
        flush();
        states_[gfx::stateIndex(state)] = value;
        pixelStateDirty_ = true;
        return gfx::kOk;
    }

    std::int32_t setMaterial(const MaterialColours& colours) override {
        if (sameBytes(colours, material_)) return gfx::kOk;
        flush();
        material_ = colours;
        pixelStateDirty_ = true;
        return gfx::kOk;
    }

    std::int32_t setTexture(std::uint32_t stage, const Texture* texture) override {
        if (stage != 0) return gfx::kErrFail;
        if (texture == texture_) return gfx::kOk;
        flush();
        texture_ = texture;
        textureDirty_ = true;
        return gfx::kOk;
    }

    std::int32_t drawTriangle(const Vertex (&corners)[3]) override {
        if (batch_.size() + 3 > kBatchVertices) flush();
        batch_.insert(batch_.end(), std::begin(corners), std::end(corners));
        return gfx::kOk;
    }

    std::int32_t getCaps(gfx::DeviceCaps& caps) const override {
        caps = gfx::DeviceCaps{gfx::DeviceKind::hardware, false, false, softwareRenderer_};
        return gfx::kOk;
    }

    std::int32_t readBack() override {
        context_.makeCurrent();
        flush();
        const std::size_t count =
            static_cast<std::size_t>(surface_.width) * static_cast<std::size_t>(surface_.height);
        if (surface_.pixels.size() < count) return gfx::kErrFail;
        gl_.glReadPixels(0, 0, surface_.width, surface_.height, GL_BGRA,
                         GL_UNSIGNED_INT_8_8_8_8_REV, surface_.pixels.data());
        return gfx::kOk;
    }

    // The framebuffer's rows run down the picture and the window's up, so the
    // copy turns it over; it is cut by the scissor, which is off for it.
    void present(const Rect& picture, const Rect& target, const Rect& window) {
        context_.makeCurrent();
        flush();
        const std::int32_t windowHeight = window.height();
        gl_.glBindFramebuffer(GL_FRAMEBUFFER, 0);
        gl_.glDisable(GL_SCISSOR_TEST);
        gl_.glViewport(0, 0, window.width(), windowHeight);
        gl_.glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        gl_.glClear(GL_COLOR_BUFFER_BIT);
        gl_.glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
        const bool sameSize =
            picture.width() == target.width() && picture.height() == target.height();
        gl_.glBlitFramebuffer(picture.left, picture.top, picture.right, picture.bottom, target.left,
                              windowHeight - target.top, target.right, windowHeight - target.bottom,
                              GL_COLOR_BUFFER_BIT, sameSize ? GL_NEAREST : GL_LINEAR);
        context_.swap();
        gl_.glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
        gl_.glEnable(GL_SCISSOR_TEST);
        viewportDirty_ = true;
    }

    std::vector<PixelFormat> textureFormats() const override {
        return gfx::offeredTextureFormats();
    }

    std::unique_ptr<Texture> createTexture(std::int32_t width, std::int32_t height,
                                           const PixelFormat& format) override {
        if (width <= 0 || height <= 0 || width > maxTextureSide_ || height > maxTextureSide_ ||
            !isOfferedTextureFormat(format)) {
            return nullptr;
        }
        auto texture = makeZeroedTexture(width, height, format);
        // A texture released earlier may have lived at this address.
        forgetUpload(texture.get());
        return texture;
    }

private:
    bool createTarget() {
        gl_.glGenFramebuffers(1, &framebuffer_);
        gl_.glGenRenderbuffers(static_cast<GLsizei>(renderbuffers_.size()), renderbuffers_.data());
        gl_.glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
        const GLenum formats[] = {GL_RGBA8, GL_DEPTH_COMPONENT24};
        const GLenum attachments[] = {GL_COLOR_ATTACHMENT0, GL_DEPTH_ATTACHMENT};
        for (std::size_t i = 0; i < renderbuffers_.size(); ++i) {
            gl_.glBindRenderbuffer(GL_RENDERBUFFER, renderbuffers_[i]);
            gl_.glRenderbufferStorage(GL_RENDERBUFFER, formats[i], surface_.width, surface_.height);
            gl_.glFramebufferRenderbuffer(GL_FRAMEBUFFER, attachments[i], GL_RENDERBUFFER,
                                          renderbuffers_[i]);
        }
        return gl_.glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    }

    // Draws the waiting triangles with the state they were given under.
    void flush() {
        if (batch_.empty()) return;
        applyState();
        const auto stride = static_cast<GLsizei>(sizeof(Vertex));
        gl_.glVertexAttribPointer(kPositionAttribute, 3, GL_FLOAT, GL_FALSE, stride,
                                  &batch_.front().x);
        gl_.glVertexAttribPointer(kTexCoordAttribute, 2, GL_FLOAT, GL_FALSE, stride,
                                  &batch_.front().tu);
        gl_.glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(batch_.size()));
        batch_.clear();
    }

    void applyState() {
        if (viewportDirty_) applyViewport();
        if (transformDirty_) applyTransform();
        if (pixelStateDirty_) applyPixelState();
        if (textureDirty_) applyTexture();
        viewportDirty_ = transformDirty_ = pixelStateDirty_ = textureDirty_ = false;
    }

    // Drawing and clearing stay inside the viewport cut to the target.
    void applyViewport() {
        const auto x = static_cast<GLint>(std::min<std::uint32_t>(viewport_.x, surface_.width));
        const auto y = static_cast<GLint>(std::min<std::uint32_t>(viewport_.y, surface_.height));
        const auto width = static_cast<GLsizei>(
            std::min<std::uint64_t>(viewport_.width, static_cast<std::uint64_t>(surface_.width)));
        const auto height = static_cast<GLsizei>(
            std::min<std::uint64_t>(viewport_.height, static_cast<std::uint64_t>(surface_.height)));
        gl_.glViewport(x, y, width, height);
        gl_.glScissor(x, y, std::min(width, surface_.width - x),
                      std::min(height, surface_.height - y));
        gl_.glDepthRange(viewport_.minZ, viewport_.maxZ);
        // Where the vertex program puts corners: the viewport's centre and half
        // size, and GL's window-to-device mapping of what was set.
        const float fullWidth = static_cast<float>(viewport_.width);
        const float fullHeight = static_cast<float>(viewport_.height);
        gl_.glUniform4f(program_.viewportMap, static_cast<float>(viewport_.x) + fullWidth * 0.5f,
                        static_cast<float>(viewport_.y) + fullHeight * 0.5f, fullWidth * 0.5f,
                        fullHeight * 0.5f);
        gl_.glUniform4f(program_.windowToNdc, static_cast<float>(x), static_cast<float>(y),
                        2.0f / static_cast<float>(std::max(width, 1)),
                        2.0f / static_cast<float>(std::max(height, 1)));
    }

    void applyTransform() {
        const TransformMatrix combined = gfx::combinedTransform(transforms_);
        gl_.glUniformMatrix4fv(program_.transform, 1, GL_FALSE, &combined.m[0][0]);
    }

    void applyPixelState() {
        const gfx::PixelState pixel = gfx::decodePixelState(states_, material_);
        if (pixel.depthTest) {
            gl_.glEnable(GL_DEPTH_TEST);
        } else {
            gl_.glDisable(GL_DEPTH_TEST);
        }
        if (pixel.blend == gfx::BlendKind::sourceColour) {
            gl_.glEnable(GL_BLEND);
        } else {
            gl_.glDisable(GL_BLEND);
        }
        applyCulling();

        const bool linear = pixel.fog == gfx::FogKind::linear;
        gl_.glUniform1i(program_.linearFog, linear ? 1 : 0);
        gl_.glUniform1i(program_.stepFog, pixel.fog == gfx::FogKind::step ? 1 : 0);
        gl_.glUniform1f(program_.fogStart, pixel.fogStart);
        gl_.glUniform1f(program_.fogEnd, pixel.fogEnd);
        gl_.glUniform1f(program_.fogScale, linear ? 1.0f / (pixel.fogEnd - pixel.fogStart) : 0.0f);
        gl_.glUniform3f(program_.fogColour, colourChannel(pixel.fogColour, 16),
                        colourChannel(pixel.fogColour, 8), colourChannel(pixel.fogColour, 0));
        gl_.glUniform3f(program_.colour, pixel.colour[0], pixel.colour[1], pixel.colour[2]);
    }

    // The framebuffer's rows run down the image, as the software device's do, so
    // a triangle's winding on the screen is its winding in GL's window space
    // read with y up: clockwise on the screen is counter-clockwise to GL.
    void applyCulling() {
        const gfx::CullWinding cull = gfx::decodeCulling(states_);
        if (cull != gfx::CullWinding::none) {
            gl_.glFrontFace(cull == gfx::CullWinding::clockwise ? GL_CW : GL_CCW);
            gl_.glEnable(GL_CULL_FACE);
        } else {
            gl_.glDisable(GL_CULL_FACE);
        }
    }

    void applyTexture() {
        const GLuint name = upload(texture_);
        gl_.glBindTexture(GL_TEXTURE_2D, name);
        gl_.glUniform1i(program_.textured, name != 0 ? 1 : 0);
    }

    // The GL texture holding `texture`'s texels, uploaded on first use; 0 for no
    // texture or one that cannot be sampled.
    GLuint upload(const Texture* texture) {
        if (texture == nullptr || texture->width <= 0 || texture->height <= 0 ||
            texture->width > maxTextureSide_ || texture->height > maxTextureSide_ ||
            !isOfferedTextureFormat(texture->format) ||
            texture->texels.size() < static_cast<std::size_t>(texture->width) *
                                         static_cast<std::size_t>(texture->height)) {
            return 0;
        }
        const auto found = uploads_.find(texture);
        if (found != uploads_.end() && found->second.texels == texture->texels.data() &&
            found->second.texelCount == texture->texels.size()) {
            return found->second.name;
        }
        forgetUpload(texture);
        Upload& entry = uploads_[texture];
        entry.texels = texture->texels.data();
        entry.texelCount = texture->texels.size();
        gl_.glGenTextures(1, &entry.name);
        gl_.glBindTexture(GL_TEXTURE_2D, entry.name);
        gl_.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        gl_.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        gl_.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        gl_.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        gl_.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        const std::vector<std::uint8_t> bytes = expandTexels(*texture);
        gl_.glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, texture->width, texture->height, 0, GL_RGB,
                         GL_UNSIGNED_BYTE, bytes.data());
        return entry.name;
    }

    // A texture set for drawing may be released and another made at its address,
    // which setTexture then takes for the same: it is bound anew before drawing.
    void forgetUpload(const Texture* texture) {
        const auto found = uploads_.find(texture);
        if (found == uploads_.end()) return;
        gl_.glDeleteTextures(1, &found->second.name);
        uploads_.erase(found);
        if (texture == texture_) textureDirty_ = true;
    }

    Surface& surface_;
    Context context_;
    Functions gl_;
    bool loaded_ = false;
    GLuint framebuffer_ = 0;
    std::array<GLuint, 2> renderbuffers_{};  // colour, depth
    Program program_;
    GLint maxTextureSide_ = 0;
    std::unordered_map<const Texture*, Upload> uploads_;

    Viewport viewport_{};
    gfx::Transforms transforms_ = gfx::kIdentityTransforms;
    gfx::RenderStates states_{};
    MaterialColours material_{};
    const Texture* texture_ = nullptr;
    bool softwareRenderer_ = false;

    bool viewportDirty_ = true, transformDirty_ = true, pixelStateDirty_ = true,
         textureDirty_ = true;
    std::vector<Vertex> batch_;
};

}  // namespace

bool isSoftwareRenderer(std::string_view renderer) {
    std::string lower(renderer);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (std::string_view name :
         {"llvmpipe", "softpipe", "swiftshader", "swrast", "software", "basic render driver"}) {
        if (lower.find(name) != std::string::npos) return true;
    }
    return false;
}

bool presentToWindow(gfx::Device& device, const Rect& picture, const Rect& target,
                     const Rect& window) {
    auto* gl = dynamic_cast<GlDevice*>(&device);
    if (gl == nullptr) return false;
    gl->present(picture, target, window);
    return true;
}

std::unique_ptr<gfx::Device> createGlDevice(Surface& backBuffer, Context context) {
    auto device = std::make_unique<GlDevice>(backBuffer, std::move(context));
    if (!device->open()) return nullptr;
    return device;
}

}  // namespace glint::gl
