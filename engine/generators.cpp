#include "engine/generators.h"

#include <cmath>

#include "engine/random.h"

namespace glint {
namespace {

constexpr Point3 kGridNormal{0, 0, -1};

// The second lists stay zero-filled until the deformers replace them.
void createLists(Mesh& mesh, std::int32_t vertexCount, std::int32_t faceCount) {
    mesh.vertexCount = vertexCount;
    mesh.faceCount = faceCount;
    const auto vertices = static_cast<std::size_t>(vertexCount);
    const auto faces = static_cast<std::size_t>(faceCount);
    for (auto* list : {&mesh.drawnVertices, &mesh.baseVertices}) {
        *list = std::make_shared<VertexList>();
        (*list)->vertices.resize(vertices);
        (*list)->normals.resize(vertices);
    }
    for (auto* list : {&mesh.drawnFaces, &mesh.faces}) {
        *list = std::make_shared<FaceList>();
        (*list)->first.resize(faces);
        (*list)->second.resize(faces);
        (*list)->third.resize(faces);
    }
}

void appendFace(FaceList& faces, std::size_t& next, std::int32_t a, std::int32_t b,
                std::int32_t c) {
    faces.first[next] = a;
    faces.second[next] = b;
    faces.third[next] = c;
    ++next;
}

// Mode 2 along one axis: u = 2i / (n − 1) runs the texture back, then on again.
double mirroredHalf(std::int32_t i, std::int32_t n) {
    const double u = 2.0 * i / (n - 1);
    return u <= 1 ? 1 - u : u - 0.95;
}

}  // namespace

void makeGrid(std::int32_t columns, std::int32_t rows, double width, double height, Mesh& mesh,
              std::int32_t texMode) {
    const std::int32_t m = columns;
    const std::int32_t n = rows;
    createLists(mesh, m * n, 2 * (m - 1) * (n - 1));

    FaceList& faces = *mesh.faces;
    std::size_t face = 0;
    for (std::int32_t r = 0; r < n - 1; ++r) {
        for (std::int32_t c = 0; c < m - 1; ++c) {
            const std::int32_t v = r * m + c;
            appendFace(faces, face, v, v + 1, v + m);
            appendFace(faces, face, v + 1, v + m + 1, v + m);
        }
    }

    std::vector<Vertex>& vertices = mesh.baseVertices->vertices;
    for (std::int32_t j = 0; j < n; ++j) {
        for (std::int32_t k = 0; k < m; ++k) {
            const std::int32_t index = j * m + k;
            double tu;
            double tv;
            switch (texMode) {
                case kTexStretched:
                    tu = static_cast<double>(k) / (m - 1);
                    tv = static_cast<double>(j) / (n - 1);
                    break;
                case kTexPerCell:
                    tu = index % 2;
                    tv = j % 2;
                    break;
                case kTexMirroredHalves:
                    tu = mirroredHalf(k, m);
                    tv = mirroredHalf(j, n);
                    break;
                default:
                    continue;
            }
            vertices[static_cast<std::size_t>(index)] = {
                static_cast<float>(width * (k - (m - 1) / 2.0) / (m - 1)),
                static_cast<float>(height * (j - (n - 1) / 2.0) / (n - 1)),
                0,
                kGridNormal.x,
                kGridNormal.y,
                kGridNormal.z,
                static_cast<float>(tu),
                static_cast<float>(tv)};
        }
    }
}

void makeTube(std::int32_t rings, std::int32_t segments, double length, double radius,
              std::int32_t jitter, Mesh& mesh) {
    const std::int32_t n = rings;
    const std::int32_t s = segments;
    createLists(mesh, n * s, 2 * s * (n - 1));

    std::vector<Vertex>& vertices = mesh.baseVertices->vertices;
    for (std::int32_t i = 0; i < n; ++i) {
        const double ringRadius =
            2 * std::sin(i * (10.0 / 23.0)) + 4 * std::cos(i * 0.125) + radius;
        const double y = i * (length / n) - length / 2;
        const double tv = static_cast<double>(i) / n;
        for (std::int32_t j = 0; j < s; ++j) {
            const double a = j * (kRingTurn / s);
            const double jx = (randomInt() % jitter) * 0.01;
            const double jz = (randomInt() % jitter) * 0.01;
            vertices[static_cast<std::size_t>(i * s + j)] = {
                static_cast<float>((ringRadius + jx) * std::cos(a)),
                static_cast<float>(y),
                static_cast<float>((ringRadius + jz) * std::sin(a)),
                0,
                0,
                0,
                static_cast<float>(static_cast<double>(j) / s),
                static_cast<float>(tv)};
        }
    }

    FaceList& faces = *mesh.faces;
    std::size_t face = 0;
    for (std::int32_t i = 0; i < n - 1; ++i) {
        for (std::int32_t j = 0; j < s; ++j) {
            const std::int32_t g = i * s + j;
            const std::int32_t next = j == s - 1 ? i * s : g + 1;
            appendFace(faces, face, g, next, g + s);
            appendFace(faces, face, next, next + s, g + s);
        }
    }
}

}  // namespace glint
