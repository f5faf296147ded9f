#include "render/gm_Obj3D.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <memory>
#include <span>
#include <string>

#include "foundation/Prefetch.h"
#include "foundation/QX_Error.h"
#include "render/Scene.h"

namespace gm {

TgmObj3D::TgmObj3D(TexList& textures) : Textures_(textures) {}

TgmObj3D::~TgmObj3D() {
    ClearPrims();
    ClearVertices();
}

void TgmObj3D::SetVertexCount(int n) {
    if (n < 0) n = 0;
    const int keep = std::min(n, VertexCount_);
    if (n <= InlineVertices) {
        if (VertexData_ != Inline_) {
            std::copy(VertexData_, VertexData_ + keep, Inline_);
            Heap_.reset();
            HeapCapacity_ = 0;
            VertexData_ = Inline_;
        }
    } else if (VertexData_ == Inline_ || n > HeapCapacity_) {
        auto heap = std::make_unique<TVertex3D[]>(std::size_t(n));
        std::copy(VertexData_, VertexData_ + keep, heap.get());
        Heap_ = std::move(heap);
        HeapCapacity_ = n;
        VertexData_ = Heap_.get();
    }
    // Vertices beyond the kept ones are new: zero, as a fresh array would be.
    std::fill(VertexData_ + keep, VertexData_ + n, TVertex3D{});
    VertexCount_ = n;
}

TVertex3D* TgmObj3D::Vertex(int i) noexcept {
    assert(i >= 0 && i < VertexCount());
    return VertexData_ + i;
}

void TgmObj3D::ClearVertices() noexcept {
    Heap_.reset();
    HeapCapacity_ = 0;
    VertexData_ = Inline_;
    VertexCount_ = 0;
}

TPrimNode* TgmObj3D::AddPrim() {
    return Prims_.Append(std::make_unique<TPrimNode>());
}

void TgmObj3D::ClearPrims() noexcept {
    while (TPrimNode* node = Prims_.Last()) {
        Textures_.TexRelease(node->Texture);
        node->Texture = nullptr;
        Prims_.Erase(node);
    }
}

void TgmObj3D::AddTriangle(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                           std::u16string_view textureFile) {
    TPrimNode* node = AddPrim();
    node->Indices = {a, b, c};
    node->PrimType = PrimitiveType::TriangleList;
    node->PrimCount = 1;
    if (!textureFile.empty()) node->Texture = Textures_.TexAcquire(textureFile);
}

void TgmObj3D::AddLine(std::uint32_t a, std::uint32_t b) {
    TPrimNode* node = AddPrim();
    node->Indices = {a, b};
    node->PrimType = PrimitiveType::LineList;
    node->PrimCount = 1;
}

void TgmObj3D::BuildMarker(int n, TColor32 colour, float size) {
    ClearPrims();
    ClearVertices();
    if (n < 1 || n > MarkerMaxRings) return;
    const std::uint32_t ring = std::uint32_t(2 * n + 1); // vertices per ring
    const std::uint32_t un = std::uint32_t(n);
    SetVertexCount(n * (2 * n + 1) + 2);
    TPrimNode* node = AddPrim();
    node->PrimType = PrimitiveType::TriangleList;
    node->Indices.reserve(12u * un * un);

    // The angle step is a float and the ring angle is accumulated, as the marker always was, so
    // shapes stay identical to the ones designers are used to.
    const float step = 3.1415927f / float(n);
    float theta = 0;
    for (std::uint32_t r = 1; r <= un; ++r) {
        theta += step;
        const double st = std::sin(double(theta));
        const double ct = std::cos(double(theta));
        for (std::uint32_t j = 0; j < ring; ++j) {
            const double phi = double(float(j) * step);
            VertexData_[(r - 1) * ring + j] =
                MakeVertex(colour, float(size * std::sin(phi) * st), float(size * ct),
                           float(size * std::cos(phi) * st), float(1.0 - double(j) / (2.0 * n)),
                           float((1.0 - ct) / 2.0));
        }
    }
    auto tri = [&](std::uint32_t a, std::uint32_t b, std::uint32_t c) {
        node->Indices.insert(node->Indices.end(), {a, b, c});
    };
    for (std::uint32_t k = 0; k + 1 < un; ++k)
        for (std::uint32_t j = 0; j < 2 * un; ++j) {
            const std::uint32_t a = k * ring + j;
            const std::uint32_t b = (k + 1) * ring + j;
            tri(a, b, a + 1);
            tri(a + 1, b, b + 1);
        }
    const std::uint32_t top = un * ring;
    VertexData_[top] = MakeVertex(colour, 0, size, 0, 0.5f, 0);
    VertexData_[top + 1] = MakeVertex(colour, 0, -size, 0, 0.5f, 1);
    const std::uint32_t last = (un - 1) * ring;
    for (std::uint32_t j = 0; j < 2 * un; ++j)
        tri(top + 1, last + j, last + j + 1);
    for (std::uint32_t j = 0; j < 2 * un; ++j)
        tri(top, j, j + 1);
    node->PrimCount = int(node->Indices.size() / 3);
}

void TgmObj3D::MoveTo(const TVec3& p) {
    if (VertexCount_ == 0) return;
    if (p.x == Position.x && p.y == Position.y && p.z == Position.z) return;
    for (TVertex3D& v : std::span(VertexData_, std::size_t(VertexCount_))) {
        v.x = v.x - Position.x + p.x;
        v.y = v.y - Position.y + p.y;
        v.z = v.z - Position.z + p.z;
    }
    Position = p;
}

void TgmObj3D::SetColor(TColor32 colour) {
    for (TVertex3D& v : std::span(VertexData_, std::size_t(VertexCount_)))
        v.diffuse = colour;
}

TgmObj3D* Scene::Obj3DNew() {
    TgmObj3D* obj = Objects_.Append(std::make_unique<TgmObj3D>(Textures));
    if (OrderValid_) {
        try {
            Order_.push_back(obj);
        } catch (...) {
            OrderValid_ = false; // rebuilt when next needed
        }
    }
    return obj;
}

void Scene::Obj3DFree(TgmObj3D* obj) noexcept {
    if (!obj) return;
    Objects_.Erase(obj);
    OrderValid_ = false;
}

void Scene::Obj3DFreeAll() noexcept {
    Objects_.Clear();
    Order_.clear();
    OrderValid_ = true;
}

const std::vector<TgmObj3D*>& Scene::Order() {
    if (!OrderValid_) {
        Order_.clear();
        Order_.reserve(Objects_.Size());
        for (TgmObj3D* obj : Objects_)
            Order_.push_back(obj);
        OrderValid_ = true;
    }
    return Order_;
}

namespace {

// A node the device could read outside the object's vertices is never handed over.
bool NodeFitsVertices(const TPrimNode& node, int vertexCount) {
    if (node.PrimCount <= 0) return false;
    const std::uint64_t count = PrimitiveIndexCount(node.PrimType, std::uint32_t(node.PrimCount));
    if (node.Indices.size() < count) return false;
    for (std::uint64_t i = 0; i < count; ++i)
        if (node.Indices[i] >= std::uint32_t(vertexCount)) return false;
    return true;
}

} // namespace

void Scene::Draw(TgmObj3D& obj) {
    if (!Device_) return;
    DrawObject(obj, nullptr);
}

void Scene::DrawObject(TgmObj3D& obj, StateCache* cache) {
    Device& dev = *Device_;
    if (!cache || !cache->Shader) {
        if (!dev.SetVertexShader(FVF_Vertex3D)) RaiseQX("TgmObj3D Draw");
        if (cache) cache->Shader = true;
    }
    const std::uint32_t depth = obj.DepthTest ? 1 : 0;
    if (!cache || cache->Depth != int(depth)) {
        dev.SetRenderState(RenderState::ZEnable, depth);
        dev.SetRenderState(RenderState::ZWriteEnable, depth);
        if (cache) cache->Depth = int(depth);
    }
    const int vertexCount = obj.VertexCount();
    for (const TPrimNode* node : obj.Prims()) {
        if (!NodeFitsVertices(*node, vertexCount)) continue;
        // A texture whose file failed to load draws like an untextured node.
        DeviceTexture* texture = node->Texture ? node->Texture->DevTex.get() : nullptr;
        if (texture) {
            if (!cache || !cache->Stages || cache->Texture != texture) {
                dev.SetTexture(0, texture);
                dev.SetTextureStageState(0, TextureStageState::ColorOp, TexOpSelectArg1);
                dev.SetTextureStageState(0, TextureStageState::ColorArg1, TexArgTexture);
                dev.SetTextureStageState(0, TextureStageState::AlphaOp, TexOpModulate);
                dev.SetTextureStageState(0, TextureStageState::AlphaArg1, TexArgTexture);
                dev.SetTextureStageState(0, TextureStageState::AlphaArg2, TexArgDiffuse);
                if (cache) {
                    cache->Stages = true;
                    cache->Texture = texture;
                }
            }
            TextureBound_ = true;
        } else if (TextureBound_) {
            dev.SetTexture(0, nullptr);
            TextureBound_ = false;
            if (cache) cache->Texture = nullptr;
        }
        dev.DrawIndexedPrimitiveUP(node->PrimType, 0, std::uint32_t(vertexCount),
                                   std::uint32_t(node->PrimCount), node->Indices.data(),
                                   obj.Vertices());
    }
}

namespace {

// How many objects ahead a walk asks for: enough to cover a miss while the objects in between are
// drawn.
constexpr std::size_t ReadAhead = 8;

} // namespace

void Scene::DrawLayer(int layer) {
    if (!Device_) return;
    StateCache cache;
    StateCache* const c = Device_->NeedsRepeatedStates() ? nullptr : &cache;
    const std::vector<TgmObj3D*>& order = Order();
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (i + ReadAhead < order.size()) PrefetchQX(order[i + ReadAhead]);
        TgmObj3D* obj = order[i];
        if (obj->Visible && obj->Layer == layer) DrawObject(*obj, c);
    }
}

