#include "platform/gfx/software_device.h"

#include <emmintrin.h>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>

#include "platform/gfx/clipper.h"
#include "platform/gfx/raster_precision.h"
#include "platform/gfx/rasterizer.h"
#include "platform/gfx/results.h"
#include "platform/gfx/worker_pool.h"

namespace glint::gfx {
namespace {

constexpr const char* kThreadsVariable = "GLINT_THREADS";

// Recorded triangles or clears beyond these are drawn before more are taken.
constexpr std::size_t kMaxPendingTriangles = std::size_t{1} << 16;
constexpr std::size_t kMaxPendingClears = 256;
// A tile's list names a recorded clear by its index with this bit set.
constexpr std::uint32_t kClearEntry = std::uint32_t{1} << 31;

// The count asked for, else the environment's, else one per core.
std::int32_t resolveThreadCount(std::int32_t asked) {
    if (asked > 0) return std::min(asked, kMaxDrawingThreads);
    if (const char* text = std::getenv(kThreadsVariable); text != nullptr) {
        std::int32_t count = 0;
        const char* end = text + std::strlen(text);
        const auto [stop, error] = std::from_chars(text, end, count);
        if (error == std::errc{} && stop == end && count >= 1 && count <= kMaxDrawingThreads)
            return count;
        std::fprintf(stderr, "%s: '%s' is not a thread count from 1 to %d; using one per core\n",
                     kThreadsVariable, text, kMaxDrawingThreads);
    }
    return std::clamp(static_cast<std::int32_t>(std::thread::hardware_concurrency()), 1,
                      kMaxDrawingThreads);
}

std::size_t pixelCount(const Surface& surface) {
    return static_cast<std::size_t>(surface.width) * static_cast<std::size_t>(surface.height);
}

// The buffers the prepared drawing state points into; a target or texture
// reallocated or shrunk behind the device's back shows here. A changed size
// alone is harmless to memory: the prepared bounds stay within the old buffers.
struct BufferSnapshot {
    const void* pixels = nullptr;
    const void* depth = nullptr;
    const void* texels = nullptr;
    std::size_t pixelCount = 0, depthCount = 0, texelCount = 0;

    bool operator==(const BufferSnapshot&) const = default;
};

// A state the recorded triangles were drawn under.
struct RecordedState {
    RasterTarget target;
    PreparedPipeline pipeline;
};

struct ClearRequest {
    std::uint32_t flags, colour;
    float depth;
};

// A clear that waits to be drawn, tile by tile, between the triangles recorded
// before and after it.
struct PendingClear {
    RasterTarget target;
    ClearRequest request;
};

// Triangles and clears recorded and not yet drawn, each triangle with the state
// it was made in, and for every tile in order the triangles that may cover it
// and the clears. The tiles are laid over the target as it was when the first
// piece of work came.
struct Batch {
    RasterTarget target;
    std::int32_t tileWidth = 1, tileHeight = 1, tileColumns = 0, tileRows = 0;
    std::vector<TriangleSetup> setups;
    std::vector<std::uint32_t> setupStates;
    std::vector<RecordedState> states;
    std::vector<PendingClear> clears;
    std::vector<std::vector<std::uint32_t>> bins;

