#include "platform/GlDevice.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <limits>
#include <new>

#include <QOpenGLBuffer>
#include <QOpenGLContext>
#include <QOpenGLShaderProgram>
#include <QOpenGLVertexArrayObject>

#include "foundation/QX_Error.h"

namespace gm {

// Textures keep their pixels in memory (as managed textures do) and reach the context lazily: the
// first draw after an unlock uploads them. Loading a texture therefore never needs a current
// context, and a new context after Release gets every texture again without reloading files.
class GlTexture : public DeviceTexture {
public:
    GlTexture(int width, int height, std::shared_ptr<GlDevice::Hub> hub)
        : Pixels(std::size_t(width) * std::size_t(height) * 4u, std::uint8_t(0)), Width_(width),
          Height_(height), Hub_(std::move(hub)) {}
    ~GlTexture() override {
        if (Hub_->Device) Hub_->Device->TextureDestroyed(this);
    }

    int Width() const override { return Width_; }
    int Height() const override { return Height_; }
    bool LockRect(LockedRect& out) override {
        if (Locked) return false;
        Locked = true;
        out.Bits = Pixels.data();
        out.Pitch = Width_ * 4;
        return true;
    }
    bool UnlockRect() override {
        if (!Locked) return false;
        Locked = false;
        Dirty = true;
        return true;
    }

    bool MadeBy(const std::shared_ptr<GlDevice::Hub>& hub) const { return Hub_ == hub; }

    std::vector<std::uint8_t> Pixels; // rows packed, bytes B, G, R, A
    bool Locked = false;
    bool Dirty = true;      // pixels changed since the last upload
    GLuint Name = 0;        // 0 while not in the context
    bool Allocated = false; // storage made by a first upload
    GLint MagFilter = 0;    // as last set on the texture object
    GLint MinFilter = 0;

private:
    int Width_;
    int Height_;
    std::shared_ptr<GlDevice::Hub> Hub_;
};

namespace {

// Direct3D puts pixel centres on whole coordinates, OpenGL half-way between them. Shifting by a
// hair less than half a pixel reproduces Direct3D's coverage, and a vertex exactly on a pixel
// centre then falls inside on the left and top edges and outside on the right and bottom ones,
// Direct3D's fill rule, whatever rule the OpenGL rasteriser uses for ties.
constexpr float TieNudge = 1.0f / 128.0f;

constexpr const char* VertexBody = R"(
VIN vec3 a_pos;
VIN vec4 a_color;
VIN vec2 a_uv;
uniform vec4 u_map;
uniform int u_clampZ;
VOUT vec4 v_color;
VOUT vec2 v_uv;
void main() {
    v_color = a_color.bgra;
    v_uv = a_uv;
    float z = a_pos.z * 2.0 - 1.0;
    if (u_clampZ != 0) z = clamp(z, -1.0, 1.0);
    gl_Position = vec4(a_pos.x * u_map.x + u_map.y, a_pos.y * u_map.z + u_map.w, z, 1.0);
}
)";

// Stage 0 of the texture stages: arguments 2 (texture) or anything else (the vertex colour, which
// is also the current colour at stage 0); operations select 1 (2), select 2 (3), add (7), and
// modulate for the rest. Alpha operation 1 (disabled) keeps the vertex alpha.
constexpr const char* FragmentBody = R"(
FIN vec4 v_color;
FIN vec2 v_uv;
uniform sampler2D u_tex;
uniform int u_textured;
uniform ivec3 u_colorStage;
uniform ivec3 u_alphaStage;
vec4 Arg(int a, vec4 t) { return a == 2 ? t : v_color; }
vec4 Op(ivec3 stage, vec4 t) {
    vec4 a1 = Arg(stage.y, t);
    vec4 a2 = Arg(stage.z, t);
    if (stage.x == 2) return a1;
    if (stage.x == 3) return a2;
    if (stage.x == 7) return min(a1 + a2, vec4(1.0));
    return a1 * a2;
}
void main() {
    if (u_textured == 0) {
        FRAG = v_color;
        return;
    }
    vec4 t = TEX(u_tex, v_uv);
    float a = u_alphaStage.x == 1 ? v_color.a : Op(u_alphaStage, t).a;
    FRAG = vec4(Op(u_colorStage, t).rgb, a);
}
)";

