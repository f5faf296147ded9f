#include "doubles/RecordingDevice.h"

#include <cstdio>
#include <utility>

#include "foundation/QX_Error.h"
#include "render/NullDevice.h"

namespace gm {

namespace {

std::string Num(std::uint64_t v) {
    return std::to_string(v);
}

std::string Hex(std::uint32_t v, const char* format) {
    char buf[16];
    std::snprintf(buf, sizeof buf, format, unsigned(v));
    return buf;
}

std::string Float(float v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", double(v));
    return buf;
}

// Formats the line only when text is kept, so a benchmark sink pays for counting alone.
template <class MakeText> bool Rec(RecordingDevice::Log& log, DeviceOp op, MakeText&& makeText) {
    return log.Record(op, log.KeepText ? std::forward<MakeText>(makeText)() : std::string());
}

class RecordedTexture : public MemoryTexture {
public:
    RecordedTexture(int width, int height, int id, std::shared_ptr<RecordingDevice::Log> log)
        : MemoryTexture(width, height), Id(id), Log_(std::move(log)) {}
    ~RecordedTexture() override {
        Rec(*Log_, DeviceOp::ReleaseTexture, [&] { return "ReleaseTexture " + Name(); });
    }
    bool LockRect(LockedRect& out) override {
        if (!Rec(*Log_, DeviceOp::LockRect, [&] { return "LockRect " + Name(); })) return false;
        return MemoryTexture::LockRect(out);
    }
    bool UnlockRect() override {
        if (!Rec(*Log_, DeviceOp::UnlockRect, [&] { return "UnlockRect " + Name(); })) return false;
        return MemoryTexture::UnlockRect();
    }
    std::string Name() const { return "tex" + Num(std::uint64_t(Id)); }

