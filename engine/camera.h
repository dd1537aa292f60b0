// A camera: three angles and an offset applied to the world before the rotation.
#pragma once

namespace glint {

struct Camera {
    float rotX = 0, rotY = 0, rotZ = 0;  // radians
    float posX = 0, posY = 0, posZ = 0;  // world units
};

}  // namespace glint