    bool empty() const { return setups.empty() && clears.empty(); }
};

// Fills the part of the target's rectangle inside `tile`.
void clearTile(const RasterTarget& target, const Tile& tile, const ClearRequest& request) {
    const std::int32_t left = std::max(target.left, tile.left);
    const std::int32_t right = std::min(target.right, tile.right);
    for (std::int32_t row = std::max(target.top, tile.top);
         row < std::min(target.bottom, tile.bottom); ++row) {
        if (left >= right) return;
        const std::ptrdiff_t start = static_cast<std::ptrdiff_t>(row) * target.pitch;
        if (request.flags & kClearTarget) {
            std::fill(target.pixels + start + left, target.pixels + start + right, request.colour);
        }
        if ((request.flags & kClearZBuffer) && target.depth != nullptr) {
            std::fill(target.depth + start + left, target.depth + start + right, request.depth);
        }
    }
}

// Draws the tile's triangles and clears in the order recorded.
void drawTile(const Batch& batch, std::int32_t index) {
    const std::int32_t column = index % batch.tileColumns;
    const std::int32_t row = index / batch.tileColumns;
    const Tile tile{column * batch.tileWidth, row * batch.tileHeight,
                    std::min((column + 1) * batch.tileWidth, batch.target.pitch),
                    std::min((row + 1) * batch.tileHeight, batch.target.rows)};
    for (const std::uint32_t entry : batch.bins[static_cast<std::size_t>(index)]) {
        if (entry & kClearEntry) {
            const PendingClear& clear = batch.clears[entry & ~kClearEntry];
            clearTile(clear.target, tile, clear.request);
            continue;
        }
        const RecordedState& state = batch.states[batch.setupStates[entry]];
        state.pipeline.fill(batch.setups[entry], state.target, tile, state.pipeline);
    }
}

// Empties the batch, keeping its storage for the next.
void dropBatch(Batch& batch) {
    batch.clears.clear();
    batch.setups.clear();
    batch.setupStates.clear();
    batch.states.clear();
    for (std::vector<std::uint32_t>& bin : batch.bins)
        bin.clear();
}

class SoftwareDevice final : public Device {
public:
    SoftwareDevice(Surface& target, TextureRequirements requirements, DrawingThreads threads,
                   SpanWidth spans)
        : surface_(target),
          requirements_(requirements),
          eightPixelSpans_(spans == SpanWidth::widest && eightPixelSpansAvailable()),
          chosenTileWidth_(threads.tileWidth > 0 ? std::max(threads.tileWidth / 4 * 4, 4) : 0),
          tileHeight_(std::max(threads.tileHeight, 1)),
          workers_(resolveThreadCount(threads.count)) {
        viewport_ = defaultViewport(target);
        states_ = defaultRenderStates(!target.depth.empty());
    }

    ~SoftwareDevice() override { finishDrawing(); }
    SoftwareDevice(const SoftwareDevice&) = delete;
    SoftwareDevice& operator=(const SoftwareDevice&) = delete;

    std::int32_t clear(std::uint32_t flags, std::uint32_t colour, float depth) override {
        // A clear needs the target alone; the texture still set may already be gone.
        keepPendingSafe();
        refreshTarget();
        const ClearRequest request{flags, colour, depth};
        if (workers_.hasWorkers()) {
            recordClear(request);
        } else {
            clearTile(target_, wholeTarget(target_), request);
        }
        return kOk;
    }

    std::int32_t beginScene() override {
        inScene_ = true;
        return kOk;
    }

    // The scene is drawn while the caller records the next, whose end waits for
    // it; whatever reads the target or may change what the scenes drew with
    // waits for both.
    std::int32_t endScene() override {
        handOver();
        inScene_ = false;
        return kOk;
    }

    std::int32_t readBack() override {
        drawEverything();
        return kOk;
    }

    std::int32_t setViewport(const Viewport& viewport) override {
        viewport_ = viewport;
        dirty_ = true;
        return kOk;
    }

    std::int32_t getViewport(Viewport& viewport) const override {
        viewport = viewport_;
        return kOk;
    }

    std::int32_t setTransform(TransformKind kind, const TransformMatrix& matrix) override {
        if (transformSlot(kind) >= kTransformKinds) return kErrFail;
        transforms_[transformSlot(kind)] = matrix;
        dirty_ = true;
        return kOk;
    }

    std::int32_t getTransform(TransformKind kind, TransformMatrix& matrix) const override {
        if (transformSlot(kind) >= kTransformKinds) return kErrFail;
        matrix = transforms_[transformSlot(kind)];
        return kOk;
    }

    std::int32_t setRenderState(RenderState state, std::uint32_t value) override {
        if (stateIndex(state) >= kRenderStateCount) return kErrFail;
        states_[stateIndex(state)] = value;
        dirty_ = true;
        return kOk;
    }

    std::int32_t setMaterial(const MaterialColours& colours) override {
        material_ = colours;
        dirty_ = true;
        return kOk;
    }

    std::int32_t setTexture(std::uint32_t stage, const Texture* texture) override {
        if (stage != 0) return kErrFail;
        texture_ = texture;
        dirty_ = true;
        return kOk;
    }

