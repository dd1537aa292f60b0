#include "engine/normals.h"

#include <algorithm>
#include <cmath>

namespace glint {
namespace {

// Lists each vertex's faces in face order, once per corner, so that the sums below
// add the same terms in the same order as a scan over all faces would.
void buildAdjacency(FaceList& faces, std::int32_t vertexCount, std::int32_t faceCount) {
    FaceAdjacency& adjacency = faces.adjacency;
    adjacency.vertexCount = vertexCount;
    adjacency.faceCount = faceCount;
    adjacency.start.assign(static_cast<std::size_t>(vertexCount) + 1, 0);
    const std::vector<std::int32_t>* corners[] = {&faces.first, &faces.second, &faces.third};
    auto inRange = [vertexCount](std::int32_t v) { return v >= 0 && v < vertexCount; };
    for (std::int32_t i = 0; i < faceCount; ++i) {
        for (const auto* corner : corners) {
            const std::int32_t v = (*corner)[static_cast<std::size_t>(i)];
            if (inRange(v)) ++adjacency.start[static_cast<std::size_t>(v) + 1];
        }
    }
    for (std::size_t v = 1; v < adjacency.start.size(); ++v) {
        adjacency.start[v] += adjacency.start[v - 1];
    }
    adjacency.faces.resize(static_cast<std::size_t>(adjacency.start.back()));
    std::vector<std::int32_t> next(adjacency.start.begin(), adjacency.start.end() - 1);
    for (std::int32_t i = 0; i < faceCount; ++i) {
        for (const auto* corner : corners) {
            const std::int32_t v = (*corner)[static_cast<std::size_t>(i)];
            if (inRange(v)) adjacency.faces[static_cast<std::size_t>(next[v]++)] = i;
        }
    }
}

}  // namespace

std::int32_t computeFaceNormals(Mesh& mesh) {
    FaceList& faces = *mesh.faces;
    const std::vector<Vertex>& vertices = mesh.baseVertices->vertices;
    faces.faceNormals.resize(static_cast<std::size_t>(mesh.faceCount));
    for (std::int32_t i = 0; i < mesh.faceCount; ++i) {
        const auto face = static_cast<std::size_t>(i);
        const Vertex& p0 = vertices[static_cast<std::size_t>(faces.first[face])];
        const Vertex& p1 = vertices[static_cast<std::size_t>(faces.second[face])];
        const Vertex& p2 = vertices[static_cast<std::size_t>(faces.third[face])];
        const double ux = double{p0.x} - p1.x, uy = double{p0.y} - p1.y, uz = double{p0.z} - p1.z;
        const double vx = double{p0.x} - p2.x, vy = double{p0.y} - p2.y, vz = double{p0.z} - p2.z;
        const double nx = uy * vz - uz * vy;
        const double ny = uz * vx - ux * vz;
        const double nz = ux * vy - uy * vx;
        double lengthSquared = std::trunc(nx * nx + ny * ny + nz * nz);
        if (lengthSquared == 0) lengthSquared = 1;
        const double length = std::sqrt(lengthSquared);
        faces.faceNormals[face] = {static_cast<float>(nx / length), static_cast<float>(ny / length),
                                   static_cast<float>(nz / length)};
    }
    return 1;
}

std::int32_t computeVertexNormals(Mesh& mesh) {
    FaceList& faces = *mesh.faces;
    // Before any face normals exist every face counts as (0, 0, 0).
    faces.faceNormals.resize(
        std::max(faces.faceNormals.size(), static_cast<std::size_t>(mesh.faceCount)));
    if (faces.adjacency.vertexCount != mesh.vertexCount ||
        faces.adjacency.faceCount != mesh.faceCount) {
        buildAdjacency(faces, mesh.vertexCount, mesh.faceCount);
    }
    const FaceAdjacency& adjacency = faces.adjacency;
    std::vector<Point3>& normals = mesh.baseVertices->normals;
    for (std::int32_t v = 0; v < mesh.vertexCount; ++v) {
        const auto vertex = static_cast<std::size_t>(v);
        double x = 0, y = 0, z = 0;
        const std::int32_t begin = adjacency.start[vertex];
        const std::int32_t end = adjacency.start[vertex + 1];
        for (std::int32_t k = begin; k < end; ++k) {
            const Point3& n = faces.faceNormals[static_cast<std::size_t>(adjacency.faces[k])];
            x += n.x;
            y += n.y;
            z += n.z;
        }
        if (end > begin) {
            const double count = end - begin;
            x /= count;
            y /= count;
            z /= count;
        }
        double lengthSquared = x * x + y * y + z * z;
        if (lengthSquared == 0) lengthSquared = 1;
        const double length = std::sqrt(lengthSquared);
        normals[vertex] = {static_cast<float>(x / length), static_cast<float>(y / length),
                           static_cast<float>(z / length)};
    }
    return 1;
}

std::int32_t rotateNormals(Mesh& mesh) {
    const Matrix m = mesh.rotationMatrix();
    std::vector<Point3>& normals = mesh.drawnVertices->normals;
    for (std::int32_t i = 0; i < mesh.vertexCount; ++i) {
        Point3& n = normals[static_cast<std::size_t>(i)];
        n = transformPoint(n, m);
    }
    return 1;
}

std::int32_t sphereMapFromNormals(Mesh& mesh) {
    VertexList& drawn = *mesh.drawnVertices;
    for (std::int32_t i = 0; i < mesh.vertexCount; ++i) {
        const auto index = static_cast<std::size_t>(i);
        drawn.vertices[index].tu = static_cast<float>((double{drawn.normals[index].x} + 1) * 0.5);
        drawn.vertices[index].tv = static_cast<float>((double{drawn.normals[index].y} + 1) * 0.5);
    }
    return 1;
}

}  // namespace glint
