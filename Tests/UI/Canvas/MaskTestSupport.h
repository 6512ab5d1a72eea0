#pragma once

// What the mask tests share: the two mask signals in the order they come, and how far one outline
// strays from another.

#include "Shell/Application.h"

#include <QLineF>
#include <QObject>
#include <QPainterPath>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

namespace lumo::ui::testing {

// Records SignalMaskDragDropClosed as "closed" / "opened" and SignalMaskEnableClosed as "enable" /
// "disable".
class MaskSignalLog {
public:
    MaskSignalLog()
    {
        QObject::connect(Application::Instance(), &Application::SignalMaskDragDropClosed, &m_context,
                         [this](bool closed) { entries.push_back(closed ? "closed" : "opened"); });
        QObject::connect(Application::Instance(), &Application::SignalMaskEnableClosed, &m_context,
                         [this](bool enable) { entries.push_back(enable ? "enable" : "disable"); });
    }
    std::vector<std::string> entries;

private:
    QObject m_context;
};

// The greatest distance from a point of `from` to the outline `to` (both sampled finely).
inline double MaxDeviation(const QPainterPath& from, const QPainterPath& to)
{
    constexpr int kTargetSamples = 4000;
    std::vector<QPointF> target;
    for (int i = 0; i <= kTargetSamples; ++i)
        target.push_back(to.pointAtPercent(static_cast<double>(i) / kTargetSamples));
    const auto distanceToSegment = [](const QPointF& p, const QPointF& a, const QPointF& b) {
        const QPointF ab = b - a;
        const double length2 = QPointF::dotProduct(ab, ab);
        const double t = length2 > 0 ? std::clamp(QPointF::dotProduct(p - a, ab) / length2, 0.0, 1.0) : 0.0;
        return QLineF(p, a + t * ab).length();
    };
    double worst = 0;
    for (int i = 0; i <= 1000; ++i) {
        const QPointF p = from.pointAtPercent(i / 1000.0);
        double nearest = std::numeric_limits<double>::max();
        for (std::size_t j = 0; j + 1 < target.size(); ++j)
            nearest = std::min(nearest, distanceToSegment(p, target[j], target[j + 1]));
        worst = std::max(worst, nearest);
    }
    return worst;
}

} // namespace lumo::ui::testing
