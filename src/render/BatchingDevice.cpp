#include "render/BatchingDevice.h"

#include "foundation/QX_Error.h"
#include "render/NullDevice.h"

namespace gm {

struct BatchingDevice::Hub {
    DrawBatcher* Batcher = nullptr; // null once the device is gone
};

namespace {

// A pending batch drawn with a texture must be handed on before the texture goes, as the
// OpenGL device does.
class BatchingTexture : public MemoryTexture {
public:
    BatchingTexture(int width, int height, std::shared_ptr<BatchingDevice::Hub> hub)
        : MemoryTexture(width, height), Hub_(std::move(hub)) {}
    ~BatchingTexture() override;

private:
    std::shared_ptr<BatchingDevice::Hub> Hub_;
};

} // namespace

BatchingTexture::~BatchingTexture() {
    if (Hub_->Batcher) Hub_->Batcher->ForgetTexture(this);
}

BatchingDevice::BatchingDevice(BatchSink* sink)
    : Counter_(*this), Sink_(sink), Batcher_(Counter_), Hub_(std::make_shared<Hub>()) {
    Hub_->Batcher = &Batcher_;
}

BatchingDevice::~BatchingDevice() {
    Hub_->Batcher = nullptr;
}

void BatchingDevice::Counter::DrawBatch(const gm::DrawBatch& batch) {
    FrameStats& s = Device_.ThisFrame_;
    ++s.Batches;
    s.Draws += batch.Draws;
    s.Vertices += batch.Vertices.size();
    s.Indices += batch.Indices.size();
    if (Device_.Sink_) Device_.Sink_->DrawBatch(batch);
}

void BatchingDevice::Create(int width, int height) {
    if (width <= 0 || height <= 0)
        RaiseQX("CreateDevice. size=" + std::to_string(width) + "x" + std::to_string(height));
    Width_ = width;
    Height_ = height;
    Batcher_.Reset();
    Batcher_.SetAreaSize(Reorder_ ? width : 0, Reorder_ ? height : 0);
    Created_ = true;
    InScene_ = false;
    ThisFrame_ = {};
    LastFrame_ = {};
}

void BatchingDevice::SetReordering(bool on) {
    Reorder_ = on;
    if (Created_) Batcher_.SetAreaSize(on ? Width_ : 0, on ? Height_ : 0);
}

void BatchingDevice::Release() {
    Batcher_.Reset();
    Created_ = false;
    InScene_ = false;
}

bool BatchingDevice::Clear(std::uint32_t flags, TColor32, float z, std::uint32_t) {
    if (!Created_) return false;
    if (flags & ~std::uint32_t(ClearTarget | ClearZBuffer)) return false;
    if ((flags & ClearZBuffer) && !(z >= 0.0f && z <= 1.0f)) return false;
    Batcher_.Flush();
    return true;
}

bool BatchingDevice::BeginScene() {
    if (!Created_ || InScene_) return false;
    InScene_ = true;
    return true;
}

bool BatchingDevice::EndScene() {
    if (!Created_ || !InScene_) return false;
    Batcher_.Flush();
    InScene_ = false;
    return true;
}

bool BatchingDevice::Present() {
    if (!Created_) return false;
    Batcher_.Flush();
    LastFrame_ = ThisFrame_;
    ThisFrame_ = {};
    return true;
}

bool BatchingDevice::SetRenderState(RenderState state, std::uint32_t value) {
    return Created_ && Batcher_.SetRenderState(state, value);
}

bool BatchingDevice::SetTextureStageState(std::uint32_t stage, TextureStageState state,
                                          std::uint32_t value) {
    return Created_ && Batcher_.SetTextureStageState(stage, state, value);
}

bool BatchingDevice::SetVertexShader(std::uint32_t vertexFormat) {
    return Created_ && vertexFormat == FVF_Vertex3D;
}

bool BatchingDevice::SetTexture(std::uint32_t stage, DeviceTexture* texture) {
    return Created_ && Batcher_.SetTexture(stage, texture);
}

bool BatchingDevice::DrawIndexedPrimitiveUP(PrimitiveType type, std::uint32_t minVertexIndex,
                                            std::uint32_t vertexCount, std::uint32_t primitiveCount,
                                            const std::uint32_t* indices,
                                            const TVertex3D* vertices) {
    if (!Created_ || !InScene_) return false;
    return Batcher_.Draw(type, minVertexIndex, vertexCount, primitiveCount, indices, vertices);
}

std::unique_ptr<DeviceTexture> BatchingDevice::CreateTexture(int width, int height,
                                                             TexFormat format) {
    if (!Created_ || format != TexFormat::A8R8G8B8) return nullptr;
    if (width <= 0 || height <= 0 || width > MemoryTexture::MaxSide ||
        height > MemoryTexture::MaxSide)
        return nullptr;
    return std::make_unique<BatchingTexture>(width, height, Hub_);
}

} // namespace gm
