#include "render/Scene.h"

#include <utility>

namespace gm {

Scene::Scene(ImageDecoder& decoder, TexFileNaming naming) : Textures(decoder, std::move(naming)) {}

// The objects hold references into the texture list, so they go first.
Scene::~Scene() {
    Objects_.Clear();
}

void Scene::SetDevice(Device* device) {
    Textures.SetDevice(device);
    Device_ = device;
    TextureBound_ = false;
}

} // namespace gm
