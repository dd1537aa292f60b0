// A camera: three angles and an offset applied to the world before the rotation.
#pragma once

#include "engine/matrix.h"

namespace glint {

struct Camera {
    Matrix matrix{};                     // the rotation of the last viewMatrix call
    float rotX = 0, rotY = 0, rotZ = 0;  // radians
    float posX = 0, posY = 0, posZ = 0;  // world units

    // The world moved by the position, then turned by the angles.
    Matrix viewMatrix();
};

}  // namespace glint