constexpr const char* VertexModern = "#version 150\n#define VIN in\n#define VOUT out\n";
constexpr const char* VertexLegacy = "#version 120\n#define VIN attribute\n#define VOUT varying\n";
constexpr const char* FragmentModern =
    "#version 150\n#define FIN in\n#define TEX texture\nout vec4 o_color;\n#define FRAG o_color\n";
constexpr const char* FragmentLegacy =
    "#version 120\n#define FIN varying\n#define TEX texture2D\n#define FRAG gl_FragColor\n";

enum Attribute : GLuint { AttrPos = 0, AttrColor = 1, AttrUv = 2 };

GLenum GlBlend(std::uint32_t v) {
    switch (v) {
    case 1:
        return GL_ZERO;
    case 3:
        return GL_SRC_COLOR;
    case 4:
        return GL_ONE_MINUS_SRC_COLOR;
    case 5:
        return GL_SRC_ALPHA;
    case 6:
        return GL_ONE_MINUS_SRC_ALPHA;
    case 7:
        return GL_DST_ALPHA;
    case 8:
        return GL_ONE_MINUS_DST_ALPHA;
    case 9:
        return GL_DST_COLOR;
    case 10:
        return GL_ONE_MINUS_DST_COLOR;
    case 11:
        return GL_SRC_ALPHA_SATURATE;
    default:
        return GL_ONE;
    }
}

GLenum GlCompare(std::uint32_t v) {
    switch (v) {
    case 1:
        return GL_NEVER;
    case 2:
        return GL_LESS;
    case 3:
        return GL_EQUAL;
    case 5:
        return GL_GREATER;
    case 6:
        return GL_NOTEQUAL;
    case 7:
        return GL_GEQUAL;
    case 8:
        return GL_ALWAYS;
    default:
        return GL_LEQUAL;
    }
}

GLint GlFilter(std::uint32_t v) {
    return v >= TexFilterLinear ? GL_LINEAR : GL_NEAREST;
}

std::string VersionText(int major, int minor) {
    return std::to_string(major) + "." + std::to_string(minor);
}

} // namespace

std::string GlVersionProblem(int major, int minor, bool openGLES) {
    const std::string offered = (openGLES ? "OpenGL ES " : "") + VersionText(major, minor);
    const char* needed = openGLES ? "Desktop OpenGL" : "OpenGL";
    if (openGLES || major < 2 || (major == 2 && minor < 1))
        return std::string("CreateDevice. ") + needed +
               " 2.1 or later is needed; this display offers " + offered;
    return {};
}

GlDevice::GlDevice(ShaderPath path) : Path_(path), Batcher_(*this), Hub_(std::make_shared<Hub>()) {
    Hub_->Device = this;
}

GlDevice::~GlDevice() {
    Release();
    // Textures that outlive the device keep their pixels and forget it.
    Hub_->Device = nullptr;
}

bool GlDevice::ContextCurrent() const {
    return Created_ && QOpenGLContext::currentContext() == Context_;
}

