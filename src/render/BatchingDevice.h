#pragma once
// A device that merges draws exactly as the OpenGL device does (through a DrawBatcher) and hands
// the merged batches to a sink instead of a GPU: the OpenGL device's CPU path without a display,
// for benchmarks and for tests that count the draw calls a frame would make. Textures keep their
// pixels in memory.

#include <cstdint>
#include <memory>

#include "render/Device.h"
#include "render/DrawBatcher.h"

namespace gm {

class BatchingDevice : public Device {
public:
    // Batches go to sink (which must outlive the device); none means they are only counted.
    explicit BatchingDevice(BatchSink* sink = nullptr);
    ~BatchingDevice() override;

    void Create(int width, int height) override;
    void Release() override;
    int Width() const override { return Width_; }
    int Height() const override { return Height_; }

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
    bool NeedsRepeatedStates() const override { return false; }

    // What the frame between the last two Presents handed on.
    struct FrameStats {
        std::uint64_t Batches = 0; // draw calls the OpenGL device would make
        std::uint64_t Draws = 0;   // device draws merged into them
        std::uint64_t Vertices = 0;
        std::uint64_t Indices = 0;
    };
    const FrameStats& LastFrame() const noexcept { return LastFrame_; }
    // As the OpenGL device: draws may join earlier batches ahead of draws they cannot overlap
    // (DrawBatcher::SetAreaSize), unless turned off.
    void SetReordering(bool on);

    // Shared with the textures, which may outlive the device.
    struct Hub;

private:
    class Counter : public BatchSink {
    public:
        explicit Counter(BatchingDevice& device) : Device_(device) {}
        void DrawBatch(const gm::DrawBatch& batch) override;

    private:
        BatchingDevice& Device_;
    };

    Counter Counter_;
    BatchSink* Sink_;
    DrawBatcher Batcher_;
    std::shared_ptr<Hub> Hub_;
    bool Created_ = false;
    bool InScene_ = false;
    bool Reorder_ = true;
    int Width_ = 0;
    int Height_ = 0;
    FrameStats ThisFrame_;
    FrameStats LastFrame_;
};

} // namespace gm
