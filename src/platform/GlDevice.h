#pragma once
// The graphics device on desktop OpenGL: 3.2 or later with GLSL 1.50 (a core profile is fine), or
// 2.1 with GLSL 1.20 where that is all there is. It draws into whatever framebuffer is bound in
// the OpenGL context that was current at Create, and that context must be current for every call
// except CreateTexture and the textures' own calls (textures keep their pixels in memory and are
// uploaded by the first draw that uses them, so loading them needs no context).
//
// Consecutive draws with the same effective state are merged into one OpenGL draw call (see
// DrawBatcher); merged draws are flushed when the state changes and at Clear, EndScene and
// Present, so the picture is exactly that of the draws issued one by one.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <QOpenGLFunctions>

#include "render/Device.h"
#include "render/DrawBatcher.h"

class QOpenGLContext;
class QOpenGLShaderProgram;
class QOpenGLBuffer;
class QOpenGLVertexArrayObject;

namespace gm {

class GlTexture;

// Why OpenGL of that version cannot draw the panel, or empty when it can. Worded as the message of
// a failed Create: "CreateDevice. OpenGL 2.1 or later is needed; this display offers 1.4".
std::string GlVersionProblem(int major, int minor, bool openGLES);

class GlDevice : public Device, private BatchSink, protected QOpenGLFunctions {
public:
    // Which shaders to use: the newest the context supports, or the GLSL 1.20 ones of OpenGL 2.1
    // (to try that path on a newer system).
    enum class ShaderPath { Auto, Legacy };

    explicit GlDevice(ShaderPath path = ShaderPath::Auto);
    ~GlDevice() override;

    // width x height is the vertex space in logical pixels. Raises ErrorQX "CreateDevice. " and
    // the reason when there is no current context, its OpenGL is too old, or the shaders fail.
    void Create(int width, int height) override;
    // Frees the OpenGL objects (when the context is still current; otherwise the context took them
    // with it). Textures stay usable and are uploaded again after the next Create.
    void Release() override;
    int Width() const override { return Width_; }
    int Height() const override { return Height_; }

    // Size of the bound framebuffer in device pixels; the logical vertex space is scaled onto it
    // (HiDPI). Until set it equals the logical size given to Create.
    void SetPixelSize(int pixelWidth, int pixelHeight);
    // The size of the drawing area in logical pixels, the units of pretransformed vertices.
    void SetLogicalSize(int width, int height);
    int PixelWidth() const noexcept { return PixelWidth_; }
    int PixelHeight() const noexcept { return PixelHeight_; }

    bool Created() const noexcept { return Created_; }
    // The OpenGL version and renderer in use, for diagnostics.
    const std::string& Description() const noexcept { return Description_; }
    // OpenGL draw calls between the last two Presents (or Create and the first Present).
    int DrawCallsLastFrame() const noexcept { return DrawCallsLastFrame_; }
    // Whether draws may join an earlier batch ahead of draws they cannot overlap (see
    // DrawBatcher::SetAreaSize); on unless turned off, which tests do to compare pictures. The
    // context must be current when it changes after Create.
    void SetReordering(bool on);

    bool Clear(std::uint32_t flags, TColor32 colour, float z, std::uint32_t stencil) override;
    bool BeginScene() override;
    bool EndScene() override;
    bool Present() override;
    bool SetRenderState(RenderState state, std::uint32_t value) override;
    bool SetTextureStageState(std::uint32_t stage, TextureStageState state,
                              std::uint32_t value) override;
    bool SetVertexShader(std::uint32_t vertexFormat) override;
    bool SetTexture(std::uint32_t stage, DeviceTexture* texture) override;
    bool DrawIndexedPrimitiveUP(PrimitiveType type, std::uint32_t minVertexIndex,
                                std::uint32_t vertexCount, std::uint32_t primitiveCount,
                                const std::uint32_t* indices, const TVertex3D* vertices) override;
    std::unique_ptr<DeviceTexture> CreateTexture(int width, int height, TexFormat format) override;
    // States only reach the batcher, where a repeat changes nothing.
    bool NeedsRepeatedStates() const override { return false; }

    // Shared with the textures, which may outlive the device.
    struct Hub {
        GlDevice* Device = nullptr;
    };

private:
    friend class GlTexture;

    void DrawBatch(const gm::DrawBatch& batch) override;
    bool ContextCurrent() const;
    void ApplyState(const DrawState& s, PrimitiveType type);
    void BindTexture(GlTexture& texture, const DrawState& s);
    void ApplyLineWidth(float width);
    void SetViewport();
    void DeletePendingTextures();
    void TextureDestroyed(GlTexture* texture);
    void BuildProgram(bool modern);

    ShaderPath Path_;
    DrawBatcher Batcher_;
    std::shared_ptr<Hub> Hub_;
    std::vector<GlTexture*> Textures_;            // every live texture made here
    std::vector<unsigned> PendingTextureDeletes_; // names of textures destroyed since

    QOpenGLContext* Context_ = nullptr;
    std::unique_ptr<QOpenGLShaderProgram> Program_;
    std::unique_ptr<QOpenGLBuffer> VertexBuffer_;
    std::unique_ptr<QOpenGLBuffer> IndexBuffer_;
    std::unique_ptr<QOpenGLVertexArrayObject> Vao_;
    int UniformMap_ = -1;
    int UniformClampZ_ = -1;
    int UniformTextured_ = -1;
    int UniformColorStage_ = -1;
    int UniformAlphaStage_ = -1;

    bool Created_ = false;
    bool InScene_ = false;
    bool Reorder_ = true;
    std::uint32_t VertexFormat_ = 0;
    int Width_ = 0;
    int Height_ = 0;
    int PixelWidth_ = 0;
    int PixelHeight_ = 0;
    int MaxTextureSize_ = 0;
    float MaxLineWidth_ = 1;
    bool WideLinesFailed_ = false;
    bool DepthClamp_ = false;
    std::string Description_;

    // What the context was last set to; invalid after anything else may have touched it.
    bool AppliedValid_ = false;
    DrawState Applied_;
    PrimitiveType AppliedType_ = PrimitiveType::TriangleList;
    float AppliedLineWidth_ = 1;

    int DrawCallsThisFrame_ = 0;
    int DrawCallsLastFrame_ = 0;
};

} // namespace gm
