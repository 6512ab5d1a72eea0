#pragma once

// The effect panels over an opened green-screen project (foreground and background loaded, both
// render caches made): every refresh the panels ask for is recorded, and the render caches of both
// layers can be marked current before an action and read afterwards, so that a test sees which
// stage a control or a slot made stale.

#include "GreenScreenProject.h"
#include "UiTest.h"

#include "Panels/CompositeWidgets.h"
#include "Panels/FilterWidgets.h"

#include "ImageLayer.h"
#include "ItemLists.h"
#include "LayerManager.h"
#include "LayerSettings.h"

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <memory>
#include <optional>
#include <ostream>
#include <vector>

namespace lumo::ui::testing {

using hvn::image::HXDownsampleFactor;
using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;

// One refresh request: a layer from a level, or the whole canvas.
struct Refresh {
    bool wholeCanvas = false;
    app::LayerType layer = app::LayerTypeForeground;
    int level = 0;
    int factor = 0;
    bool operator==(const Refresh&) const = default;
};

inline Refresh LayerRefresh(app::LayerType layer, app::RenderLevel level, int factor)
{
    return {false, layer, level, factor};
}

inline Refresh CanvasRefresh(int factor)
{
    return {true, app::LayerTypeForeground, 0, factor};
}

inline void PrintTo(const Refresh& refresh, std::ostream* out)
{
    if (refresh.wholeCanvas)
        *out << "canvas@" << refresh.factor;
    else
        *out << "layer " << refresh.layer << " from " << refresh.level << " @" << refresh.factor;
}

// A render cache made stale: the layer's cache at the factor, from the level.
struct StaleCache {
    app::LayerType layer = app::LayerTypeForeground;
    int factor = 3;
    int level = app::RenderLevelFilter;
    bool operator==(const StaleCache&) const = default;
};

inline void PrintTo(const StaleCache& stale, std::ostream* out)
{
    *out << "layer " << stale.layer << " @" << stale.factor << " from " << stale.level;
}

// The spin box or slider of a row's pair; null for another control.
QAbstractSpinBox* SpinBoxOf(AbstractEffectWidget& panel, int row);
QAbstractSlider* SliderOf(AbstractEffectWidget& panel, int row);
// Typed into the row's spin box over its value and confirmed with Return.
void TypeInto(AbstractEffectWidget& panel, int row, const QString& text);

class PanelTest : public UiTest {
public:
    using UiTest::CurrentProject;

    // The first item of the type in the foreground's filters, or in those it keeps for the
    // background.
    static std::shared_ptr<app::AbstractFilterItem> FilterItem(app::FilterItemType type,
                                                               app::LayerType list = app::LayerTypeForeground);
    static std::shared_ptr<app::AbstractCompositeItem> CompositeItem(app::CompositeItemType type);
    static app::FilterList& Filters(app::LayerType list);
    static app::CompositeList& Compositors();

protected:
    void SetUp() override;
    void TearDown() override;

    // Puts the panel into the shown host (which takes it) under the program's style sheet.
    template <class Panel>
    Panel* Show(Panel* panel)
    {
        m_hostLayout->addWidget(panel);
        host->show();
        ProcessEvents();
        return panel;
    }

    // Every layer cache current at both factors, and nothing recorded yet.
    void MarkCachesCurrent();
    // The caches made stale since MarkCachesCurrent (foreground and background, both factors).
    std::vector<StaleCache> StaleCaches() const;

    QTemporaryDir folder;
    std::unique_ptr<QWidget> host;
    app::ImageLayerPtr foreground;
    app::ImageLayerPtr background;
    std::vector<Refresh> refreshes;

private:
    QVBoxLayout* m_hostLayout = nullptr;
    std::vector<QMetaObject::Connection> m_connections;
};

} // namespace lumo::ui::testing
