// The speed work on frames, files and the export must not change a single byte of what the
// editor produces. A generated world is saved, drawn in four different frames, exported, reloaded
// and saved again; fingerprints of the results are compared with those the code gave before any
// of that work (the expected values were taken from that code, and re-taken once when placement
// began taking its sines and cosines in double precision, which moves stored positions).
//
// A frame's fingerprint covers every draw the scene makes, in order, with the state it is drawn
// in (as the OpenGL device sees it: effective state, texture by first use), its indices and its
// vertices. It does not depend on how draws are merged into batches.

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "BenchWorld.h"
#include "editing/FrameRender.h"
#include "foundation/Codec.h"
#include "foundation/QX_Buf.h"
#include "render/Camera.h"
#include "render/DrawBatcher.h"
#include "render/NullDevice.h"
#include "render/Scene.h"
#include "render/gm_Obj3D.h"
#include "support/TempDir.h"
#include "world/ViewFlags.h"
#include "world/WorldDoc.h"
#include "zones/GMOpt.h"

namespace gm {
namespace {

struct Fnv {
    uint64_t H = 1469598103934665603ull;
    void Add(const void* p, std::size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        for (std::size_t i = 0; i < n; ++i) {
            H ^= b[i];
            H *= 1099511628211ull;
        }
    }
    template <class T> void Val(const T& v) { Add(&v, sizeof v); }
};

std::string Hex(uint64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(v));
    return buf;
}

std::string FileHash(const std::string& file) {
    TBufQX buf;
    buf.LoadFromFile(file);
    Fnv h;
    h.Add(buf.Data, static_cast<std::size_t>(buf.Len));
    return Hex(h.H);
}

class NoSink : public BatchSink {
public:
    void DrawBatch(const gm::DrawBatch&) override {}
};

// Fingerprints draws; the batcher serves only to follow the state as the OpenGL device does.
class HashDevice : public NullDevice {
public:
    Fnv Hash;
    int Draws = 0;

