// Units drawn by the main window on a real display: a placed textured unit, and the bundled demo
// world. Set GM_SCREENSHOT_DIR to keep pictures of the window for a look by eye.

#include "editor/Form_Main.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

#include "foundation/Codec.h"
#include "platform/Panel3DWidget.h"
#include "support/TempDir.h"
#include "world/UnitLoad.h"

namespace gm {
namespace {

// A flat square 400 units wide, textured once over its whole face.
const char* const QuadDesc = R"(KeyGroup {
    0 {
    }
}
Point {
    1 {
        Id=nw
        Pos=-200,-200,0
    }
    2 {
        Id=ne
        Pos=200,-200,0
    }
    3 {
        Id=se
        Pos=200,200,0
    }
    4 {
        Id=sw
        Pos=-200,200,0
    }
}
Polygon {
    1 {
        Texture=halves.png
        0 {
            Point=1
            UV=0,0
            Diffuse=1,0,ff ff ff ff
        }
        1 {
            Point=2
            UV=1,0
            Diffuse=1,0,ff ff ff ff
        }
        2 {
            Point=3
            UV=1,1
            Diffuse=1,0,ff ff ff ff
        }
    }
    2 {
        Texture=halves.png
        0 {
            Point=1
            UV=0,0
            Diffuse=1,0,ff ff ff ff
        }
        1 {
            Point=3
            UV=1,1
            Diffuse=1,0,ff ff ff ff
        }
        2 {
            Point=4
            UV=0,1
            Diffuse=1,0,ff ff ff ff
        }
    }
}
)";

const QColor Orange(255, 128, 0);
const QColor Azure(0, 160, 255);

bool Near(QRgb pixel, const QColor& colour) {
    return std::abs(qRed(pixel) - colour.red()) < 40 &&
           std::abs(qGreen(pixel) - colour.green()) < 40 &&
           std::abs(qBlue(pixel) - colour.blue()) < 40;
}

class UnitsShownTest : public test::TempDirTest {
protected:
    explicit UnitsShownTest(std::u16string startDir = {})
        : Form(Store, startDir.empty() ? AnsiToWideQX(Dir.Path().string()) : startDir,
               SettingsDefaults::Bundled(AnsiToWideQX(GM_SOURCE_DIR))) {
        Form.SetMessageSink([this](const std::string& text) { Messages.push_back(text); });
    }

    // Shows the window and returns the panel after a dozen frames.
    QImage ShowAndGrab() {
        Form.show();
        Form.activateWindow();
        EXPECT_TRUE(QTest::qWaitFor([&] { return Form.Panel3D->DeviceReady(); }, 5000))
            << Form.Panel3D->DeviceError();
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return QGuiApplication::applicationState() == Qt::ApplicationActive; }, 5000));
        QTest::qWait(300);
        return Form.Panel3D->grabFramebuffer();
    }
    void KeepScreenshot(const char* name) {
        if (const char* dir = std::getenv("GM_SCREENSHOT_DIR"))
            Form.grab().save(QString(dir) + "/" + name);
    }

    MemorySettingsStore Store;
    TFormMain Form;
    std::vector<std::string> Messages;
};

