#include "Controls/ChangeProtocol.h"

#include "Shell/Application.h"

#include "Project.h"

#include <QWheelEvent>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <limits>

namespace lumo::ui {

void InvalidatePreviewCache(app::RenderLevel level)
{
    Application* application = Application::Instance();
    if (application == nullptr)
        return;
    const LumoDocumentPtr document = application->GetDocument();
    const app::ProjectPtr project = document ? document->GetProject() : nullptr;
    if (project)
        application->InvalidateLayerCache(project->CurrentLayerType(), level, hvn::image::HXDownsampleFactor3);
}

bool TakesWheel(const QWidget* control, QWheelEvent* event)
{
    if (control->hasFocus())
        return true;
    event->ignore();
    return false;
}

void UseFocusForWheel(QWidget* control)
{
    control->setFocusPolicy(Qt::StrongFocus);
}

int TruncatedToInt(double value)
{
    // A value beyond what an int holds would make the conversion undefined.
    if (std::isnan(value))
        return 0;
    constexpr double lowest = std::numeric_limits<int>::min();
    constexpr double highest = std::numeric_limits<int>::max();
    return static_cast<int>(std::clamp(value, lowest, highest));
}

int Thousandths(double value)
{
    return TruncatedToInt(value * 1000.0);
}

} // namespace lumo::ui
