#pragma once
// Scene objects: small arrays of screen-space vertices with a list of indexed primitives (triangle
// or line lists), each optionally textured. Every drawable thing is made of these. They are created
// and freed through the Scene (Scene::Obj3DNew / Obj3DFree), which draws them in two layers.

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "foundation/QX_List.h"
#include "render/Device.h"
#include "render/GR_DirectX3D8.h"
#include "render/VecTypes.h"
#include "render/gm_Tex.h"

namespace gm {

class Scene;

// One indexed draw call. Prev is the older node, Next the newer.
struct TPrimNode {
    TPrimNode* Prev = nullptr;
    TPrimNode* Next = nullptr;
    std::vector<std::uint32_t> Indices; // the index count is Indices.size()
    PrimitiveType PrimType = PrimitiveType::TriangleList;
    int PrimCount = 0;
    // Holds one reference; set and released only by the owning TgmObj3D.
    TgmTex* Texture = nullptr;

    int IndexCount() const noexcept { return int(Indices.size()); }
};

class TgmObj3D {
public:
    // Objects are made by Scene::Obj3DNew; textures of their faces come from `textures`.
    explicit TgmObj3D(TexList& textures);
    ~TgmObj3D();
    TgmObj3D(const TgmObj3D&) = delete;
    TgmObj3D& operator=(const TgmObj3D&) = delete;

    TgmObj3D* Prev = nullptr;
    TgmObj3D* Next = nullptr;
    TVec3 Position;        // the offset last applied by MoveTo
    bool Visible = true;   // drawn or not
    bool DepthTest = true; // drawn with depth test and depth writes
    int Layer = 0;         // drawing pass, 0 or 1

    int VertexCount() const noexcept { return VertexCount_; }
    // Keeps the existing vertices; new ones are zero until written. Negative counts as 0.
    void SetVertexCount(int n);
    // Callers stay below VertexCount().
    TVertex3D* Vertex(int i) noexcept;
    const TVertex3D* Vertices() const noexcept { return VertexData_; }
    void ClearVertices() noexcept;

    // A new empty node after the newest one.
    TPrimNode* AddPrim();
    // Removes the nodes, newest first, releasing their textures.
    void ClearPrims() noexcept;
    const ListQX<TPrimNode>& Prims() const noexcept { return Prims_; }

    // One triangle; a non-empty textureFile gives it the texture of that file (see TexList).
    void AddTriangle(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                     std::u16string_view textureFile = {});
    void AddLine(std::uint32_t a, std::uint32_t b);

    // A ball of n rings (1 <= n <= MarkerMaxRings) around (0, 0, 0) with radius size, replacing
    // the object's vertices and nodes: n(2n + 1) + 2 vertices and 4n^2 triangles in one node.
    // Outside that range the object is left empty.
    static constexpr int MarkerMaxRings = 256;
    void BuildMarker(int n, TColor32 colour, float size);

    // Shifts every vertex from Position to p; nothing when there are no vertices or p equals it.
    void MoveTo(const TVec3& p);
    void SetColor(TColor32 colour);

private:
    // Triangles, lines and outlines keep their few vertices inside the object, next to what a
    // frame reads with them; larger objects keep them in a block of their own. What a frame reads
    // comes first.
    static constexpr int InlineVertices = 4;
    int VertexCount_ = 0;
    TVertex3D* VertexData_ = Inline_; // Inline_ or Heap_
    ListQX<TPrimNode> Prims_;
    TexList& Textures_;
    std::unique_ptr<TVertex3D[]> Heap_;
    int HeapCapacity_ = 0;
    TVertex3D Inline_[InlineVertices];
};

// The panel background: a width x height picture at depth 1 behind everything, textured with the
// file "\bg.jpg" in startDir; layer 0, depth test on.
TgmObj3D* BackgroundObjNew(Scene& scene, std::u16string_view startDir, bool visible, float width,
                           float height);
// Stretches the background over a panel of the new size.
void BackgroundObjSize(TgmObj3D& obj, float width, float height);

// The selection rectangle: a quad with both windings, so culling never hides it.
TgmObj3D* RubberObjNew(Scene& scene);
// Puts its corners at (x1, y1), (x2, y1), (x2, y2), (x1, y2) in panel pixels, depth 0,
// half-transparent red.
void RubberObjSet(TgmObj3D& obj, float x1, float y1, float x2, float y2);

} // namespace gm
