#pragma once

#include <QPointF>

#include <cmath>

namespace lumo::app {

// Points of masks, handles and text items are equal when each coordinate lies within 1e-12 of
// the other's, an absolute bound. QPointF's own == is relative in Qt 6, so two handles near
// (100, 100) that differ by 1e-11 would compare equal there and an edit would go unnoticed.
inline bool SamePoint(const QPointF& a, const QPointF& b)
{
    constexpr double kTolerance = 1e-12;
    return std::fabs(a.x() - b.x()) <= kTolerance && std::fabs(a.y() - b.y()) <= kTolerance;
}

} // namespace lumo::app