// Drawing changes no object, so the layer-1 objects found while layer 0 is drawn are the ones
// DrawLayer(1) would find, in the same order.
void Scene::DrawLayers() {
    if (!Device_) return;
    const bool repeat = Device_->NeedsRepeatedStates();
    const std::vector<TgmObj3D*>& order = Order();
    LayerOne_.clear();
    {
        StateCache cache;
        for (std::size_t i = 0; i < order.size(); ++i) {
            if (i + ReadAhead < order.size()) PrefetchQX(order[i + ReadAhead]);
            TgmObj3D* obj = order[i];
            if (!obj->Visible) continue;
            if (obj->Layer == 0)
                DrawObject(*obj, repeat ? nullptr : &cache);
            else if (obj->Layer == 1)
                LayerOne_.push_back(obj);
        }
    }
    StateCache cache;
    for (TgmObj3D* obj : LayerOne_)
        DrawObject(*obj, repeat ? nullptr : &cache);
}

TgmObj3D* BackgroundObjNew(Scene& scene, std::u16string_view startDir, bool visible, float width,
                           float height) {
    TgmObj3D* obj = scene.Obj3DNew();
    obj->SetVertexCount(4);
    BackgroundObjSize(*obj, width, height);
    const std::u16string file = std::u16string(startDir) + u"\\bg.jpg";
    obj->AddTriangle(0, 1, 2, file);
    obj->AddTriangle(2, 3, 0, file);
    obj->Layer = 0;
    obj->DepthTest = true;
    obj->Visible = visible;
    return obj;
}