    const int Id;

private:
    std::shared_ptr<RecordingDevice::Log> Log_;
};

} // namespace

const char* RenderStateName(RenderState state) {
    switch (state) {
    case RenderState::ZEnable:
        return "ZENABLE";
    case RenderState::ZWriteEnable:
        return "ZWRITEENABLE";
    case RenderState::SrcBlend:
        return "SRCBLEND";
    case RenderState::DestBlend:
        return "DESTBLEND";
    case RenderState::CullMode:
        return "CULLMODE";
    case RenderState::ZFunc:
        return "ZFUNC";
    case RenderState::DitherEnable:
        return "DITHERENABLE";
    case RenderState::AlphaBlendEnable:
        return "ALPHABLENDENABLE";
    case RenderState::Clipping:
        return "CLIPPING";
    case RenderState::ColorVertex:
        return "COLORVERTEX";
    }
    return "?";
}

const char* TextureStageStateName(TextureStageState state) {
    switch (state) {
    case TextureStageState::ColorOp:
        return "COLOROP";
    case TextureStageState::ColorArg1:
        return "COLORARG1";
    case TextureStageState::ColorArg2:
        return "COLORARG2";
    case TextureStageState::AlphaOp:
        return "ALPHAOP";
    case TextureStageState::AlphaArg1:
        return "ALPHAARG1";
    case TextureStageState::AlphaArg2:
        return "ALPHAARG2";
    case TextureStageState::MagFilter:
        return "MAGFILTER";
    case TextureStageState::MinFilter:
        return "MINFILTER";
    case TextureStageState::MipFilter:
        return "MIPFILTER";
    }
    return "?";
}

bool RecordingDevice::Log::Record(DeviceOp op, const std::string& text) {
    const bool ok = !Fail[std::size_t(op)];
    ++Counts[std::size_t(op)];
    if (KeepText) Lines.push_back(ok ? text : text + " failed");
    return ok;
}

RecordingDevice::RecordingDevice() : Log_(std::make_shared<Log>()) {}
RecordingDevice::~RecordingDevice() = default;

const std::vector<std::string>& RecordingDevice::Lines() const {
    return Log_->Lines;
}

void RecordingDevice::ClearLog() {
    Log_->Lines.clear();
    Log_->Counts.fill(0);
    Log_->BadDraws = 0;
}

std::size_t RecordingDevice::Count(DeviceOp op) const {
    return Log_->Counts[std::size_t(op)];
}
std::size_t RecordingDevice::BadDraws() const {
    return Log_->BadDraws;
}
void RecordingDevice::SetKeepText(bool keep) {
    Log_->KeepText = keep;
}
void RecordingDevice::FailOn(DeviceOp op, bool fail) {
    Log_->Fail[std::size_t(op)] = fail;
}

int RecordingDevice::TextureId(const DeviceTexture* texture) const {
    const auto* recorded = dynamic_cast<const RecordedTexture*>(texture);
    return recorded ? recorded->Id : 0;
}

void RecordingDevice::Create(int width, int height) {
    if (!Rec(*Log_, DeviceOp::Create,
             [&] { return "Create " + std::to_string(width) + " " + std::to_string(height); }))
        RaiseQX("CreateDevice");
    Width_ = width;
    Height_ = height;
}

void RecordingDevice::Release() {
    Rec(*Log_, DeviceOp::Release, [] { return std::string("Release"); });
}

bool RecordingDevice::Clear(std::uint32_t flags, TColor32 colour, float z, std::uint32_t stencil) {
    return Rec(*Log_, DeviceOp::Clear, [&] {
        return "Clear " + Num(flags) + " " + Hex(colour, "%08X") + " " + Float(z) + " " +
               Num(stencil);
    });
}

bool RecordingDevice::BeginScene() {
    return Rec(*Log_, DeviceOp::BeginScene, [] { return std::string("BeginScene"); });
}
bool RecordingDevice::EndScene() {
    return Rec(*Log_, DeviceOp::EndScene, [] { return std::string("EndScene"); });
}
bool RecordingDevice::Present() {
    return Rec(*Log_, DeviceOp::Present, [] { return std::string("Present"); });
}

bool RecordingDevice::SetRenderState(RenderState state, std::uint32_t value) {
    return Rec(*Log_, DeviceOp::SetRenderState, [&] {
        return std::string("SetRenderState ") + RenderStateName(state) + " " + Num(value);
    });
}

bool RecordingDevice::SetTextureStageState(std::uint32_t stage, TextureStageState state,
                                           std::uint32_t value) {
    return Rec(*Log_, DeviceOp::SetTextureStageState, [&] {
        return "SetTextureStageState " + Num(stage) + " " + TextureStageStateName(state) + " " +
               Num(value);
    });
}

bool RecordingDevice::SetVertexShader(std::uint32_t vertexFormat) {
    return Rec(*Log_, DeviceOp::SetVertexShader,
               [&] { return "SetVertexShader " + Hex(vertexFormat, "0x%X"); });
}

bool RecordingDevice::SetTexture(std::uint32_t stage, DeviceTexture* texture) {
    return Rec(*Log_, DeviceOp::SetTexture, [&] {
        std::string name = "none";
        if (texture) {
            const int id = TextureId(texture);
            name = id ? "tex" + std::to_string(id) : "foreign";
        }
        return "SetTexture " + Num(stage) + " " + name;
    });
}

bool RecordingDevice::DrawIndexedPrimitiveUP(PrimitiveType type, std::uint32_t minVertexIndex,
                                             std::uint32_t vertexCount,
                                             std::uint32_t primitiveCount,
                                             const std::uint32_t* indices,
                                             const TVertex3D* vertices) {
    const std::uint64_t count = PrimitiveIndexCount(type, primitiveCount);
    bool inRange = vertices != nullptr && (count == 0 || indices != nullptr);
    for (std::uint64_t i = 0; inRange && i < count; ++i)
        inRange = indices[i] >= minVertexIndex &&
                  std::uint64_t(indices[i]) < std::uint64_t(minVertexIndex) + vertexCount;
    std::string text;
    if (Log_->KeepText) {
        text = std::string("DrawIndexedPrimitiveUP ") +
               (type == PrimitiveType::TriangleList ? "TRIANGLELIST " : "LINELIST ") +
               Num(minVertexIndex) + " " + Num(vertexCount) + " " + Num(primitiveCount) + " [";
        for (std::uint64_t i = 0; indices && i < count; ++i)
            text += (i ? " " : "") + Num(indices[i]);
        text += "]";
        if (!inRange) text += " out-of-range";
    }
    if (!inRange) {
        ++Log_->BadDraws;
        Log_->Record(DeviceOp::DrawIndexedPrimitiveUP, text);
        return false;
    }
    return Log_->Record(DeviceOp::DrawIndexedPrimitiveUP, text);
}

std::unique_ptr<DeviceTexture> RecordingDevice::CreateTexture(int width, int height,
                                                              TexFormat format) {
    const bool fits = width > 0 && height > 0 && width <= MemoryTexture::MaxSide &&
                      height <= MemoryTexture::MaxSide && format == TexFormat::A8R8G8B8;
    const bool willFail = Log_->Fail[std::size_t(DeviceOp::CreateTexture)] || !fits;
    const int id = willFail ? 0 : Log_->NextTextureId++;
    const std::string text =
        Log_->KeepText ? "CreateTexture " + std::to_string(width) + " " + std::to_string(height) +
                             (willFail ? std::string(" failed") : " tex" + std::to_string(id))
                       : std::string();
    // Logged as is: Record appends nothing more for a failure forced through FailOn.
    ++Log_->Counts[std::size_t(DeviceOp::CreateTexture)];
    if (Log_->KeepText) Log_->Lines.push_back(text);
    if (willFail) return nullptr;
    return std::make_unique<RecordedTexture>(width, height, id, Log_);
}

} // namespace gm
