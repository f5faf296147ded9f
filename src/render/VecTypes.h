#pragma once
// Plain geometry records shared by the maths, the camera, the scene objects and the world lists.

namespace gm {

struct TVec3 {
    float x = 0, y = 0, z = 0;
};

struct TPoint2 {
    float x = 0, y = 0;
};

// Row-major, row vectors multiplied on the left (p' = p * M); translation in row 4, as Direct3D.
// m[r][c] is element M(r+1)(c+1).
struct TMatrix {
    float m[4][4] = {};
};

// Orientation record of a placed object: position on the sphere and facing, all in degrees.
struct TSpherePos {
    float Longitude = 0; // [0, 360)
    float Polar = 0;     // from the pole at -Y, [0, 180]
    float Heading = 0;   // 0 towards Polar 0, 90 towards increasing Longitude
};

inline TVec3 MakeVec3(float x, float y, float z) {
    return TVec3{x, y, z};
}
inline TPoint2 MakePoint2(float x, float y) {
    return TPoint2{x, y};
}

} // namespace gm