void GlDevice::Create(int width, int height) {
    Release();
    QOpenGLContext* context = QOpenGLContext::currentContext();
    if (!context) RaiseQX("CreateDevice. No OpenGL context is current");
    if (width <= 0 || height <= 0)
        RaiseQX("CreateDevice. width=" + std::to_string(width) +
                " height=" + std::to_string(height));
    initializeOpenGLFunctions();

    int major = context->format().majorVersion();
    int minor = context->format().minorVersion();
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    int parsedMajor = 0;
    int parsedMinor = 0;
    if (!context->isOpenGLES() && version &&
        std::sscanf(version, "%d.%d", &parsedMajor, &parsedMinor) == 2) {
        major = parsedMajor;
        minor = parsedMinor;
    }
    const std::string problem = GlVersionProblem(major, minor, context->isOpenGLES());
    if (!problem.empty()) RaiseQX(problem);
    const bool modern = Path_ == ShaderPath::Auto && (major > 3 || (major == 3 && minor >= 2));

    Context_ = context;
    Created_ = true; // so that a failure below releases what was made
    try {
        BuildProgram(modern);
        VertexBuffer_ = std::make_unique<QOpenGLBuffer>(QOpenGLBuffer::VertexBuffer);
        IndexBuffer_ = std::make_unique<QOpenGLBuffer>(QOpenGLBuffer::IndexBuffer);
        for (QOpenGLBuffer* buffer : {VertexBuffer_.get(), IndexBuffer_.get()}) {
            buffer->setUsagePattern(QOpenGLBuffer::StreamDraw);
            if (!buffer->create()) RaiseQX("CreateDevice. Buffer objects are not available");
        }
        // A core profile draws nothing without a vertex array object; OpenGL 2.1 needs none.
        if (modern) {
            Vao_ = std::make_unique<QOpenGLVertexArrayObject>();
            if (!Vao_->create()) RaiseQX("CreateDevice. Vertex array objects are not available");
        }
    } catch (...) {
        Release();
        throw;
    }

    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    MaxTextureSize_ = maxSize;
    GLfloat lineRange[2] = {1, 1};
    glGetFloatv(GL_ALIASED_LINE_WIDTH_RANGE, lineRange);
    MaxLineWidth_ = std::max(1.0f, lineRange[1]);
    WideLinesFailed_ = false;
    DepthClamp_ = (major > 3 || (major == 3 && minor >= 2)) ||
                  context->hasExtension(QByteArrayLiteral("GL_ARB_depth_clamp"));

    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    Description_ = std::string("OpenGL ") + (version ? version : "?") + "; " +
                   (renderer ? renderer : "?") + "; GLSL " + (modern ? "1.50" : "1.20");

    Width_ = width;
    Height_ = height;
    PixelWidth_ = width;
    PixelHeight_ = height;
    Batcher_.Reset();
    Batcher_.SetAreaSize(Reorder_ ? width : 0, Reorder_ ? height : 0);
    VertexFormat_ = 0;
    InScene_ = false;
    AppliedValid_ = false;
    DrawCallsThisFrame_ = 0;
    DrawCallsLastFrame_ = 0;
}

void GlDevice::BuildProgram(bool modern) {
    Program_ = std::make_unique<QOpenGLShaderProgram>();
    const std::string vertex = std::string(modern ? VertexModern : VertexLegacy) + VertexBody;
    const std::string fragment =
        std::string(modern ? FragmentModern : FragmentLegacy) + FragmentBody;
    const bool compiled =
        Program_->addShaderFromSourceCode(QOpenGLShader::Vertex, vertex.c_str()) &&
        Program_->addShaderFromSourceCode(QOpenGLShader::Fragment, fragment.c_str());
    if (compiled) {
        Program_->bindAttributeLocation("a_pos", AttrPos);
        Program_->bindAttributeLocation("a_color", AttrColor);
        Program_->bindAttributeLocation("a_uv", AttrUv);
    }
    if (!compiled || !Program_->link())
        RaiseQX("CreateDevice. The shaders do not compile: " +
                Program_->log().trimmed().toStdString());
    UniformMap_ = Program_->uniformLocation("u_map");
    UniformClampZ_ = Program_->uniformLocation("u_clampZ");
    UniformTextured_ = Program_->uniformLocation("u_textured");
    UniformColorStage_ = Program_->uniformLocation("u_colorStage");
    UniformAlphaStage_ = Program_->uniformLocation("u_alphaStage");
    Program_->bind();
    Program_->setUniformValue("u_tex", 0);
    Program_->release();
}

void GlDevice::Release() {
    if (!Created_) return;
    Batcher_.Reset();
    const bool current = ContextCurrent();
    if (current) {
        DeletePendingTextures();
        for (GlTexture* t : Textures_)
            if (t->Name) glDeleteTextures(1, &t->Name);
    }
    // Without the context current its objects went with it (or go when it is destroyed).
    PendingTextureDeletes_.clear();
    for (GlTexture* t : Textures_) {
        t->Name = 0;
        t->Allocated = false;
        t->Dirty = true;
        t->MagFilter = t->MinFilter = 0;
    }
    Vao_.reset();
    VertexBuffer_.reset();
    IndexBuffer_.reset();
    Program_.reset();
    Created_ = false;
    InScene_ = false;
    Context_ = nullptr;
    AppliedValid_ = false;
}

void GlDevice::SetPixelSize(int pixelWidth, int pixelHeight) {
    if (pixelWidth <= 0 || pixelHeight <= 0) return;
    if (pixelWidth == PixelWidth_ && pixelHeight == PixelHeight_) return;
    Batcher_.Flush();
    PixelWidth_ = pixelWidth;
    PixelHeight_ = pixelHeight;
    AppliedValid_ = false;
    if (InScene_) SetViewport();
}

