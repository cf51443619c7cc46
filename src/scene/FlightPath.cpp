// The flight path arithmetic. Sums of control values are formed in integers and divided in double
// precision before they are stored as floats, as coefficients of 32-bit floats are computed from
// integer points; curves are evaluated from those floats.
#include "scene/FlightPath.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace Halcyra {

namespace {

// 1/30 as a 32-bit float: the step along the curve over which a direction is measured.
constexpr float DirectionDelta = 1.0f / 30.0f;

int Wrapped(int index, int count)
{
    const int remainder = index % count;
    return remainder < 0 ? remainder + count : remainder;
}

struct TSegmentCurves {
    TSplineCoefficients X;
    TSplineCoefficients Y;
};

// The curves of the segment that starts at control point `first` (P[first] to P[first + 3]).
TSegmentCurves CurvesFrom(const TFlightPath &path, int first)
{
    const auto point = [&](int offset) { return path.Points[static_cast<std::size_t>(Wrapped(first + offset, path.Count))]; };
    return {SplineCoefficients(point(0).X, point(1).X, point(2).X, point(3).X),
            SplineCoefficients(point(0).Y, point(1).Y, point(2).Y, point(3).Y)};
}

} // namespace

TSplineCoefficients SplineCoefficients(std::int32_t p0, std::int32_t p1, std::int32_t p2, std::int32_t p3)
{
    const double a = p0, b = p1, c = p2, d = p3;
    return {static_cast<float>((a + 4 * b + c) / 6), static_cast<float>((c - a) / 2), static_cast<float>((a - 2 * b + c) / 2),
            static_cast<float>(((b - c) * 3 - a + d) / 6)};
}

float SplineValue(const TSplineCoefficients &c, float t)
{
    const double u = t;
    return static_cast<float>(((c[3] * u + c[2]) * u + c[1]) * u + c[0]);
}

std::int32_t DirectionOf(const TSplineCoefficients &x, const TSplineCoefficients &y)
{
    const auto whole = [](float value) { return static_cast<std::int32_t>(std::trunc(value)); };
    const std::int32_t dx = whole(SplineValue(x, DirectionDelta)) - whole(SplineValue(x, 0));
    const std::int32_t dy = whole(SplineValue(y, DirectionDelta)) - whole(SplineValue(y, 0));
    if (dx == 0)
        return dy > 0 ? 90 : dy < 0 ? 270 : 0;
    if (dy == 0)
        return dx > 0 ? 0 : 180;
    const double ratio = std::abs(static_cast<double>(dy) / dx);
    const auto q = static_cast<std::int32_t>(std::trunc(std::atan(ratio) * 180.0 / std::numbers::pi));
    if (dx > 0)
        return dy > 0 ? q : 360 - q;
    return dy > 0 ? 180 - q : 180 + q;
}

void InitFlight(TFlightPath &path, std::span<const TFlightPoint> points, int startSegment, int stepsPerSegment)
{
    const std::size_t count = std::min(points.size(), path.Points.size());
    std::copy_n(points.begin(), count, path.Points.begin());
    path.Count = static_cast<std::int32_t>(count);
    path.Segment = startSegment;
    path.StepsPerSegment = stepsPerSegment;
    SetUpSegment(path);
}

void SetUpSegment(TFlightPath &path)
{
    if (path.Count <= 0)
        return;
    const TSegmentCurves next = CurvesFrom(path, path.Segment);
    path.NextHeading = DirectionOf(next.X, next.Y);
    const TSegmentCurves current = CurvesFrom(path, path.Segment - 1);
    path.CoefX = current.X;
    path.CoefY = current.Y;
    path.Heading = DirectionOf(current.X, current.Y);
    // Over north-east to south-east the shorter turn crosses 0: count the next heading past 360.
    if (path.Heading > path.NextHeading && path.NextHeading < 180 && path.Heading > 180)
        path.NextHeading += 360;
    path.Turn = path.NextHeading - path.Heading;
    if (path.Turn > 180)
        path.Turn -= 360;
}

void AdvanceFlight(TFlightPath &path)
{
    if (path.Count <= 0 || path.StepsPerSegment <= 0)
        return;
    ++path.Step;
    if (path.Step > path.StepsPerSegment) {
        path.Step = 0;
        path.Segment = (path.Segment + 1) % path.Count;
        SetUpSegment(path);
        ++path.Step;
    }
    const float t = static_cast<float>(path.Step) / static_cast<float>(path.StepsPerSegment);
    path.PosX = SplineValue(path.CoefX, t);
    path.PosY = SplineValue(path.CoefY, t);
    std::int32_t heading = path.Heading;
    if (path.Step > 0) {
        const auto turned = static_cast<float>(static_cast<double>(path.Turn) / path.StepsPerSegment * path.Step);
        heading = (static_cast<std::int32_t>(std::trunc(turned)) + path.Heading) % 360;
    }
    if (heading < 0)
        heading += 360;
    path.CurrentHeading = heading;
    path.Frame = heading / 3;
}

} // namespace Halcyra