    bool SetRenderState(RenderState s, std::uint32_t v) override {
        States_.SetRenderState(s, v);
        return true;
    }
    bool SetTextureStageState(std::uint32_t stage, TextureStageState s, std::uint32_t v) override {
        States_.SetTextureStageState(stage, s, v);
        return true;
    }
    bool SetTexture(std::uint32_t stage, DeviceTexture* t) override {
        States_.SetTexture(stage, t);
        return true;
    }
    bool NeedsRepeatedStates() const override { return false; }
    bool DrawIndexedPrimitiveUP(PrimitiveType type, std::uint32_t minVertex, std::uint32_t count,
                                std::uint32_t prims, const std::uint32_t* indices,
                                const TVertex3D* vertices) override {
        DrawState s = EffectiveState(States_.State(), type);
        int texture = 0;
        if (s.Texture)
            texture = Textures_.try_emplace(s.Texture, static_cast<int>(Textures_.size()) + 1)
                          .first->second;
        s.Texture = nullptr;
        Hash.Val(type);
        // Field by field: the record has padding.
        for (std::uint32_t v : {s.ZEnable, s.ZWriteEnable, s.ZFunc, s.AlphaBlendEnable, s.SrcBlend,
                                s.DestBlend, s.CullMode, s.ColorOp, s.ColorArg1, s.ColorArg2,
                                s.AlphaOp, s.AlphaArg1, s.AlphaArg2, s.MagFilter, s.MinFilter})
            Hash.Val(v);
        Hash.Val(texture);
        Hash.Val(minVertex);
        Hash.Val(count);
        Hash.Val(prims);
        Hash.Add(indices, PrimitiveIndexCount(type, prims) * sizeof(std::uint32_t));
        Hash.Add(vertices + minVertex, count * sizeof(TVertex3D));
        ++Draws;
        return true;
    }

private:
    NoSink Sink_;
    DrawBatcher States_{Sink_};
    std::map<const DeviceTexture*, int> Textures_;
};

// Every texture file is a small grey square.
class GreyDecoder : public ImageDecoder {
public:
    bool ReadStart(const std::string&, int& width, int& height) override {
        width = height = 4;
        return true;
    }
    bool Read(void* dest, int pitch, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
              int bytesPerPixel) override {
        if (bytesPerPixel != 4) return false;
        for (int y = 0; y < 4; ++y)
            std::memset(static_cast<uint8_t*>(dest) + y * pitch, 0x80, 16);
        return true;
    }
};

class OutputsUnchangedTest : public test::TempDirTest {};

TEST_F(OutputsUnchangedTest, FilesFramesAndExportOfAGeneratedWorld) {
#ifdef _WIN32
    // The fingerprints pin the results of glibc's sin and cos; another C library may round a
    // last bit differently. Round trips and exports are checked on every system elsewhere.
    GTEST_SKIP() << "fingerprints of glibc's maths";
#endif
    const std::string units = Dir.File("units");
    std::filesystem::create_directories(units);
    BenchWorldOptions options;
    options.Units = 120;
    options.Kinds = 3;
    options.Zones = 30;
    options.ZoneLinks = 45;
    BenchWorldWriteUnits(units, options);
    {
        WorldDoc doc;
        BenchWorldBuild(doc, units, options);
        doc.WorldSaveAs(AnsiToWideQX(Dir.File("w.raw")));
    }
    EXPECT_EQ(FileHash(Dir.File("w.raw")), "1577863a1bd5c4a3");

    GreyDecoder decoder;
    Scene scene(decoder, TexFileNaming{"", WideToAnsiQX, nullptr});
    HashDevice device;
    device.Create(800, 600);
    scene.SetDevice(&device);
    {
        WorldDoc doc;
        doc.SetScene(&scene);
        ASSERT_EQ(doc.WorldOpen(AnsiToWideQX(Dir.File("w.raw"))), "");
        doc.WorldLines.WorldGridBuild(doc.WorldRadius, 32, 0xC0FFFFFF, 0x00FFFFFF);
        BackgroundObjNew(scene, u".", true, 800, 600);
        Camera camera;
        camera.SetPanelSize(800, 600);
        ViewFlags flags;
        struct Frame {
            uint64_t Clock;
            const char* Hash;
            int Draws;
        };
        const Frame frames[] = {
            {20, "f0e68384ca19dc0a", 1738},
            {1000, "183d454d0e39a214", 1738},
            // Points shown, another view, a current unit with its outlines.
            {2510, "4a2eed896b1ac77b", 2269},
            // Zones hidden, stop lines shown, closer.
            {7777, "0db48492b2d6718f", 1505},
        };
        for (int f = 0; f < 4; ++f) {
            if (f == 2) {
                flags.Point = true;
                camera.CamLongitude = 100;
                camera.CamPolar = 120;
                doc.Units.SetCurrentUnit(doc.Units.List().First()->Next);
                doc.Units.BBCalcCurrent(camera);
            }
            if (f == 3) {
                flags.Zone = false;
                flags.StopLine = StopLineMode::Show;
                camera.CamDistance = 1800;
            }
            device.Hash = Fnv{};
            device.Draws = 0;
            FrameTick(doc, frames[f].Clock);
            FrameUpdateLists(doc, scene, camera, flags);
            FrameDraw(device, scene);
            EXPECT_EQ(Hex(device.Hash.H), frames[f].Hash) << "frame " << f;
            EXPECT_EQ(device.Draws, frames[f].Draws) << "frame " << f;
        }

        // The export is the same whatever size the editor's panel has, and leaves that size.
        for (const auto& [width, height] : {std::pair{800, 600}, {1917, 1043}, {320, 240}}) {
            Camera exportCamera;
            exportCamera.SetPanelSize(width, height);
            OptState opt;
            EndExport(doc, exportCamera, opt, Dir.File("e.map"), Dir.File("e.opt"));
            EXPECT_EQ(FileHash(Dir.File("e.map")), "f8ce3857f04c0ff6") << width;
            EXPECT_EQ(FileHash(Dir.File("e.opt")), "d3a587dc61e42285") << width;
            EXPECT_EQ(exportCamera.PanelWidth, width);
            EXPECT_EQ(exportCamera.ScreenCentreY, height / 2);
        }

        // Reloading every unit from unchanged descriptions gives the same world.
        doc.Units.UnitPath = units;
        doc.Units.UnitReloadAll();
        doc.WorldSaveAs(AnsiToWideQX(Dir.File("r.raw")));
        EXPECT_EQ(FileHash(Dir.File("r.raw")), "1577863a1bd5c4a3");
        doc.WorldClear();
        doc.SetScene(nullptr);
    }
    scene.Obj3DFreeAll();
    scene.SetDevice(nullptr);
}

} // namespace
} // namespace gm