    std::int32_t drawTriangle(const Vertex (&corners)[3]) override {
        refresh();
        if (target_.left >= target_.right || target_.top >= target_.bottom) return kOk;
        // The three corners side by side, one per lane; the fourth lane repeats
        // the third, which changes no test over all or any of them.
        const __m128 v0 = _mm_loadu_ps(&corners[0].x);  // x, y, z, nx
        const __m128 v1 = _mm_loadu_ps(&corners[1].x);
        const __m128 v2 = _mm_loadu_ps(&corners[2].x);
        const __m128 xy01 = _mm_unpacklo_ps(v0, v1);
        const __m128 xy22 = _mm_unpacklo_ps(v2, v2);
        const __m128 z01 = _mm_unpackhi_ps(v0, v1);
        const __m128 z22 = _mm_unpackhi_ps(v2, v2);
        const __m128 x = _mm_movelh_ps(xy01, xy22);
        const __m128 y = _mm_movehl_ps(xy22, xy01);
        const __m128 z = _mm_movelh_ps(z01, z22);
        __m128 clip[4];
        for (int c = 0; c < 4; ++c) {
            clip[c] = _mm_add_ps(
                _mm_add_ps(_mm_mul_ps(x, load(matrix_[0][c])), _mm_mul_ps(y, load(matrix_[1][c]))),
                _mm_add_ps(_mm_mul_ps(z, load(matrix_[2][c])), load(matrix_[3][c])));
        }
        const __m128 cx = clip[0], cy = clip[1], cz = clip[2], cw = clip[3];

        // All corners beyond one plane of the view volume: nothing to draw.
        // NaN compares false everywhere and is caught after the divide.
        const __m128 negativeW = _mm_sub_ps(_mm_setzero_ps(), cw);
        const __m128 behind = _mm_cmplt_ps(cz, _mm_setzero_ps());
        const __m128 beyond = _mm_cmpgt_ps(cz, cw);
        const auto all = [](__m128 m) { return _mm_movemask_ps(m) == 0xF; };
        if (all(behind) || all(beyond) || all(_mm_cmplt_ps(cx, negativeW)) ||
            all(_mm_cmpgt_ps(cx, cw)) || all(_mm_cmplt_ps(cy, negativeW)) ||
            all(_mm_cmpgt_ps(cy, cw))) {
            return kOk;
        }
        const __m128 guardX = _mm_mul_ps(cw, load(guardX_));
        const __m128 guardY = _mm_mul_ps(cw, load(guardY_));
        const __m128 outside =
            _mm_or_ps(_mm_or_ps(_mm_or_ps(behind, beyond),
                                _mm_or_ps(_mm_cmpgt_ps(cx, guardX),
                                          _mm_cmplt_ps(cx, _mm_sub_ps(_mm_setzero_ps(), guardX)))),
                      _mm_or_ps(_mm_cmpgt_ps(cy, guardY),
                                _mm_cmplt_ps(cy, _mm_sub_ps(_mm_setzero_ps(), guardY))));
        if (_mm_movemask_ps(outside) != 0) {
            drawClipped(cx, cy, cz, cw, corners);
            return kOk;
        }

        const __m128 uv01 = _mm_unpacklo_ps(
            _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(&corners[0].tu)),
            _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(&corners[1].tu)));
        const __m128 uv2 =
            _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(&corners[2].tu));
        const __m128 uv22 = _mm_unpacklo_ps(uv2, uv2);
        ScreenTriangle screen;
        project(cx, cy, cz, cw, _mm_movelh_ps(uv01, uv22), _mm_movehl_ps(uv22, uv01), screen);
        emit(screen);
        return kOk;
    }

    std::int32_t getCaps(DeviceCaps& caps) const override {
        caps = DeviceCaps{DeviceKind::software, requirements_.powerOfTwo, requirements_.square};
        return kOk;
    }

    std::vector<PixelFormat> textureFormats() const override { return offeredTextureFormats(); }

    std::unique_ptr<Texture> createTexture(std::int32_t width, std::int32_t height,
                                           const PixelFormat& format) override {
        drawEverything();
        if (width <= 0 || height <= 0 || width > kMaxTextureSide || height > kMaxTextureSide) {
            return nullptr;
        }
        if (requirements_.powerOfTwo &&
            (!std::has_single_bit(static_cast<std::uint32_t>(width)) ||
             !std::has_single_bit(static_cast<std::uint32_t>(height)))) {
            return nullptr;
        }
        if (requirements_.square && width != height) return nullptr;
        if (!isOfferedTextureFormat(format)) return nullptr;
        auto texture = makeZeroedTexture(width, height, format);
        return texture;
    }