void GlDevice::SetLogicalSize(int width, int height) {
    if (width <= 0 || height <= 0) return;
    if (width == Width_ && height == Height_) return;
    Batcher_.Flush();
    Width_ = width;
    Height_ = height;
    if (Created_) Batcher_.SetAreaSize(Reorder_ ? width : 0, Reorder_ ? height : 0);
    AppliedValid_ = false;
}

void GlDevice::SetReordering(bool on) {
    Reorder_ = on;
    if (Created_) Batcher_.SetAreaSize(on ? Width_ : 0, on ? Height_ : 0);
}

void GlDevice::SetViewport() {
    glViewport(0, 0, PixelWidth_, PixelHeight_);
}

void GlDevice::DeletePendingTextures() {
    if (PendingTextureDeletes_.empty()) return;
    glDeleteTextures(GLsizei(PendingTextureDeletes_.size()), PendingTextureDeletes_.data());
    PendingTextureDeletes_.clear();
}

bool GlDevice::Clear(std::uint32_t flags, TColor32 colour, float z, std::uint32_t stencil) {
    (void)stencil;
    if (!ContextCurrent()) return false;
    // There is no stencil buffer; a clear asking for one fails as it would on any such device.
    if (flags & ~std::uint32_t(ClearTarget | ClearZBuffer)) return false;
    if ((flags & ClearZBuffer) && !(z >= 0.0f && z <= 1.0f)) return false;
    Batcher_.Flush();
    GLbitfield mask = 0;
    if (flags & ClearTarget) {
        // The target has no alpha to speak of: it stays opaque, as an X8R8G8B8 back buffer.
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glClearColor(ColorR(colour) / 255.0f, ColorG(colour) / 255.0f, ColorB(colour) / 255.0f,
                     1.0f);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if (flags & ClearZBuffer) {
        glDepthMask(GL_TRUE);
        glClearDepthf(z);
        mask |= GL_DEPTH_BUFFER_BIT;
    }
    glDisable(GL_SCISSOR_TEST);
    SetViewport();
    if (mask) glClear(mask);
    AppliedValid_ = false; // the colour and depth masks were changed
    return true;
}

bool GlDevice::BeginScene() {
    if (!ContextCurrent() || InScene_) return false;
    InScene_ = true;
    DeletePendingTextures();
    AppliedValid_ = false; // whoever shares the context may have changed anything
    SetViewport();
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_STENCIL_TEST);
    return true;
}

bool GlDevice::EndScene() {
    if (!ContextCurrent() || !InScene_) return false;
    Batcher_.Flush();
    InScene_ = false;
    // Leave the context as the widget expects to find it.
    if (Vao_) Vao_->release();
    VertexBuffer_->release();
    IndexBuffer_->release();
    Program_->release();
    glBindTexture(GL_TEXTURE_2D, 0);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    AppliedValid_ = false;
    return true;
}

bool GlDevice::Present() {
    if (!Created_) return false;
    if (ContextCurrent()) Batcher_.Flush();
    DrawCallsLastFrame_ = DrawCallsThisFrame_;
    DrawCallsThisFrame_ = 0;
    return true;
}

bool GlDevice::SetRenderState(RenderState state, std::uint32_t value) {
    return Created_ && Batcher_.SetRenderState(state, value);
}

bool GlDevice::SetTextureStageState(std::uint32_t stage, TextureStageState state,
                                    std::uint32_t value) {
    return Created_ && Batcher_.SetTextureStageState(stage, state, value);
}

bool GlDevice::SetVertexShader(std::uint32_t vertexFormat) {
    if (!Created_ || vertexFormat != FVF_Vertex3D) return false;
    VertexFormat_ = vertexFormat;
    return true;
}

bool GlDevice::SetTexture(std::uint32_t stage, DeviceTexture* texture) {
    if (!Created_) return false;
    // Only textures of this device can be bound.
    if (texture) {
        const auto* gl = dynamic_cast<const GlTexture*>(texture);
        if (!gl || !gl->MadeBy(Hub_)) return false;
    }
    return Batcher_.SetTexture(stage, texture);
}

