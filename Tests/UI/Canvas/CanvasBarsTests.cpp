// The bars laid over the canvas tell the Application how much of the view they take, and the
// toolbox dock follows the project's toolset.

#include "UiTest.h"

#include "Canvas/CanvasActionsWidget.h"
#include "Shell/LumoModel.h"
#include "Toolbox/ToolboxDockWidget.h"
#include "Toolbox/ToolboxSections.h"
#include "Toolbox/ToolsetWidget.h"

#include <QLayout>
#include <QSignalSpy>
#include <QPushButton>

namespace lumo::ui::testing {
namespace {

using CanvasBarsTest = UiTest;

TEST_F(CanvasBarsTest, TheBarsReserveTheirSizeAndTheExportButtonAsksTheExportPanel)
{
    CanvasActionsWidget actions;
    EXPECT_EQ(App().CanvasActionsHeight(), actions.layout()->sizeHint().height() + 4);
    EXPECT_GT(App().CanvasActionsHeight(), 4);

    ToolsetWidget toolset;
    EXPECT_EQ(App().ToolsetWidth(), toolset.ToolsetWidth() + 4);
    // Opening a project forgets the reserve until the bar sets it again.
    ASSERT_EQ(App().OpenProject(QString()), app::LMerrSuccess);
    EXPECT_EQ(App().ToolsetWidth(), -1);
    toolset.ModelChanged(DataTypeProject, App().GetDocument()->Id(), FieldTypeRefreshAll);
    EXPECT_EQ(App().ToolsetWidth(), toolset.ToolsetWidth() + 4);

    QSignalSpy exportSpy(&App(), &Application::SignalStandardQuickExportClicked);
    QPushButton* exportButton = actions.Button("Canvas Export");
    ASSERT_NE(exportButton, nullptr);
    exportButton->click();
    EXPECT_EQ(exportSpy.count(), 1);
}

TEST_F(CanvasBarsTest, TheDockObservesProjectAndInterfaceNotifications)
{
    const auto model = std::make_shared<LumoModel>(App().GetDocument());
    ToolboxDockWidget dock("Toolbox");
    dock.SetModel(model);
    // The dock first, then its sections in index order, each for the canvas too.
    QList<LumoModelObserver*> expected({&dock});
    for (int index = 0; index < 11; ++index) {
        expected.append(dock.Section(index));
        EXPECT_TRUE(model->IsSubscribed(dock.Section(index), DataTypeCanvas)) << index;
    }
    EXPECT_EQ(model->Observers(), expected);
    EXPECT_TRUE(model->IsSubscribed(&dock, DataTypeProject));
    EXPECT_TRUE(model->IsSubscribed(&dock, DataTypeInterface));
    EXPECT_FALSE(model->IsSubscribed(&dock, DataTypeCanvas));
    EXPECT_EQ(dock.windowTitle(), "Toolbox");
    EXPECT_FALSE(dock.features().testFlag(QDockWidget::DockWidgetClosable));
}

} // namespace
} // namespace lumo::ui::testing