private:
    BufferSnapshot snapshot() const {
        BufferSnapshot s{surface_.pixels.data(), surface_.depth.data(), nullptr,
                         surface_.pixels.size(), surface_.depth.size(), 0};
        if (texture_ != nullptr) {
            s.texels = texture_->texels.data();
            s.texelCount = texture_->texels.size();
        }
        return s;
    }

    void refresh() {
        if (dirty_ || !(snapshot() == snapshot_)) rebuild();
    }

    [[gnu::noinline]] void rebuild() {
        keepPendingSafe();
        snapshot_ = snapshot();
        refreshTarget();
        refreshTransform();
        refreshPipeline();
        dirty_ = false;
        stateRecorded_ = false;
    }

    bool movedFrom(const Batch& batch) const {
        return surface_.pixels.data() != batch.target.pixels ||
               surface_.depth.data() != batch.target.depth;
    }
    bool resizedFrom(const Batch& batch) const {
        return surface_.width != batch.target.pitch || surface_.height != batch.target.rows;
    }

    // Both batches point into the target's buffers as they were. The one being
    // drawn is let finish; buffers replaced since leave nothing to draw the
    // recorded one into, and a target resized in place gets it before its new
    // size reshapes the tiles.
    void keepPendingSafe() {
        if (drawing_ && (movedFrom(*drawn_) || resizedFrom(*drawn_))) finishDrawing();
        Batch& batch = *recording_;
        if (batch.empty()) return;
        if (movedFrom(batch)) {
            finishDrawing();
            dropBatch(batch);
        } else if (resizedFrom(batch)) {
            drawEverything();
        }
    }

    // Without threads to share it, nothing is ever recorded: the triangle is
    // drawn at once, and that path tests nothing more.
    void emit(const ScreenTriangle& screen) {
        if (workers_.hasWorkers()) {
            emitShared(screen);
        } else {
            rasterizeTriangle(screen, target_, pipeline_, cull_);
        }
    }

    // Inside a scene a triangle waits in the tiles it may cover; outside one it
    // is drawn at once, after everything recorded before it.
    [[gnu::noinline]] void emitShared(const ScreenTriangle& screen) {
        if (inScene_) {
            record(screen);
        } else {
            drawEverything();
            rasterizeTriangle(screen, target_, pipeline_, cull_);
        }
    }

    void record(const ScreenTriangle& screen) {
        TriangleSetup setup;
        if (!setUpTriangle(screen, target_, cull_, setup)) return;
        if (recording_->setups.size() == kMaxPendingTriangles) handOver();
        Batch& batch = *recording_;
        if (batch.empty()) layTiles(batch);
        if (!stateRecorded_) {
            batch.states.push_back({target_, pipeline_});
            stateRecorded_ = true;
        }
        const auto index = static_cast<std::uint32_t>(batch.setups.size());
        batch.setups.push_back(setup);
        batch.setupStates.push_back(static_cast<std::uint32_t>(batch.states.size() - 1));
        const std::int32_t lastColumn =
            std::min(setup.right / batch.tileWidth, batch.tileColumns - 1);
        const std::int32_t lastRow = std::min(setup.bottom / batch.tileHeight, batch.tileRows - 1);
        for (std::int32_t row = setup.top / batch.tileHeight; row <= lastRow; ++row) {
            for (std::int32_t column = setup.left / batch.tileWidth; column <= lastColumn;
                 ++column) {
                batch.bins[static_cast<std::size_t>(row * batch.tileColumns + column)].push_back(
                    index);
            }
        }
    }

    // A clear lands in every tile after what was recorded before it, so that the
    // workers draw a frame's clears and triangles as one piece of work, each tile
    // cleared while it is in the cache.
    void recordClear(const ClearRequest& request) {
        if (recording_->clears.size() == kMaxPendingClears) handOver();
        Batch& batch = *recording_;
        if (batch.empty()) layTiles(batch);
        const auto entry = static_cast<std::uint32_t>(batch.clears.size()) | kClearEntry;
        batch.clears.push_back({target_, request});
        for (std::vector<std::uint32_t>& bin : batch.bins)
            bin.push_back(entry);
    }

    // The tiles laid over the target as it is now, for the work to come.
    void layTiles(Batch& batch) {
        batch.target = target_;
        batch.tileWidth = chosenTileWidth_ > 0 ? chosenTileWidth_ : std::max(target_.pitch, 1);
        batch.tileHeight = tileHeight_;
        batch.tileColumns = (target_.pitch + batch.tileWidth - 1) / batch.tileWidth;
        batch.tileRows = (target_.rows + batch.tileHeight - 1) / batch.tileHeight;
        batch.bins.resize(static_cast<std::size_t>(batch.tileColumns) *
                          static_cast<std::size_t>(batch.tileRows));
        stateRecorded_ = false;
    }

    // The batch drawn before waits to be done; the one recorded goes to the
    // workers while the caller goes on recording into the other.
    void handOver() {
        finishDrawing();
        if (recording_->empty()) return;
        std::swap(recording_, drawn_);
        drawing_ = true;
        Batch* batch = drawn_;
        workers_.start(batch->tileColumns * batch->tileRows,
                       [batch](std::int32_t index) { drawTile(*batch, index); });
    }

    void drawEverything() {
        if (!drawing_ && recording_->empty()) return;
        handOver();
        finishDrawing();
    }

    void finishDrawing() {
        if (!drawing_) return;
        workers_.finish();
        drawing_ = false;
        dropBatch(*drawn_);
    }

    // The drawable rectangle: the viewport cut to the target. Empty when the
    // target's buffers do not match its size.
    void refreshTarget() {
        RasterTarget target;
        Surface& surface = surface_;
        if (surface.width > 0 && surface.height > 0 && surface.width <= kMaxTargetSide &&
            surface.height <= kMaxTargetSide && surface.pixels.size() >= pixelCount(surface)) {
            target.pixels = surface.pixels.data();
            if (surface.depth.size() >= pixelCount(surface)) target.depth = surface.depth.data();
            target.pitch = surface.width;
            target.rows = surface.height;
            const auto limit = [](std::uint64_t value, std::int32_t bound) {
                return static_cast<std::int32_t>(std::min<std::uint64_t>(value, bound));
            };
            target.left = limit(viewport_.x, surface.width);
            target.top = limit(viewport_.y, surface.height);
            target.right = limit(std::uint64_t{viewport_.x} + viewport_.width, surface.width);
            target.bottom = limit(std::uint64_t{viewport_.y} + viewport_.height, surface.height);
        }
        target_ = target;
    }

    void refreshTransform() {
        const TransformMatrix combined = combinedTransform(transforms_);
        for (int row = 0; row < 4; ++row) {
            for (int column = 0; column < 4; ++column) {
                matrix_[row][column] = lanes(combined.m[row][column]);
            }
        }
        const float width = static_cast<float>(viewport_.width);
        const float height = static_cast<float>(viewport_.height);
        halfWidth_ = lanes(width * 0.5f);
        halfHeight_ = lanes(height * 0.5f);
        centreX_ = lanes(static_cast<float>(viewport_.x) + width * 0.5f);
        centreY_ = lanes(static_cast<float>(viewport_.y) + height * 0.5f);
        minZ_ = lanes(viewport_.minZ);
        depthRange_ = lanes(viewport_.maxZ - viewport_.minZ);
        guard_ = {1.0f + 2.0f * kGuardBandPixels / std::max(width, 1.0f),
                  1.0f + 2.0f * kGuardBandPixels / std::max(height, 1.0f)};
        guardX_ = lanes(guard_.x);
        guardY_ = lanes(guard_.y);
    }

    static FloatLanes lanes(float value) { return FloatLanes{{value, value, value, value}}; }
    static __m128 load(const FloatLanes& lanes) { return _mm_load_ps(lanes.lane); }

    // The divide by w and the viewport, for all corners at once; y points down.
    void project(__m128 x, __m128 y, __m128 z, __m128 w, __m128 u, __m128 v,
                 ScreenTriangle& screen) const {
        const __m128 q = _mm_div_ps(_mm_set1_ps(1.0f), w);
        _mm_store_ps(screen.x.lane,
                     _mm_add_ps(load(centreX_), _mm_mul_ps(_mm_mul_ps(x, q), load(halfWidth_))));
        _mm_store_ps(screen.y.lane,
                     _mm_sub_ps(load(centreY_), _mm_mul_ps(_mm_mul_ps(y, q), load(halfHeight_))));
        _mm_store_ps(screen.z.lane,
                     _mm_add_ps(load(minZ_), _mm_mul_ps(_mm_mul_ps(z, q), load(depthRange_))));
        _mm_store_ps(screen.q.lane, q);
        _mm_store_ps(screen.uq.lane, _mm_mul_ps(u, q));
        _mm_store_ps(screen.vq.lane, _mm_mul_ps(v, q));
    }

    [[gnu::noinline]] void drawClipped(__m128 x, __m128 y, __m128 z, __m128 w,
                                       const Vertex (&corners)[3]) {
        alignas(16) float lanesX[4], lanesY[4], lanesZ[4], lanesW[4];
        _mm_store_ps(lanesX, x);
        _mm_store_ps(lanesY, y);
        _mm_store_ps(lanesZ, z);
        _mm_store_ps(lanesW, w);
        ClipVertex triangle[3];
        for (int i = 0; i < 3; ++i) {
            triangle[i] = {lanesX[i], lanesY[i],     lanesZ[i],
                           lanesW[i], corners[i].tu, corners[i].tv};
            if (!std::isfinite(triangle[i].x) || !std::isfinite(triangle[i].y) ||
                !std::isfinite(triangle[i].z) || !std::isfinite(triangle[i].w)) {
                return;
            }
        }
        ClippedPolygon polygon;
        clipTriangle(triangle, guard_, polygon);
        for (int i = 1; i + 1 < polygon.count; ++i) {
            const ClipVertex& a = polygon.corners[0];
            const ClipVertex& b = polygon.corners[i];
            const ClipVertex& c = polygon.corners[i + 1];
            ScreenTriangle screen;
            project(_mm_setr_ps(a.x, b.x, c.x, c.x), _mm_setr_ps(a.y, b.y, c.y, c.y),
                    _mm_setr_ps(a.z, b.z, c.z, c.z), _mm_setr_ps(a.w, b.w, c.w, c.w),
                    _mm_setr_ps(a.u, b.u, c.u, c.u), _mm_setr_ps(a.v, b.v, c.v, c.v), screen);
            emit(screen);
        }
    }

    // The texture as sampled, or nothing when it cannot be sampled safely.
    bool textureView(TextureView& view) const {
        const Texture* t = texture_;
        if (t == nullptr || t->width <= 0 || t->height <= 0 || t->width > kMaxTextureSide ||
            t->height > kMaxTextureSide || t->format.bitCount != 16 ||
            t->texels.size() <
                static_cast<std::size_t>(t->width) * static_cast<std::size_t>(t->height)) {
            return false;
        }
        view = {t->texels.data(),    t->width,          t->height, t->format.redMask,
                t->format.greenMask, t->format.blueMask};
        return true;
    }

    void refreshPipeline() {
        PixelState pixel = decodePixelState(states_, material_);
        pixel.depthTest = pixel.depthTest && target_.depth != nullptr;
        cull_ = decodeCulling(states_);
        TextureView view;
        pipeline_ = preparePipeline(pixel, textureView(view) ? &view : nullptr, eightPixelSpans_);
    }

    Surface& surface_;
    TextureRequirements requirements_;
    bool eightPixelSpans_;
    Viewport viewport_{};
    Transforms transforms_ = kIdentityTransforms;
    RenderStates states_{};
    MaterialColours material_{};
    const Texture* texture_ = nullptr;

    // Derived from the state above by refresh(), whenever it or the buffers change.
    bool dirty_ = true;
    BufferSnapshot snapshot_;
    RasterTarget target_;
    FloatLanes matrix_[4][4] = {};  // world · view · projection, each entry in every lane
    FloatLanes halfWidth_{}, halfHeight_{}, centreX_{}, centreY_{}, minZ_{}, depthRange_{};
    GuardBand guard_{1.0f, 1.0f};
    FloatLanes guardX_{}, guardY_{};
    CullWinding cull_ = CullWinding::counterClockwise;
    PreparedPipeline pipeline_{};

    std::int32_t chosenTileWidth_;  // 0: the target's width
    std::int32_t tileHeight_;
    WorkerPool workers_;
    bool inScene_ = false;
    // One batch is recorded while the workers draw the other.
    std::array<Batch, 2> batches_;
    Batch* recording_ = &batches_[0];
    Batch* drawn_ = &batches_[1];
    bool drawing_ = false;        // the workers have the drawn batch
    bool stateRecorded_ = false;  // the current state is the last one recorded
};

}  // namespace

std::unique_ptr<Device> createSoftwareDevice(Surface& target, TextureRequirements requirements,
                                             DrawingThreads threads, SpanWidth spans) {
    return std::make_unique<SoftwareDevice>(target, requirements, threads, spans);
}

}  // namespace glint::gfx
