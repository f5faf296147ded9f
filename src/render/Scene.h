#pragma once
// The scene: every scene object (in creation order, which is drawing order within a layer), the
// texture list, the device they are drawn on, and whether a texture is bound on it. The
// application owns one; tests make their own.

#include <string>
#include <vector>

#include "foundation/QX_List.h"
#include "render/Device.h"
#include "render/ImageDecoder.h"
#include "render/gm_Obj3D.h"
#include "render/gm_Tex.h"

namespace gm {

class Scene {
public:
    Scene(ImageDecoder& decoder, TexFileNaming naming);
    ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    // Null while there is no device: nothing is drawn and textures wait (see TexList::SetDevice).
    // The device must outlive the scene or be replaced here before it goes.
    void SetDevice(Device* device);
    Device* GetDevice() const noexcept { return Device_; }

    TexList Textures;

    // Scene objects (gm_Obj3D.cpp). An object lives from Obj3DNew until Obj3DFree or
    // Obj3DFreeAll; whoever asked for it frees it, and must forget it after Obj3DFreeAll.
    TgmObj3D* Obj3DNew();
    void Obj3DFree(TgmObj3D* obj) noexcept;
    void Obj3DFreeAll() noexcept;
    const ListQX<TgmObj3D>& Objects() const noexcept { return Objects_; }

    // Draws one object; raises "TgmObj3D Draw" when the device refuses its vertex format.
    void Draw(TgmObj3D& obj);
    // Draws every visible object of that layer, oldest first.
    void DrawLayer(int layer);
    // DrawLayer(0) then DrawLayer(1), in one walk over the objects.
    void DrawLayers();
    bool TextureBound() const noexcept { return TextureBound_; }

private:
    // The states this scene set on the device during one DrawLayer, so that repeats can be left
    // out on devices that allow it.
    struct StateCache {
        bool Shader = false;
        int Depth = -1;
        bool Stages = false; // stage 0 set for a textured node
        DeviceTexture* Texture = nullptr;
    };
    void DrawObject(TgmObj3D& obj, StateCache* cache);

    // The objects in list order, for walks that read ahead; rebuilt after objects were freed.
    const std::vector<TgmObj3D*>& Order();

    Device* Device_ = nullptr;
    bool TextureBound_ = false;
    ListQX<TgmObj3D> Objects_;
    std::vector<TgmObj3D*> Order_;
    bool OrderValid_ = true;
    std::vector<TgmObj3D*> LayerOne_; // scratch of DrawLayers
};

} // namespace gm
