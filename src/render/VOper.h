#pragma once
// Angle functions and operations on the surface of the world sphere.
// Angles are stored in degrees. Longitude is in [0, 360); Polar is measured from the pole at -Y,
// [0, 180]; Heading 0 points towards Polar 0 and 90 towards increasing Longitude.
// Results that are kept are 32-bit floats; intermediate values are doubles.

#include "render/VecTypes.h"

namespace gm {

// The four angle functions convert with pi = 3.1415926 (not full pi): stored positions depend on
// it.
inline constexpr double RadToDegFactor = 57.295780490442965;   // 180 / 3.1415926
inline constexpr double DegToRadFactor = 0.017453292222222222; // 3.1415926 / 180
// Everything else uses full pi.
inline constexpr double PiFull = 3.141592653589793;
inline constexpr double TwoPiFull = 6.283185307179586;

// Radians to degrees; a negative result is raised by 360 once (2*pi and more are not reduced).
double RadToDeg360(double x);
// Degrees to radians; above 180 is first lowered by 360 (180 itself stays +pi).
double DegToRadSigned(double x);
// Signed difference a - b brought once towards [-180, 180] (exact for a, b in [0, 360)).
double AngleDiff(double a, double b);
// Reduces into [0, 360) as repeated steps of 360 in float would, except that a tiny negative angle
// rounds up to 360 as those steps do. Terminates for any input; NaN and infinities give 0.
float Norm360(float x);

// arccos and arcsin through atan2, with the argument clamped to [-1, 1].
double ArcCosD(double t);
double ArcSinD(double t);

// Angles in radians (callers convert with DegToRadSigned); r is the radius.
TVec3 SphereToVec(double lonRad, double polarRad, double r);
// Inverse of SphereToVec, in degrees. A zero vector gives Longitude 0, Polar 0.
void VecToSphere(const TVec3& v, float& longitude, float& polar);

// Moves along the great circle leaving (longitude, polar) in direction heading, by the arc
// length dist on a sphere of radius r; heading becomes the direction of travel at the
// destination. A negative dist moves backwards and keeps the heading facing forwards.
void SphereMove(float& longitude, float& polar, float& heading, float r, float dist);
// dst = src moved by dist along its own heading on the world sphere (src and dst may alias).
void SphereMoveCopy(const TSpherePos& src, TSpherePos& dst, float dist, float worldRadius);
// dst = src moved by dist in direction travelHeading on the world sphere; the heading keeps its
// angle to the direction of travel (src and dst may alias).
void SphereMoveAlong(const TSpherePos& src, TSpherePos& dst, float travelHeading, float dist,
                     float worldRadius);
// Direction from position 1 to position 2 relative to heading1, degrees in [-180, 180], and the
// arc distance between them on a sphere of radius r.
void SphereBearing(float& relBearing, float& dist, float lon1, float polar1, float heading1,
                   float lon2, float polar2, float r);
// Ray from a through b against the sphere (centre, r). On a crossing, p is written (even when
// the result is false); the result tells whether p lies ahead of a.
bool RaySphere(const TVec3& a, const TVec3& b, const TVec3& centre, float r, TVec3& p);

} // namespace gm