TEST_F(UnitsShownTest, PlacedTexturedUnitShowsItsTextureWhereItProjects) {
    if (QGuiApplication::platformName() == "offscreen") GTEST_SKIP() << "needs a display";
    // Left half orange, right half azure; the file name on disk differs in case from the one the
    // description asks for.
    QImage halves(64, 64, QImage::Format_RGB32);
    QPainter(&halves).fillRect(0, 0, 32, 64, Orange);
    QPainter(&halves).fillRect(32, 0, 32, 64, Azure);
    ASSERT_TRUE(halves.save(QString::fromStdString(Dir.File("Halves.PNG"))));
    std::filesystem::copy_file(std::filesystem::path(GM_SOURCE_DIR) / "examples" / "bg.jpg",
                               Dir.Path() / "bg.jpg");
    std::filesystem::create_directory(Dir.Path() / "units");
    Dir.Write("units/Quad.TXT", QuadDesc);

    // The default camera looks straight down at (45, 45).
    const UnitLoadResult r =
        UnitLoadAtPick(Form.Doc.Units, AnsiToWideQX(Dir.File("units")),
                       AnsiToWideQX(Dir.File("units/Quad.TXT")), TSpherePick{true, 45, 45});
    ASSERT_EQ(r.Status, UnitLoadResult::Outcome::Placed) << r.Reason;
    EXPECT_EQ(r.DescPath, u"quad.txt");

    const QImage frame = ShowAndGrab();
    const double dpr = Form.Panel3D->devicePixelRatio();
    ASSERT_EQ(frame.size(), QSize(800, 600) * dpr);
    const TVec3 nw = Form.Cam.ProjectToScreen(Form.Doc.Units.PointById(r.Unit, u"nw")->Pos);
    const TVec3 se = Form.Cam.ProjectToScreen(Form.Doc.Units.PointById(r.Unit, u"se")->Pos);
    ASSERT_GT(se.x - nw.x, 60) << "the square should cover a good part of the panel";
    ASSERT_GT(se.y - nw.y, 60);
    auto at = [&](double fx, double fy) {
        const double x = nw.x + fx * (se.x - nw.x), y = nw.y + fy * (se.y - nw.y);
        return frame.pixel(static_cast<int>(x * dpr), static_cast<int>(y * dpr));
    };
    // Both triangles are drawn, textured the right way round; outside the square there is none
    // of the texture.
    for (double fy : {0.2, 0.5, 0.8}) {
        EXPECT_TRUE(Near(at(0.15, fy), Orange)) << std::hex << at(0.15, fy);
        EXPECT_TRUE(Near(at(0.35, fy), Orange)) << std::hex << at(0.35, fy);
        EXPECT_TRUE(Near(at(0.65, fy), Azure)) << std::hex << at(0.65, fy);
        EXPECT_TRUE(Near(at(0.85, fy), Azure)) << std::hex << at(0.85, fy);
    }
    for (const auto& [fx, fy] : {std::pair{-0.3, 0.5}, {1.3, 0.5}, {0.5, -0.3}, {0.5, 1.3}}) {
        EXPECT_FALSE(Near(at(fx, fy), Orange)) << fx << "," << fy;
        EXPECT_FALSE(Near(at(fx, fy), Azure)) << fx << "," << fy;
    }
    // The current unit's selection rectangle: a white line 3 pixels left of the square.
    bool white = false;
    for (int dx = -5; dx <= -1; ++dx)
        white = white || qGray(frame.pixel(static_cast<int>((nw.x + dx) * dpr),
                                           static_cast<int>((nw.y + se.y) / 2 * dpr))) > 230;
    EXPECT_TRUE(white);
    for (const std::string& m : Messages)
        ADD_FAILURE() << m;
    KeepScreenshot("gridmoor-unit.png");
}

// The bundled demo world, opened from the examples folder as "./dev run" does.
class DemoShownTest : public UnitsShownTest {
protected:
    DemoShownTest() : UnitsShownTest(AnsiToWideQX(GM_SOURCE_DIR "/examples")) {}
};

TEST_F(DemoShownTest, DemoWorldOpensAndDrawsItsUnits) {
    if (QGuiApplication::platformName() == "offscreen") GTEST_SKIP() << "needs a display";
    Form.OpenAtStart(AnsiToWideQX(GM_SOURCE_DIR "/examples/worlds/demo.raw"));
    EXPECT_EQ(Form.windowTitle(), "Skyhaul Gridmoor v0.3 [demo]");
    EXPECT_GE(Form.Doc.Units.UnitCount(), 5);
    const QImage frame = ShowAndGrab();
    // The grid is white and the space black: coloured pixels come from the units' textures
    // and colours.
    int coloured = 0;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x) {
            const QColor c(frame.pixel(x, y));
            if (c.saturation() > 100 && c.value() > 60) ++coloured;
        }
    EXPECT_GT(coloured, 2000);
    for (const std::string& m : Messages)
        ADD_FAILURE() << m; // a missing texture would show here
    KeepScreenshot("gridmoor-demo.png");
}

} // namespace
} // namespace gm
