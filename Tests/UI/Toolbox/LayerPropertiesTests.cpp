// The layer properties: fits to the canvas and the foreground, flips kept through a scale, the
// placement by hand, drops, and the title cut to the panel's width.

#include "ImagePanelTest.h"

#include "Controls/Buttons.h"
#include "Controls/Container.h"
#include "Controls/DialControls.h"
#include "Controls/SmallWidgets.h"
#include "Controls/TableWidget.h"
#include "Controls/ThumbnailPreview.h"
#include "Controls/ValueControls.h"
#include "Toolbox/LayerPropertiesWidget.h"
#include "Toolbox/LayersWidget.h"

#include "ItemLists.h"
#include "LayerSettings.h"
#include "TransformItems.h"

#include <QLabel>
#include <QTest>

#include "Canvas/HandleGraphicsItems.h"

namespace lumo::ui::testing {
namespace {

class LayerPropertiesTest : public ImagePanelTest {
protected:
    static void ClickCell(QTableWidget& table, int row, int column)
    {
        const QTableWidgetItem* item = table.item(row, column);
        ASSERT_NE(item, nullptr) << "row " << row << " column " << column;
        QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, table.visualItemRect(item).center());
    }

    void SetUp() override
    {
        ImagePanelTest::SetUp();
        if (HasFatalFailure())
            return;
        CurrentProject()->SetCurrentToolset(app::ToolsetSectionLayers);
        layers = Show(new LayersWidget(nullptr));
        layers->UpdateFromModel();
        layerId = layers->SlotAddNewLayer();
        ASSERT_FALSE(layerId.isNull());
    }

    LayerPropertiesWidget& Properties() { return *layers->Properties(); }

    std::shared_ptr<app::TransformationTransformItem> Placement(const QUuid& id) const
    {
        const app::ImageLayerSettingsPtr settings = manager->GetLayerSettings(id);
        return settings ? app::FindItemOfType<app::TransformationTransformItem>(settings->Transforms(),
                                                                                 app::TransformItemTypeTransformation)
                        : nullptr;
    }

    std::shared_ptr<app::TransformationTransformItem> ForegroundPlacement() const
    {
        return app::FindItemOfType<app::TransformationTransformItem>(manager->GetForegroundSettings()->Transforms(),
                                                                      app::TransformItemTypeTransformation);
    }

    // Checks "Fit to" with the combo at the index.
    void FitTo(int index)
    {
        Properties().FitComboBox()->setCurrentIndex(index);
        Properties().FitCheckBox()->setChecked(true);
    }

