#include "engine/camera.h"

namespace glint {

Matrix Camera::viewMatrix() {
    matrix = rotationMatrix(rotX, rotY, rotZ);
    Matrix view = identityMatrix();
    matMultiply(view, view, translationMatrix(posX, posY, posZ));
    matMultiply(view, view, matrix);
    return view;
}

}  // namespace glint
