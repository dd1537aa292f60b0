// Built content on a recording device, a song that can be put at any row, and a
// readable outline of each frame's clears and draws.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "engine/content.h"
#include "engine/random.h"
#include "scenes/timeline.h"
#include "tests/engine/bitmap_files.h"
#include "tests/scenes/scene_device.h"

namespace glint::test {

using Lines = std::vector<std::string>;

inline constexpr std::int32_t kRowsHeardLate = 16;

// The row the player processes while `heard` is the row being heard.
inline SongPosition processedFor(SongPosition heard) {
    const std::int32_t row = heard.order * 64 + heard.row + kRowsHeardLate;
    return {row / 64, row % 64};
}

inline std::string clearLine(std::uint32_t colour) {
    char text[32];
    std::snprintf(text, sizeof text, "clear 0x%08X", colour);
    return text;
}

inline bool sameMatrix(const gfx::TransformMatrix& a, const gfx::TransformMatrix& b) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            if (a.m[r][c] != b.m[r][c]) return false;
        }
    }
    return true;
}

class SceneTest : public testing::Test {
protected:
    void SetUp() override {
        for (std::int32_t id : {kLogoBitmap, kTitleBitmap, kCreditABitmap, kCreditBBitmap,
                                kSurfaceBitmap, kGreetingsBitmap, kTunnelBitmap}) {
            resources.add(id, makeBmp(
                                  8, 8, [](auto, auto) { return 0; }, [](auto) { return 0; }));
        }
        resetSceneContent();
        resetRandom();
        resetTimeline();
        buildSceneContent(device);
        content().mainCamera.posZ = 50;
        nameMeshes();
        device.forget();
    }
    void TearDown() override {
        resetSceneContent();
        resetTimeline();
    }

    static SceneContent& content() { return sceneContent(); }

    void hear(SongPosition heard) {
        timeline().songPosition = [this, heard] {
            ++positionReads;
            return processedFor(heard);
        };
    }

    // One frame at the given scene time, with the previous frame's record dropped.
    void frame(float sceneTime) {
        device.forget();
        runTimeline(device, sceneTime);
    }

    void runScene(void (*scene)(gfx::Device&, float), float sceneTime) {
        device.forget();
        scene(device, sceneTime);
    }

    std::string nameOf(const gfx::Texture* texture) const {
        const auto found = names.find(texture);
        return found == names.end() ? "?" : found->second;
    }

    // "clear 0x000A1428", "depth", "begin", "end", or the drawn mesh's name, marked
    // "nodepth" when it was drawn without the depth test, "far" when at the far depth.
    Lines outline() const {
        Lines lines;
        for (const FrameStep& s : device.steps) {
            switch (s.step) {
                case Step::clear:
                    lines.push_back(s.clearFlags & gfx::kClearTarget ? clearLine(s.clearColour)
                                                                     : "depth");
                    break;
                case Step::beginScene:
                    lines.push_back("begin");
                    break;
                case Step::endScene:
                    lines.push_back("end");
                    break;
                case Step::draw:
                    lines.push_back(nameOf(s.draw.texture) + (s.draw.depthTest ? "" : " nodepth") +
                                    (s.draw.atFarDepth ? " far" : ""));
                    break;
            }
        }
        return lines;
    }

    // The draws of one named mesh in this frame.
    std::vector<MeshDraw> drawsOf(const std::string& name) const {
        std::vector<MeshDraw> found;
        for (const MeshDraw& d : device.draws()) {
            if (nameOf(d.texture) == name) found.push_back(d);
        }
        return found;
    }

    BitmapResources resources;
    SceneDevice device;
    std::map<const gfx::Texture*, std::string> names;
    int positionReads = 0;

private:
    void nameMeshes() {
        SceneContent& c = content();
        auto name = [this](const Mesh& mesh, std::string text) {
            names[mesh.material->texture.get()] = std::move(text);
        };
        name(c.backdrop, "backdrop");
        name(c.waveA(), "waveA");
        name(c.waveB(), "waveB");
        name(c.logoPlate(), "logoPlate");
        name(c.upperPlane(), "upperPlane");
        name(c.lowerPlane(), "lowerPlane");
        name(c.tunnel, "tunnel");
        name(c.titlePlate, "titlePlate");
        name(c.creditPlateA, "creditPlateA");
        name(c.creditPlateB, "creditPlateB");
        name(c.greetingsPlate, "greetingsPlate");
        for (std::size_t i = 0; i < kCubeFaces; ++i)
            name(c.blobFaces[i], "blob" + std::to_string(i));
    }
};

}  // namespace glint::test
