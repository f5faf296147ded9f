#pragma once
// An OpenGL context on an offscreen surface with a framebuffer to draw into, and helpers that
// draw frames the way the editor does and read them back.

#include <cstdint>
#include <memory>
#include <string>

#include <QImage>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>

#include "platform/GlDevice.h"

namespace gm::test {

class GlTarget {
public:
    // Makes the context current with a framebuffer of that size bound; Error() says why not.
    bool Open(int pixelWidth, int pixelHeight);
    ~GlTarget();
    QImage Read() const { return Fbo_->toImage(); }
    const std::string& Error() const { return Error_; }
    void MakeCurrent();
    void DoneCurrent();

private:
    QOffscreenSurface Surface_;
    QOpenGLContext Context_;
    std::unique_ptr<QOpenGLFramebufferObject> Fbo_;
    std::string Error_;
};

inline TVertex3D V(float x, float y, float z, TColor32 colour, float u = 0, float v = 0) {
    return MakeVertex(colour, x, y, z, u, v);
}

// Clears as the frame does (target and depth, depth 1), opens the scene and sets the frame's
// render states, filters and vertex format.
void BeginFrame(Device& dev, TColor32 clearColour);
// Ends the scene and presents.
void EndFrame(Device& dev);
// Two triangles clockwise on screen, as the background picture is built.
bool Quad(Device& dev, float x0, float y0, float x1, float y1, float z, TColor32 colour);

// Pixel (x, y) from the top left, ARGB.
TColor32 At(const QImage& image, int x, int y);
// Whether each channel of a is within tolerance of b's.
bool Near(TColor32 a, TColor32 b, int tolerance);
std::string Hex(TColor32 c);

} // namespace gm::test
