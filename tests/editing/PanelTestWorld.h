#pragma once
// A world for the panel tests: a unit folder with a flat square unit, the default camera looking
// straight down at (45, 45), and a "frame" that projects the lists as the frame loop does.

#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "editing/PanelInteraction.h"
#include "foundation/Codec.h"
#include "render/Camera.h"
#include "render/GR_DirectX.h"
#include "render/VOper.h"
#include "support/TempDir.h"
#include "world/ViewFlags.h"
#include "world/WorldDoc.h"

namespace gm::test {

// A square 100 units wide (two triangles), and apart from it, east of the square, a line from
// "tip" to "tail" that belongs to the unit too. Two key groups.
inline const char* const SquareDesc = R"(KeyGroup {
    0 {
        Name=day
    }
    1 {
        Name=night
    }
}
Point {
    1 {
        Id=nw
        Pos=-50,-50,0
    }
    2 {
        Id=ne
        Pos=50,-50,0
    }
    3 {
        Id=se
        Pos=50,50,0
    }
    4 {
        Id=sw
        Pos=-50,50,0
    }
    5 {
        Id=tip
        Pos=150,0,0
    }
    6 {
        Id=tail
        Pos=250,0,0
    }
}
Polygon {
    1 {
        0 {
            Point=1
            UV=0,0
            Diffuse=1,0,ff ff ff ff,ff ff ff ff
        }
        1 {
            Point=2
            UV=0,0
            Diffuse=1,0,ff ff ff ff,ff ff ff ff
        }
        2 {
            Point=3
            UV=0,0
            Diffuse=1,0,ff ff ff ff,ff ff ff ff
        }
    }
    2 {
        0 {
            Point=1
            UV=0,0
            Diffuse=1,0,ff ff ff ff,ff ff ff ff
        }
        1 {
            Point=3
            UV=0,0
            Diffuse=1,0,ff ff ff ff,ff ff ff ff
        }
        2 {
            Point=4
            UV=0,0
            Diffuse=1,0,ff ff ff ff,ff ff ff ff
        }
    }
}
Line {
    1 {
        PointStart=5
        PointEnd=6
        DiffuseStart=1,0,ff ff ff ff,ff ff ff ff
        DiffuseEnd=1,0,ff ff ff ff,ff ff ff ff
    }
}
)";

// Bearing from position 1 to position 2, degrees from heading 0, in [0, 360).
inline double BearingOf(float lon1, float polar1, float lon2, float polar2) {
    float b = 0, d = 0;
    SphereBearing(b, d, lon1, polar1, 0, lon2, polar2, 1000);
    return b < 0 ? b + 360.0 : b;
}

// a - b brought into [-180, 180).
inline double TurnBetween(double a, double b) {
    return std::remainder(a - b, 360.0);
}

// Arc distance between two sphere positions on a sphere of radius r, from their vectors.
inline double ArcBetween(float lon1, float polar1, float lon2, float polar2, double r) {
    const TVec3 a = SphereToVec(DegToRadSigned(lon1), DegToRadSigned(polar1), 1);
    const TVec3 b = SphereToVec(DegToRadSigned(lon2), DegToRadSigned(polar2), 1);
    const double dot = static_cast<double>(a.x) * b.x + static_cast<double>(a.y) * b.y +
                       static_cast<double>(a.z) * b.z;
    return std::acos(std::fmax(-1.0, std::fmin(1.0, dot))) * r;
}

class PanelWorldTest : public TempDirTest {
protected:
    PanelWorldTest() {
        Dir.Write("square.txt", SquareDesc);
        Doc.Units.UnitPath = Dir.Path().string();
        Cam.SetPanelSize(800, 600);
        Frame();
    }

    TgmWorldUnit* Square(float lon = 45, float polar = 45) {
        std::string reason;
        TgmWorldUnit* u = Doc.Units.UnitCreateAt(u"square.txt", lon, polar, &reason);
        EXPECT_NE(u, nullptr) << reason;
        return u;
    }
    // A zone of radius angle 1 at a place.
    TgmZone* ZoneAt(float lon, float polar) {
        TgmZone* z = Doc.Zones.ZoneAdd();
        z->Longitude = lon;
        z->Polar = polar;
        z->RadiusAngle = 1;
        Doc.Zones.ZoneUpdate(z);
        return z;
    }
    TPointGM* PointOf(const TgmWorldUnit* u, const char16_t* id) {
        return Doc.Units.PointById(u, id);
    }

    // The list updates of one frame, without drawing.
    void Frame() {
        Cam.CameraUpdate(Doc.WorldRadius);
        Cam.HorizonUpdate(Doc.WorldRadius);
        Doc.Points.PointUpdateAll(Cam, Flags);
        Doc.Zones.ZoneDrawAll(Cam, Flags);
        Doc.Zones.ZoneLinkDrawAll(Cam, Flags);
    }
    // The panel pixel where a world position is drawn, rounded to the nearest pixel.
    struct Pixel {
        int X;
        int Y;
    };
    Pixel PixelOf(const TVec3& pos) const {
        const TVec3 q = Cam.ProjectToScreen(pos);
        return {static_cast<int>(std::lround(q.x)), static_cast<int>(std::lround(q.y))};
    }
    Pixel PixelOf(float lon, float polar) const {
        return PixelOf(SphereToVec(DegToRadSigned(lon), DegToRadSigned(polar), Doc.WorldRadius));
    }

    static PanelMouse Press(PanelButton b, Pixel p, bool leftHeld, bool rightHeld,
                            bool ctrl = false) {
        return PanelMouse{b, p.X, p.Y, leftHeld, rightHeld, false, ctrl};
    }
    static PanelMouse Move(Pixel p, bool leftHeld, bool rightHeld) {
        return PanelMouse{PanelButton::None, p.X, p.Y, leftHeld, rightHeld, false, false};
    }

    WorldDoc Doc;
    Camera Cam;
    ViewFlags Flags;
};

} // namespace gm::test
