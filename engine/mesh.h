// The one drawable thing: a triangle mesh with its own angles and position, drawn
// one triangle per device call. Copies of a mesh share its lists and material.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/material.h"
#include "engine/matrix.h"
#include "platform/gfx/device.h"

namespace glint {

using Vertex = gfx::Vertex;

// Its length is the owning mesh's vertexCount.
struct VertexList {
    std::vector<Vertex> vertices;
    std::vector<Point3> normals;  // filled by computeVertexNormals
};

// For each vertex, the faces that have it as a corner, in face order and once per
// such corner: vertex v's faces are faces[start[v]] .. faces[start[v + 1] − 1].
struct FaceAdjacency {
    std::int32_t vertexCount = -1;  // -1: not built yet
    std::int32_t faceCount = -1;
    std::vector<std::int32_t> start;
    std::vector<std::int32_t> faces;
};

// Its length is the owning mesh's faceCount.
struct FaceList {
    std::vector<std::int32_t> first, second, third;  // vertex indices
    std::vector<Point3> faceNormals;                 // empty until computeFaceNormals
    FaceAdjacency adjacency;                         // built by computeVertexNormals
};

struct Mesh {
    float rotX = 0, rotY = 0, rotZ = 0;  // radians
    float posX = 0, posY = 0, posZ = 0;
    bool keepDrawn = false;  // false: every draw first makes drawnVertices the base list
    std::shared_ptr<FaceList> faces;
    std::shared_ptr<FaceList> drawnFaces;       // the deformers point it at faces; draw ignores it
    std::shared_ptr<VertexList> baseVertices;   // written by generators and deformers
    std::shared_ptr<VertexList> drawnVertices;  // read by draw
    std::shared_ptr<Material> material;
    double transparency = 0.0;
    double opacity = 1.0;  // 1.0 or more draws opaque, less with colour blending
    std::int32_t faceCount = 0;
    std::int32_t vertexCount = 0;

    std::int32_t setOpacity(double x);
    std::int32_t setMaterial(const Rgb& ambient, const Rgb& diffuse, const Rgb& specular,
                             std::int32_t bitmapId, gfx::Device& device);
    Matrix rotationMatrix() const;
    Matrix translationMatrix() const;
    Matrix worldMatrix() const;
    std::int32_t draw(gfx::Device& device);
};

// drawnVertices = baseVertices and drawnFaces = faces.
void resetDrawnLists(Mesh& mesh);

}  // namespace glint
