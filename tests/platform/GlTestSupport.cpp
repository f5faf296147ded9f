#include "platform/GlTestSupport.h"

#include <cstdio>
#include <cstdlib>

#include <QOpenGLFramebufferObjectFormat>

namespace gm::test {

bool GlTarget::Open(int pixelWidth, int pixelHeight) {
    Surface_.create();
    if (!Context_.create()) {
        Error_ = "no OpenGL context could be created";
        return false;
    }
    if (!Context_.makeCurrent(&Surface_)) {
        Error_ = "the OpenGL context cannot be made current";
        return false;
    }
    QOpenGLFramebufferObjectFormat format;
    format.setAttachment(QOpenGLFramebufferObject::Depth);
    Fbo_ = std::make_unique<QOpenGLFramebufferObject>(pixelWidth, pixelHeight, format);
    if (!Fbo_->isValid() || !Fbo_->bind()) {
        Error_ = "no framebuffer object";
        return false;
    }
    return true;
}

GlTarget::~GlTarget() {
    if (QOpenGLContext::currentContext() != &Context_) Context_.makeCurrent(&Surface_);
    Fbo_.reset();
    Context_.doneCurrent();
}

void GlTarget::MakeCurrent() {
    Context_.makeCurrent(&Surface_);
    if (Fbo_) Fbo_->bind();
}

void GlTarget::DoneCurrent() {
    Context_.doneCurrent();
}

void BeginFrame(Device& dev, TColor32 clearColour) {
    dev.Clear(ClearTarget | ClearZBuffer, clearColour, 1.0f, 0);
    dev.BeginScene();
    SetFrameStates(dev);
    dev.SetVertexShader(FVF_Vertex3D);
}

void EndFrame(Device& dev) {
    dev.EndScene();
    dev.Present();
}

bool Quad(Device& dev, float x0, float y0, float x1, float y1, float z, TColor32 colour) {
    const TVertex3D v[4] = {V(x0, y0, z, colour, 0, 0), V(x1, y0, z, colour, 1, 0),
                            V(x1, y1, z, colour, 1, 1), V(x0, y1, z, colour, 0, 1)};
    const std::uint32_t idx[6] = {0, 1, 2, 2, 3, 0};
    return dev.DrawIndexedPrimitiveUP(PrimitiveType::TriangleList, 0, 4, 2, idx, v);
}

TColor32 At(const QImage& image, int x, int y) {
    return TColor32(image.pixel(x, y));
}

bool Near(TColor32 a, TColor32 b, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8) {
        const int d = int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF);
        if (std::abs(d) > tolerance) return false;
    }
    return true;
}

std::string Hex(TColor32 c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08X", unsigned(c));
    return buf;
}

} // namespace gm::test
