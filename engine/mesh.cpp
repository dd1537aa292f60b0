#include "engine/mesh.h"

namespace glint {

std::int32_t Mesh::setOpacity(double x) {
    transparency = 1 - x;
    opacity = x;
    return 1;
}

std::int32_t Mesh::setMaterial(const Rgb& ambient, const Rgb& diffuse, const Rgb& specular,
                               std::int32_t bitmapId, gfx::Device& device) {
    material = std::make_shared<Material>(makeMaterial(ambient, diffuse, specular));
    material->loadTexture(bitmapId, device);
    return 0;
}

Matrix Mesh::rotationMatrix() const {
    return glint::rotationMatrix(rotX, rotY, rotZ);
}

Matrix Mesh::translationMatrix() const {
    return glint::translationMatrix(posX, posY, posZ);
}

Matrix Mesh::worldMatrix() const {
    Matrix m = identityMatrix();
    matMultiply(m, m, rotationMatrix());
    matMultiply(m, m, translationMatrix());
    return m;
}

std::int32_t Mesh::draw(gfx::Device& device) {
    if (!keepDrawn) drawnVertices = baseVertices;
    if (opacity >= 1.0) {
        device.setRenderState(gfx::RenderState::srcBlend, gfx::kBlendOne);
        device.setRenderState(gfx::RenderState::destBlend, gfx::kBlendZero);
    } else {
        device.setRenderState(gfx::RenderState::srcBlend, gfx::kBlendSrcColor);
        device.setRenderState(gfx::RenderState::destBlend, gfx::kBlendInvSrcColor);
    }
    // A mesh without a material must not inherit the previous draw's texture.
    static const Material noMaterial;
    (material ? *material : noMaterial).apply(device);
    device.setTransform(gfx::TransformKind::world, worldMatrix());
    if (!faces || !drawnVertices) return 0;
    const std::vector<Vertex>& vertices = drawnVertices->vertices;
    Vertex triangle[3];
    for (std::int32_t i = 0; i < faceCount; ++i) {
        triangle[0] = vertices[faces->first[i]];
        triangle[1] = vertices[faces->second[i]];
        triangle[2] = vertices[faces->third[i]];
        device.drawTriangle(triangle);
    }
    return 0;
}

void resetDrawnLists(Mesh& mesh) {
    mesh.drawnVertices = mesh.baseVertices;
    mesh.drawnFaces = mesh.faces;
}

}  // namespace glint