    LayersWidget* layers = nullptr;
    QUuid layerId;
};

TEST_F(LayerPropertiesTest, FittingToTheCanvasStretchesTheLayerAndLocksTheHandControls)
{
    ASSERT_TRUE(Properties().SetImage(WriteImage("wide.png", 1000, 500)));
    struct Case {
        unsigned int canvas;
        double scaleX, scaleY;
    };
    for (const Case& c : {Case{2000, 2.0, 4.0}, Case{1500, 1.5, 3.0}}) {
        SCOPED_TRACE(c.canvas);
        CurrentProject()->GetCanvas().SetDimensions(c.canvas, c.canvas);
        Properties().FitCheckBox()->setChecked(false);
        Placement(layerId)->SetTranslateX(0.3);
        Placement(layerId)->SetRotation(20);
        FitTo(0);
        const auto placement = Placement(layerId);
        EXPECT_DOUBLE_EQ(placement->ScaleX(), c.scaleX);
        EXPECT_DOUBLE_EQ(placement->ScaleY(), c.scaleY);
        EXPECT_EQ(placement->TranslateX(), 0.0);
        EXPECT_EQ(placement->Rotation(), 0.0);
        for (QWidget* control : std::initializer_list<QWidget*>{
                 Properties().HorizontalControl(), Properties().VerticalControl(), Properties().ScaleControl(),
                 Properties().RotationControl(), Properties().FlipHorizontalButton(), Properties().FlipVerticalButton()})
            EXPECT_FALSE(control->isEnabled());
        EXPECT_TRUE(Properties().FitComboBox()->isEnabled());
        EXPECT_EQ(Properties().ScaleControl()->GetSpinBox()->value(), 100.0);
        EXPECT_EQ(Properties().HorizontalControl()->GetSpinBox()->value(), 0.0);
    }
    // Cleared: back to unplaced.
    Properties().FitCheckBox()->setChecked(false);
    const auto placement = Placement(layerId);
    EXPECT_EQ(placement->ScaleX(), 1.0);
    EXPECT_EQ(placement->ScaleY(), 1.0);
    EXPECT_TRUE(Properties().ScaleControl()->isEnabled());
    EXPECT_FALSE(Properties().FitComboBox()->isEnabled());
}

TEST_F(LayerPropertiesTest, FittingToTheForegroundTakesItsPlacementAndFlips)
{
    ASSERT_TRUE(Properties().SetImage(WriteImage("wide.png", 1000, 500)));
    // No foreground: its placement with scale 1.
    FitTo(1);
    EXPECT_EQ(Placement(layerId)->ScaleX(), 1.0);
    EXPECT_EQ(Placement(layerId)->ScaleY(), 1.0);

    ASSERT_TRUE(App().ImportImage(WriteImage("portrait.png", 200, 100), QUuid(), app::LayerTypeForeground));
    const auto foreground = ForegroundPlacement();
    foreground->SetScaleX(-1.0);
    foreground->SetScaleY(2.0);
    foreground->SetTranslateX(0.25);
    LayerPropertiesWidget::ApplyFit(layerId, app::FitToForeground);
    const auto placement = Placement(layerId);
    EXPECT_DOUBLE_EQ(placement->ScaleX(), -0.2);
    EXPECT_DOUBLE_EQ(placement->ScaleY(), 0.4);
    EXPECT_DOUBLE_EQ(placement->TranslateX(), 0.25);
}

TEST_F(LayerPropertiesTest, AFlipFollowedByAScaleStaysFlipped)
{
    ASSERT_TRUE(Properties().SetImage(WriteImage("frame.png")));
    Properties().FlipHorizontalButton()->click();
    EXPECT_TRUE(Properties().IsFlippedHorizontally());
    EXPECT_EQ(Placement(layerId)->ScaleX(), -1.0);
    layerRefreshes->clear();
    Properties().ScaleControl()->GetSpinBox()->setValue(150);
    EXPECT_DOUBLE_EQ(Placement(layerId)->ScaleX(), -1.5);
    EXPECT_DOUBLE_EQ(Placement(layerId)->ScaleY(), 1.5);
    ASSERT_GE(layerRefreshes->count(), 1);
    EXPECT_EQ(layerRefreshes->last().at(0).toUuid(), layerId);
    EXPECT_EQ(layerRefreshes->last().at(1).value<app::RenderLevel>(), app::RenderLevelPostFilter);

    // Shown again, the layer's flip and size come from its placement.
    Properties().SetCurrentLayer(manager->GetLayer(layerId), true);
    EXPECT_TRUE(Properties().IsFlippedHorizontally());
    EXPECT_FALSE(Properties().IsFlippedVertically());
    EXPECT_EQ(Properties().ScaleControl()->GetSpinBox()->value(), 150.0);

    // A handle drag on the canvas: the controls follow the layer's placement, not another's.
    Placement(layerId)->SetTranslateX(-0.25);
    Placement(layerId)->SetRotation(30);
    Properties().UpdateTransform(QUuid::createUuid());
    EXPECT_EQ(Properties().HorizontalControl()->GetSpinBox()->value(), 0.0);
    Properties().UpdateTransform(layerId);
    EXPECT_EQ(Properties().HorizontalControl()->GetSpinBox()->value(), -25.0);
    EXPECT_EQ(Properties().RotationControl()->GetSpinBox()->value(), 30.0);

    // The reset button returns the layer to unplaced.
    emit Properties().GetContainer()->SignalReset();
    EXPECT_EQ(Placement(layerId)->ScaleX(), 1.0);
    EXPECT_FALSE(Properties().IsFlippedHorizontally());
}

TEST_F(LayerPropertiesTest, TheCanvasHandlesFollowTheShownLayerAndHideWhileFitted)
{
    ASSERT_TRUE(Properties().SetImage(WriteImage("frame.png")));
    ASSERT_NE(view.LayerQuad(), nullptr);
    EXPECT_EQ(view.LayerQuad()->LayerId(), layerId);
    EXPECT_TRUE(view.LayerQuad()->isVisible());
    FitTo(0);
    EXPECT_FALSE(view.LayerQuad()->isVisible());
    Properties().FitCheckBox()->setChecked(false);
    EXPECT_TRUE(view.LayerQuad()->isVisible());

    // A layer without an image has none; a switched-off layer's stay hidden.
    layers->SlotAddNewLayer();
    EXPECT_EQ(view.LayerQuad(), nullptr);
    ClickCell(*layers->Table(), layers->FindRow(layerId), LayersWidget::NameColumn);
    ASSERT_NE(view.LayerQuad(), nullptr);
    ClickCell(*layers->Table(), layers->FindRow(layerId), LayersWidget::EnableColumn);
    EXPECT_FALSE(manager->GetLayer(layerId)->IsEnabled());
    EXPECT_FALSE(view.LayerQuad()->isVisible());
    EXPECT_FALSE(Properties().isEnabled());
    EXPECT_EQ(layers->SelectedRow(), layers->FindRow(layerId));
}

TEST_F(LayerPropertiesTest, TwoDroppedFilesAskAndCancelLoadsNothing)
{
    const QStringList two = {WriteImage("a.png"), WriteImage("b.png")};
    Dialogs().AnswerMessage(QMessageBox::Cancel);
    emit Properties().Thumbnail()->DragDropDataAdded(Drop(two).get());
    ASSERT_EQ(Dialogs().Requests().size(), 1u);
    EXPECT_EQ(Dialogs().Requests()[0].message.text, "The layer only supports one image.");
    EXPECT_TRUE(manager->GetLayer(layerId)->Path().isEmpty());
    Dialogs().AnswerMessage(QMessageBox::Ok);
    emit Properties().Thumbnail()->DragDropDataAdded(Drop(two).get());
    EXPECT_EQ(manager->GetLayer(layerId)->Path(), two.first());
    EXPECT_TRUE(RecentList("layer").isEmpty());

    // Remove keeps the layer without its image.
    Dialogs().AnswerMessage(QMessageBox::Yes);
    Properties().RemoveButton()->click();
    ASSERT_TRUE(manager->GetLayer(layerId));
    EXPECT_TRUE(manager->GetLayer(layerId)->Path().isEmpty());
    EXPECT_FALSE(App().GetThumbnail(layerId));
}

TEST_F(LayerPropertiesTest, TheChangeButtonStartsOnTheDesktopAndRemembersTheFile)
{
    const QString photo = WriteImage("photo.png");
    Dialogs().AnswerFiles({photo});
    Properties().SlotChangeImage();
    ASSERT_EQ(Dialogs().Requests().size(), 1u);
    EXPECT_EQ(Dialogs().Requests()[0].file.title, "Import image");
    EXPECT_EQ(Dialogs().Requests()[0].file.folder, home.path());
    EXPECT_EQ(manager->GetLayer(layerId)->Path(), photo);
    EXPECT_EQ(RecentList("layer"), QStringList{photo});
}

TEST_F(LayerPropertiesTest, ALongNameIsCutBeforePropertiesAndShowsMoreWhenWider)
{
    const QString name = "A layer whose name is far too long for the width of the toolbox panel";
    layers->Table()->item(0, LayersWidget::NameColumn)->setText(name);
    QLabel* title = Properties().GetContainer()->Title()->TitleLabel();
    ASSERT_NE(title, nullptr);
    const QString narrow = title->text();
    EXPECT_TRUE(narrow.endsWith(QStringLiteral("\u2026 Properties"))) << narrow.toStdString();
    // The cut title fits left of the reset button, which stays inside the bar.
    ProcessEvents();
    QWidget* reset = Properties().GetContainer()->Title()->ResetButton();
    ASSERT_NE(reset, nullptr);
    EXPECT_LE(QFontMetrics(title->font()).horizontalAdvance(narrow), title->width());
    EXPECT_LT(title->geometry().right(), reset->geometry().left());
    EXPECT_LE(reset->geometry().right(), reset->parentWidget()->width());
    EXPECT_LE(Properties().width(), host->width());
    host->setFixedWidth(900);
    ProcessEvents();
    const QString wide = title->text();
    EXPECT_GT(wide.size(), narrow.size());
    EXPECT_EQ(wide, name + " Properties");
}

} // namespace
} // namespace lumo::ui::testing
