#include "engine/deformers.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "engine/generators.h"
#include "engine/random.h"

namespace glint {
namespace {

// A term of one coordinate, worked out once per distinct coordinate (told apart by
// its bits) while that stays in its slot: the sheets are grids, whose rows and
// columns repeat a few dozen heights and places.
constexpr int kTermSlotBits = 6;
constexpr std::uint32_t kTermSlotHash = 0x9E3779B1u;  // a prime near 2^32 / golden ratio

struct TermSlot {
    std::uint32_t bits = 0;
    bool filled = false;
    double value = 0;
};
using TermCache = std::array<TermSlot, std::size_t{1} << kTermSlotBits>;

template <typename Term>
double cachedTerm(TermCache& cache, float coordinate, const Term& term) {
    const auto bits = __builtin_bit_cast(std::uint32_t, coordinate);
    TermSlot& slot = cache[(bits * kTermSlotHash) >> (32 - kTermSlotBits)];
    if (!slot.filled || slot.bits != bits) slot = {bits, true, term(coordinate)};
    return slot.value;
}

}  // namespace

void waveDeform(Mesh& mesh, double phase, double cosAmp, double sinAmp) {
    resetDrawnLists(mesh);
    TermCache rows, columns;
    const auto rowTerm = [&](double y) { return sinAmp * std::sin(2 * phase - 0.25 * y); };
    const auto columnTerm = [&](double x) { return cosAmp * std::cos(0.1 * x + phase); };
    for (std::int32_t i = 0; i < mesh.vertexCount; ++i) {
        Vertex& v = mesh.baseVertices->vertices[static_cast<std::size_t>(i)];
        v.z = static_cast<float>(cachedTerm(rows, v.y, rowTerm) +
                                 cachedTerm(columns, v.x, columnTerm));
    }
}

void scrollRings(Mesh& mesh, std::int32_t segments) {
    if (segments > 0) {
        std::vector<Vertex>& vertices = mesh.baseVertices->vertices;
        for (std::int32_t i = mesh.vertexCount - segments - 1; i >= 0; --i) {
            const Vertex& from = vertices[static_cast<std::size_t>(i)];
            Vertex& to = vertices[static_cast<std::size_t>(i + segments)];
            to.x = from.x;
            to.z = from.z;
        }
    }
    resetDrawnLists(mesh);
}

void newTunnelRing(std::int32_t segments, double phase, double radius, std::int32_t jitter,
                   Mesh& mesh, double offsetX, double offsetZ) {
    const double r = 4 * std::cos(0.1 * phase) + 2 * std::sin(0.25 * phase) + radius;
    for (std::int32_t j = 0; j < segments; ++j) {
        const double a = j * (kRingTurn / segments);
        const double jx = (randomInt() % jitter) * 0.01;
        const double jz = (randomInt() % jitter) * 0.01;
        if (j >= mesh.vertexCount) continue;
        Vertex& v = mesh.baseVertices->vertices[static_cast<std::size_t>(j)];
        v.x = static_cast<float>(2 * offsetX + (r + jx) * std::cos(a));
        v.z = static_cast<float>(2 * offsetZ + (r + jz) * std::sin(a));
    }
}

void bulgeDeform(Mesh& mesh, double width, double height, double scale, double sign) {
    const double hw = width / 2;
    const double hh = height / 2;
    const double q = (scale / hh) * (scale / hw);
    for (std::int32_t i = 0; i < mesh.vertexCount; ++i) {
        Vertex& v = mesh.baseVertices->vertices[static_cast<std::size_t>(i)];
        const double x = v.x;
        const double y = v.y;
        const double p = q * (hh - std::fabs(y)) * q * (hw - std::fabs(x));
        const bool inside = 1 - hw < x && x < hw - 1 && 1 - hh < y && y < hh - 1;
        if (inside) {
            v.z = static_cast<float>(sign * (0.005 * (randomInt() % 100) + p - 0.25));
        } else {
            v.z = static_cast<float>(sign * p);
        }
    }
    resetDrawnLists(mesh);
}

void bakeTransform(const Mesh& source, Mesh& target) {
    const Matrix m = rotationMatrix(source.rotX, source.rotY, source.rotZ);
    const std::int32_t count = std::min(source.vertexCount, target.vertexCount);
    for (std::int32_t i = 0; i < count; ++i) {
        const Vertex& from = source.baseVertices->vertices[static_cast<std::size_t>(i)];
        const Point3 p = transformPoint({from.x, from.y, from.z}, m);
        Vertex& to = target.baseVertices->vertices[static_cast<std::size_t>(i)];
        to.x = static_cast<float>(static_cast<double>(p.x) + source.posX);
        to.y = static_cast<float>(static_cast<double>(p.y) + source.posY);
        to.z = static_cast<float>(static_cast<double>(p.z) + source.posZ);
    }
    target.posX = target.posY = target.posZ = 0;
    target.rotX = target.rotY = target.rotZ = 0;
}

}  // namespace glint