bool GlDevice::DrawIndexedPrimitiveUP(PrimitiveType type, std::uint32_t minVertexIndex,
                                      std::uint32_t vertexCount, std::uint32_t primitiveCount,
                                      const std::uint32_t* indices, const TVertex3D* vertices) {
    if (!ContextCurrent() || !InScene_ || VertexFormat_ != FVF_Vertex3D) return false;
    return Batcher_.Draw(type, minVertexIndex, vertexCount, primitiveCount, indices, vertices);
}

std::unique_ptr<DeviceTexture> GlDevice::CreateTexture(int width, int height, TexFormat format) {
    if (!Created_ || format != TexFormat::A8R8G8B8) return nullptr;
    if (width <= 0 || height <= 0 || width > MaxTextureSize_ || height > MaxTextureSize_)
        return nullptr;
    try {
        auto texture = std::make_unique<GlTexture>(width, height, Hub_);
        Textures_.push_back(texture.get());
        return texture;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void GlDevice::TextureDestroyed(GlTexture* texture) {
    // A pending batch drawn with it must reach the context while the texture still exists.
    Batcher_.ForgetTexture(texture);
    if (texture->Name) PendingTextureDeletes_.push_back(texture->Name);
    texture->Name = 0;
    std::erase(Textures_, texture);
    // Another texture may later be made at the same address.
    if (Applied_.Texture == texture) AppliedValid_ = false;
}

void GlDevice::BindTexture(GlTexture& t, const DrawState& s) {
    if (!t.Name) {
        glGenTextures(1, &t.Name);
        glBindTexture(GL_TEXTURE_2D, t.Name);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        t.Allocated = false;
        t.Dirty = true;
        t.MagFilter = t.MinFilter = 0;
    } else {
        glBindTexture(GL_TEXTURE_2D, t.Name);
    }
    // A locked texture keeps what was uploaded before; one never uploaded shows what it holds.
    if (t.Dirty && (!t.Locked || !t.Allocated)) {
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        if (t.Allocated) {
            glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, t.Width(), t.Height(), GL_BGRA,
                            GL_UNSIGNED_BYTE, t.Pixels.data());
        } else {
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, t.Width(), t.Height(), 0, GL_BGRA,
                         GL_UNSIGNED_BYTE, t.Pixels.data());
            t.Allocated = true;
        }
        t.Dirty = t.Locked;
    }
    const GLint mag = GlFilter(s.MagFilter);
    const GLint min = GlFilter(s.MinFilter);
    if (t.MagFilter != mag) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, mag);
    if (t.MinFilter != min) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, min);
    t.MagFilter = mag;
    t.MinFilter = min;
}

void GlDevice::ApplyLineWidth(float width) {
    if (WideLinesFailed_) width = 1;
    width = std::clamp(width, 1.0f, MaxLineWidth_);
    if (AppliedValid_ && width == AppliedLineWidth_) return;
    if (width > 1) {
        // Forward-compatible contexts refuse wide lines; fall back to thin ones for good.
        for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
        }
        glLineWidth(width);
        if (glGetError() != GL_NO_ERROR) {
            WideLinesFailed_ = true;
            width = 1;
            glLineWidth(1);
        }
    } else {
        glLineWidth(1);
    }
    AppliedLineWidth_ = width;
}

