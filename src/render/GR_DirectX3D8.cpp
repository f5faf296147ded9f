#include "render/GR_DirectX3D8.h"

namespace gm {

TVertex3D MakeVertex(TColor32 colour, float x, float y, float z, float tu, float tv) {
    return TVertex3D{x, y, z, 1.0f, colour, tu, tv};
}

} // namespace gm