void BackgroundObjSize(TgmObj3D& obj, float width, float height) {
    if (obj.VertexCount() < 4) obj.SetVertexCount(4);
    *obj.Vertex(0) = MakeVertex(0xFFFFFFFFu, 0, 0, 1, 0, 0);
    *obj.Vertex(1) = MakeVertex(0xFFFFFFFFu, width, 0, 1, 1, 0);
    *obj.Vertex(2) = MakeVertex(0xFFFFFFFFu, width, height, 1, 1, 1);
    *obj.Vertex(3) = MakeVertex(0xFFFFFFFFu, 0, height, 1, 0, 1);
}

TgmObj3D* RubberObjNew(Scene& scene) {
    TgmObj3D* obj = scene.Obj3DNew();
    obj->SetVertexCount(4);
    obj->AddTriangle(0, 1, 3);
    obj->AddTriangle(1, 2, 3);
    obj->AddTriangle(1, 0, 3);
    obj->AddTriangle(2, 1, 3);
    RubberObjSet(*obj, 0, 0, 0, 0);
    return obj;
}

void RubberObjSet(TgmObj3D& obj, float x1, float y1, float x2, float y2) {
    constexpr TColor32 halfRed = 0x80FF0000u;
    if (obj.VertexCount() < 4) obj.SetVertexCount(4);
    *obj.Vertex(0) = MakeVertex(halfRed, x1, y1, 0, 0, 0);
    *obj.Vertex(1) = MakeVertex(halfRed, x2, y1, 0, 0, 0);
    *obj.Vertex(2) = MakeVertex(halfRed, x2, y2, 0, 0, 0);
    *obj.Vertex(3) = MakeVertex(halfRed, x1, y2, 0, 0, 0);
}

} // namespace gm