void GlDevice::ApplyState(const DrawState& s, PrimitiveType type) {
    const bool all = !AppliedValid_;
    if (all) {
        Program_->bind();
        glActiveTexture(GL_TEXTURE0);
        // Blending must not eat into the target's alpha, which stays opaque.
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
        // Screen-space vertices are never clipped against near and far (markers reach well
        // beyond depth 1): depth is clamped per pixel where the context can, per vertex otherwise.
        if (DepthClamp_) glEnable(GL_DEPTH_CLAMP);
        glUniform1i(UniformClampZ_, DepthClamp_ ? 0 : 1);
        // After the y flip the orientation seen on screen is OpenGL's: clockwise faces are front.
        glFrontFace(GL_CW);
    }
    if (all || type != AppliedType_) {
        // Filled edges on whole logical pixels fall on device pixel boundaries; a line covers the
        // device pixels of the logical pixel it runs through.
        const float sx = float(PixelWidth_) / float(Width_);
        const float sy = float(PixelHeight_) / float(Height_);
        const bool line = type == PrimitiveType::LineList;
        const float bx = (line ? sx / 2 : 0.5f) - TieNudge;
        const float by = (line ? sy / 2 : 0.5f) - TieNudge;
        glUniform4f(UniformMap_, 2.0f / float(Width_), 2.0f * bx / float(PixelWidth_) - 1.0f,
                    -2.0f / float(Height_), 1.0f - 2.0f * by / float(PixelHeight_));
        if (line) ApplyLineWidth(std::round(std::min(sx, sy)));
    }
    if (all || s.ZEnable != Applied_.ZEnable || s.ZFunc != Applied_.ZFunc ||
        s.ZWriteEnable != Applied_.ZWriteEnable) {
        if (s.ZEnable) {
            glEnable(GL_DEPTH_TEST);
            glDepthFunc(GlCompare(s.ZFunc));
            glDepthMask(s.ZWriteEnable ? GL_TRUE : GL_FALSE);
        } else {
            // With the test off nothing is written either.
            glDisable(GL_DEPTH_TEST);
        }
    }
    if (all || s.AlphaBlendEnable != Applied_.AlphaBlendEnable || s.SrcBlend != Applied_.SrcBlend ||
        s.DestBlend != Applied_.DestBlend) {
        if (s.AlphaBlendEnable) {
            glEnable(GL_BLEND);
            glBlendFunc(GlBlend(s.SrcBlend), GlBlend(s.DestBlend));
        } else {
            glDisable(GL_BLEND);
        }
    }
    if (all || s.CullMode != Applied_.CullMode) {
        if (s.CullMode == CullCW || s.CullMode == CullCCW) {
            glEnable(GL_CULL_FACE);
            glCullFace(s.CullMode == CullCCW ? GL_BACK : GL_FRONT);
        } else {
            glDisable(GL_CULL_FACE);
        }
    }
    if (s.Texture) {
        // Bound every batch: uploads and filters are per texture and cheap to check.
        BindTexture(*static_cast<GlTexture*>(s.Texture), s);
        if (all || !Applied_.Texture || s.ColorOp != Applied_.ColorOp ||
            s.ColorArg1 != Applied_.ColorArg1 || s.ColorArg2 != Applied_.ColorArg2 ||
            s.AlphaOp != Applied_.AlphaOp || s.AlphaArg1 != Applied_.AlphaArg1 ||
            s.AlphaArg2 != Applied_.AlphaArg2) {
            glUniform1i(UniformTextured_, 1);
            glUniform3i(UniformColorStage_, GLint(s.ColorOp), GLint(s.ColorArg1),
                        GLint(s.ColorArg2));
            glUniform3i(UniformAlphaStage_, GLint(s.AlphaOp), GLint(s.AlphaArg1),
                        GLint(s.AlphaArg2));
        }
    } else if (all || Applied_.Texture) {
        glUniform1i(UniformTextured_, 0);
    }
    Applied_ = s;
    AppliedType_ = type;
    AppliedValid_ = true;
}

void GlDevice::DrawBatch(const gm::DrawBatch& batch) {
    const std::size_t vertexBytes = batch.Vertices.size_bytes();
    const std::size_t indexBytes = batch.Indices.size_bytes();
    constexpr std::size_t limit = std::size_t(std::numeric_limits<int>::max());
    // Without its context (a texture destroyed outside a frame) the batch cannot be drawn.
    if (!ContextCurrent() || vertexBytes > limit || indexBytes > limit) return;
    ApplyState(batch.State, batch.Type);
    if (Vao_) Vao_->bind();
    VertexBuffer_->bind();
    VertexBuffer_->allocate(batch.Vertices.data(), int(vertexBytes));
    constexpr GLsizei stride = sizeof(TVertex3D);
    glEnableVertexAttribArray(AttrPos);
    glEnableVertexAttribArray(AttrColor);
    glEnableVertexAttribArray(AttrUv);
    glVertexAttribPointer(AttrPos, 3, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offsetof(TVertex3D, x)));
    glVertexAttribPointer(AttrColor, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                          reinterpret_cast<const void*>(offsetof(TVertex3D, diffuse)));
    glVertexAttribPointer(AttrUv, 2, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offsetof(TVertex3D, tu)));
    IndexBuffer_->bind();
    IndexBuffer_->allocate(batch.Indices.data(), int(indexBytes));
    glDrawElements(batch.Type == PrimitiveType::LineList ? GL_LINES : GL_TRIANGLES,
                   GLsizei(batch.Indices.size()), GL_UNSIGNED_INT, nullptr);
    ++DrawCallsThisFrame_;
}

} // namespace gm
