// The text panel and the text properties over the canvas view: adding (with the stored look),
// ordering, switching and removing text items, the text's length limit, the look written to the
// item, the canvas item and the settings, reset, the canvas's size handle, the placeholder, and
// grabs. Nothing here may ask for a render: the canvas draws text live.

#include "ToolboxTest.h"
#include "LayoutCheck.h"

#include "Canvas/CanvasView.h"
#include "Canvas/TextGraphicsItems.h"
#include "Controls/Buttons.h"
#include "Controls/ColorPickerWidget.h"
#include "Controls/Container.h"
#include "Controls/DialControls.h"
#include "Controls/ValueControls.h"
#include "Panels/EffectWidget.h"
#include "Shell/Settings.h"
#include "Toolbox/TextEdit.h"
#include "Toolbox/TextPropertiesWidget.h"
#include "Toolbox/TextWidget.h"

#include <QAction>
#include <QButtonGroup>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QStringDecoder>
#include <QTest>

#include <functional>
#include <map>

namespace lumo::ui::testing {
namespace {

using Settings = std::map<QString, QVariant>;

// Everything in the settings' "TextItem" group.
Settings StoredLook()
{
    ProgramSettings settings;
    settings.beginGroup(QStringLiteral("TextItem"));
    Settings stored;
    for (const QString& key : settings.childKeys())
        stored[key] = settings.value(key);
    return stored;
}

void StoreLook(const Settings& look)
{
    ProgramSettings settings;
    settings.remove(QStringLiteral("TextItem"));
    settings.beginGroup(QStringLiteral("TextItem"));
    for (const auto& [key, value] : look)
        settings.setValue(key, value);
}

// Forwards the canvas's size and angle notices to the properties, as the text section does.
class SizeFollower : public LumoModelObserver {
public:
    SizeFollower(const LumoModelPtr& model, TextPropertiesWidget& properties) : m_properties(properties)
    {
        SetModel(model, {DataTypeCanvas});
    }
    void ModelChanged(DataType, const QUuid& id, FieldType field) override
    {
        if (field == FieldTypeTextItem)
            m_properties.SyncFromCanvas(id);
    }

private:
    TextPropertiesWidget& m_properties;
};

class TextPanelTest : public ToolboxTest {
protected:
    void SetUp() override
    {
        ToolboxTest::SetUp();
        if (HasFatalFailure())
            return;
        ShowToolset(app::ToolsetSectionText);
        panel = Show(new TextWidget(nullptr));
        layerRefreshes->clear();
        canvasRefreshes->clear();
    }

    void TearDown() override
    {
        if (layerRefreshes) {
            EXPECT_EQ(layerRefreshes->size() + canvasRefreshes->size(), 0) << "text edits render nothing";
        }
        ToolboxTest::TearDown();
    }

    app::TextList& Texts() { return settings->TextItems(); }
    TableWidget& Table() { return *panel->Rows().Table(); }
    TextPropertiesWidget& Properties() { return *panel->Properties(); }

    app::TextItemPtr ItemOfRow(int row)
    {
        app::TextItemPtr item;
        Texts().Get(panel->Rows().RowId(row), item);
        return item;
    }

    void AddItems(int count)
    {
        for (int i = 0; i < count; ++i)
            panel->AddButton()->click();
    }

    static void Type(QAbstractSpinBox* box, const QString& text)
    {
        box->selectAll();
        QTest::keyClicks(box, text);
        QTest::keyClick(box, Qt::Key_Return);
    }

    TextWidget* panel = nullptr;
};

TEST_F(TextPanelTest, TheFirstItemIsNumberedSelectedAndFramedAndTheSixthIsRefused)
{
    panel->AddButton()->click();
    const app::TextItemPtr item = ItemOfRow(0);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->TextItemName(), "Text #1");
    EXPECT_EQ(panel->Rows().SelectedRow(), 0);
    EXPECT_EQ(Texts().CurrentlySelectedTextItem(), item->Id());
    EXPECT_TRUE(Properties().isVisible());
    EXPECT_EQ(Properties().TextItemId(), item->Id());
    EXPECT_EQ(Properties().GetContainer()->Title()->TitleLabel()->text(), "Text #1 Properties");
    ASSERT_NE(view.TextLayerItem(item->Id()), nullptr);
    ASSERT_NE(view.TextQuad(), nullptr);
    EXPECT_EQ(view.TextQuad()->TextItemId(), item->Id());

    AddItems(4);
    Dialogs().AnswerMessage(QMessageBox::Ok);
    panel->AddButton()->click();
    ASSERT_EQ(Dialogs().Requests().size(), 1u);
    EXPECT_EQ(Dialogs().Requests().front().message.icon, QMessageBox::Information);
    EXPECT_EQ(Dialogs().Requests().front().message.text,
              "You have already added the maximum number of text items to this project.");
    EXPECT_EQ(Texts().Size(), 5u);
    EXPECT_EQ(Texts().NameSuffix(), 6u);
}

TEST_F(TextPanelTest, ANewItemTakesTheStoredKeysThatArePresentAndSound)
{
    const app::TextItem defaults;
    struct Case {
        const char* name;
        Settings stored;
        std::function<void(app::TextItem&)> expected; // applied to the model's defaults
    };
    const std::vector<Case> cases = {
        {"nothing stored", {}, [](app::TextItem&) {}},
        {"a size alone", {{"FontSize", 20}}, [](app::TextItem& t) { t.SetFontSize(20); }},
        {"every key",
         {{"FontName", "DejaVu Serif"},
          {"IsBold", true},
          {"IsItalic", true},
          {"IsUnderlined", true},
          {"TextAlignment", 2},
          {"FontColor", QColor(10, 20, 30)},
          {"FontSize", 150},
          {"Opacity", 0.4}},
         [](app::TextItem& t) {
             t.SetFontName("DejaVu Serif");
             t.SetBold(true);
             t.SetItalic(true);
             t.SetUnderline(true);
             t.SetTextAlignment(app::TextAlignmentRight);
             t.SetFontColor(QColor(10, 20, 30));
             t.SetFontSize(150);
             t.SetOpacity(0.4);
         }},
        {"values out of range or not values",
         {{"FontSize", 0}, {"Opacity", 1.5}, {"TextAlignment", 7}, {"IsBold", "maybe"}, {"FontColor", "no colour"}},
         [](app::TextItem&) {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        panel->SlotResetTextItems();
        StoreLook(c.stored);
        panel->AddButton()->click();
        const app::TextItemPtr item = ItemOfRow(0);
        ASSERT_TRUE(item);
        app::TextItem expected = defaults;
        // Without a stored face a new text is set in the reset's, never the platform's default.
        expected.SetFontName("Arial");
        c.expected(expected);
        EXPECT_EQ(item->FontName(), expected.FontName());
        EXPECT_EQ(item->IsBold(), expected.IsBold());
        EXPECT_EQ(item->IsItalic(), expected.IsItalic());
        EXPECT_EQ(item->IsUnderlined(), expected.IsUnderlined());
        EXPECT_EQ(item->TextAlignment(), expected.TextAlignment());
        EXPECT_EQ(item->FontColor(), expected.FontColor());
        EXPECT_EQ(item->FontSize(), expected.FontSize());
        EXPECT_DOUBLE_EQ(item->Opacity(), expected.Opacity());
        // The controls and the canvas item show it.
        EXPECT_EQ(Properties().SizeControl()->GetSpinBox()->value(), expected.FontSize());
        EXPECT_EQ(Properties().TransparencyControl()->GetSpinBox()->value(), PercentFromFraction(1 - expected.Opacity()));
        EXPECT_EQ(Properties().BoldButton()->isChecked(), expected.IsBold());
        EXPECT_EQ(Properties().AlignmentGroup()->checkedId(), expected.TextAlignment());
        EXPECT_EQ(Properties().ColorPicker()->Color(), expected.FontColor());
        const TextLayerGraphicsItem* shown = view.TextLayerItem(item->Id());
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(shown->Color(), expected.FontColor());
        EXPECT_DOUBLE_EQ(shown->TextOpacity(), expected.Opacity());
        EXPECT_EQ(shown->font().bold(), expected.IsBold());
        EXPECT_EQ(StoredLook(), c.stored) << "reading writes nothing";
    }
}

TEST_F(TextPanelTest, ARebuildDrawsEveryItemInItsOwnLookAndShowsTheSelectedOne)
{
    std::vector<app::TextItemPtr> items;
    const std::vector<QColor> colours = {QColor(250, 10, 10), QColor(10, 250, 10), QColor(10, 10, 250)};
    for (int i = 0; i < 3; ++i) {
        auto item = std::make_shared<app::TextItem>();
        item->SetTextItemName(QString("Line %1").arg(i + 1));
        item->SetTextString(QString("Text %1").arg(i + 1).toUtf8().toBase64());
        item->SetFontColor(colours[i]);
        item->SetOpacity(0.5 + i * 0.2);
        item->SetBold(i == 1);
        item->SetTextAlignment(static_cast<app::TextAlignmentMethod>(i));
        ASSERT_EQ(Texts().Add(item), app::LMerrSuccess);
        items.push_back(item);
    }
    items[2]->SetEnabled(false);
    Texts().SetCurrentlySelectedTextItem(items[0]->Id());

    panel->UpdateFromModel();
    EXPECT_EQ(RowIds(panel->Rows()), ListIdsLastFirst(Texts()));
    for (const app::TextItemPtr& item : items) {
        SCOPED_TRACE(item->TextItemName().toStdString());
        const TextLayerGraphicsItem* shown = view.TextLayerItem(item->Id());
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(shown->Color(), item->FontColor());
        EXPECT_DOUBLE_EQ(shown->TextOpacity(), item->Opacity());
        EXPECT_EQ(shown->font().bold(), item->IsBold());
        EXPECT_EQ(shown->Alignment(), TextAlignmentFlags(item->TextAlignment()));
        EXPECT_EQ(shown->isVisible(), item->IsEnabled());
    }
    EXPECT_EQ(panel->Rows().SelectedRow(), 2);
    EXPECT_EQ(Properties().TextItemId(), items[0]->Id());
    EXPECT_EQ(Properties().TextBox()->toPlainText(), "Text 1");
    EXPECT_TRUE(Properties().isVisible() && Properties().isEnabled());
    ASSERT_NE(view.TextQuad(), nullptr);
    EXPECT_EQ(view.TextQuad()->TextItemId(), items[0]->Id());
}

TEST_F(TextPanelTest, ScriptedAddsMovesAndRemovesKeepTheTableLastFirst)
{
    RunTableScript(*panel, Texts(), [this] { return Texts().CurrentlySelectedTextItem(); });
}

TEST_F(TextPanelTest, TheTopRowIsTheFrontTextAndMovingItDownAndBackRestoresTheStack)
{
    AddItems(3);
    const auto expectTopInFront = [this] {
        for (int row = 0; row + 1 < panel->Rows().RowCount(); ++row)
            EXPECT_GT(view.TextLayerItem(panel->Rows().RowId(row))->zValue(),
                      view.TextLayerItem(panel->Rows().RowId(row + 1))->zValue())
                << "row " << row;
    };
    const std::vector<QUuid> before = RowIds(panel->Rows());
    expectTopInFront();
    ClickCell(Table(), 0, LastFirstTable::DownColumn);
    EXPECT_EQ(panel->Rows().RowId(1), before[0]);
    expectTopInFront();
    ClickCell(Table(), 1, LastFirstTable::UpColumn);
    EXPECT_EQ(RowIds(panel->Rows()), before);
    expectTopInFront();
}

TEST_F(TextPanelTest, DisablingTheSelectedItemHidesItAndDisablesItsProperties)
{
    AddItems(2);
    const QUuid id = panel->Rows().RowId(0);
    const auto switches = std::vector<std::pair<const char*, std::function<void(bool)>>>{
        {"its box", [this](bool) { ClickCell(Table(), 0, LastFirstTable::EnableColumn); }},
        {"all", [this](bool on) { (on ? panel->Rows().EnableAllAction() : panel->Rows().DisableAllAction())->trigger(); }},
    };
    for (const auto& [name, toggle] : switches) {
        SCOPED_TRACE(name);
        toggle(false);
        EXPECT_FALSE(ItemOfRow(0)->IsEnabled());
        EXPECT_FALSE(view.TextLayerItem(id)->isVisible());
        EXPECT_FALSE(Properties().isEnabled());
        EXPECT_EQ(view.TextQuad(), nullptr) << "a hidden text keeps no frame";
        EXPECT_EQ(panel->Rows().SelectedRow(), 0);
        toggle(true);
        EXPECT_TRUE(ItemOfRow(0)->IsEnabled());
        EXPECT_TRUE(view.TextLayerItem(id)->isVisible());
        EXPECT_TRUE(Properties().isEnabled());
        ASSERT_NE(view.TextQuad(), nullptr);
        EXPECT_EQ(view.TextQuad()->TextItemId(), id);
    }
}

// Text at the limit is cut at the last whole character, so that the stored UTF-8 stays valid.
TEST_F(TextPanelTest, PastedTextIsCutAtAThousandCharactersWithoutSplittingOne)
{
    AddItems(1);
    const app::TextItemPtr item = ItemOfRow(0);
    TextEdit* box = Properties().TextBox();
    const QString letters999(999, QLatin1Char('a'));
    struct Case {
        const char* name;
        QString pasted;
        QString kept;
    };
    const std::vector<Case> cases = {
        {"1500 letters", QString(1500, QLatin1Char('b')), QString(1000, QLatin1Char('b'))},
        {"999 letters and an emoji", letters999 + QString::fromUtf8("\xF0\x9F\x98\x80"), letters999},
        {"999 letters and an accented e", letters999 + QString::fromUtf8("e\xCC\x81"), letters999},
        {"1000 letters", QString(1000, QLatin1Char('c')), QString(1000, QLatin1Char('c'))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        box->clear();
        QGuiApplication::clipboard()->setText(c.pasted);
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(box->toPlainText(), c.kept);
        EXPECT_EQ(box->textCursor().position(), c.kept.size());
        const QByteArray stored = QByteArray::fromBase64(item->TextString());
        QStringDecoder strict(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = strict.decode(stored);
        EXPECT_FALSE(strict.hasError());
        EXPECT_EQ(decoded, c.kept);
        EXPECT_EQ(view.TextLayerItem(item->Id())->text(), c.kept);
    }
}

TEST_F(TextPanelTest, ATransparencyDragShowsAtOnceAndIsRememberedOnRelease)
{
    AddItems(1);
    const app::TextItemPtr item = ItemOfRow(0);
    const TextLayerGraphicsItem* shown = view.TextLayerItem(item->Id());
    QSlider* slider = Properties().TransparencyControl()->GetSlider();
    const QPoint from(slider->width() / 4, slider->height() / 2);
    const QPoint to(slider->width() * 3 / 4, slider->height() / 2);

    QTest::mousePress(slider, Qt::LeftButton, {}, from);
    QTest::mouseMove(slider, to);
    const int dragged = slider->sliderPosition();
    EXPECT_GT(dragged, 50);
    EXPECT_DOUBLE_EQ(shown->TextOpacity(), 1 - dragged / 100.0);
    EXPECT_DOUBLE_EQ(item->Opacity(), 1 - dragged / 100.0);
    EXPECT_EQ(StoredLook().count("Opacity"), 0u);
    QTest::mouseRelease(slider, Qt::LeftButton, {}, to);
    EXPECT_DOUBLE_EQ(StoredLook().at("Opacity").toDouble(), 1 - slider->value() / 100.0);

    Type(Properties().TransparencyControl()->GetSpinBox(), "25");
    EXPECT_DOUBLE_EQ(item->Opacity(), 0.75);
    EXPECT_DOUBLE_EQ(shown->TextOpacity(), 0.75);
    EXPECT_DOUBLE_EQ(StoredLook().at("Opacity").toDouble(), 0.75);
}

TEST_F(TextPanelTest, EveryTransparencyLoadsAsItWasWritten)
{
    AddItems(1);
    const app::TextItemPtr item = ItemOfRow(0);
    std::vector<int> shownOtherwise;
    for (int transparency = 0; transparency <= 100; ++transparency) {
        item->SetOpacity(1 - transparency / 100.0);
        Properties().SetTextItem(true, false, item->Id());
        if (Properties().TransparencyControl()->GetSpinBox()->value() != transparency)
            shownOtherwise.push_back(transparency);
    }
    EXPECT_TRUE(shownOtherwise.empty()) << shownOtherwise.size() << " values, the first "
                                        << (shownOtherwise.empty() ? -1 : shownOtherwise.front());
}

TEST_F(TextPanelTest, ResetGivesTheDefaultLookAndLeavesTheStoredOne)
{
    AddItems(1);
    const app::TextItemPtr item = ItemOfRow(0);
    TextPropertiesWidget& properties = Properties();
    QTest::keyClicks(properties.TextBox(), "Hello");
    properties.BoldButton()->click();
    properties.AlignmentGroup()->button(app::TextAlignmentCentre)->click();
    Dialogs().AnswerColour(QColor(200, 30, 30));
    properties.ColorPicker()->click();
    Type(properties.SizeControl()->GetSpinBox(), "30");
    Type(properties.TransparencyControl()->GetSpinBox(), "40");
    Type(properties.AngleControl()->GetSpinBox(), "45");
    view.SetTextPosition(QPointF(0.3, -0.2), item->Id());
    ASSERT_EQ(item->FontSize(), 30);
    ASSERT_DOUBLE_EQ(item->Angle(), 45);
    const Settings stored = StoredLook();
    ASSERT_EQ(stored.at("FontSize").toInt(), 30);

    QTest::mouseClick(properties.GetContainer()->Title()->ResetButton(), Qt::LeftButton);

    EXPECT_EQ(item->FontName(), "Arial");
    EXPECT_FALSE(item->IsBold() || item->IsItalic() || item->IsUnderlined());
    EXPECT_EQ(item->TextAlignment(), app::TextAlignmentLeft);
    EXPECT_EQ(item->FontColor(), QColor(255, 255, 255, 255));
    EXPECT_EQ(item->FontSize(), 72);
    EXPECT_DOUBLE_EQ(item->Opacity(), 1.0);
    EXPECT_EQ(item->Position(), QPointF(0, 0));
    EXPECT_DOUBLE_EQ(item->Angle(), 0);
    EXPECT_TRUE(QByteArray::fromBase64(item->TextString()).isEmpty());
    EXPECT_TRUE(properties.TextBox()->toPlainText().isEmpty());
    EXPECT_FALSE(properties.BoldButton()->isChecked());
    EXPECT_EQ(properties.AlignmentGroup()->checkedId(), app::TextAlignmentLeft);
    EXPECT_EQ(properties.SizeControl()->GetSpinBox()->value(), 72);
    EXPECT_EQ(properties.TransparencyControl()->GetSpinBox()->value(), 0);
    EXPECT_DOUBLE_EQ(properties.AngleControl()->GetSpinBox()->value(), 0);
    const TextLayerGraphicsItem* shown = view.TextLayerItem(item->Id());
    EXPECT_EQ(shown->Color(), QColor(255, 255, 255, 255));
    EXPECT_DOUBLE_EQ(shown->TextOpacity(), 1.0);
    EXPECT_EQ(shown->Alignment(), Qt::AlignLeft);
    EXPECT_EQ(StoredLook(), stored);
}

TEST_F(TextPanelTest, TheCanvasHandlesMoveTheSizeAndAngleControlsWithoutStoringThem)
{
    AddItems(1);
    const QUuid id = panel->Rows().RowId(0);
    SizeFollower follower(model, Properties());
    view.SetTextFontSize(id, 150);
    view.SetTextAngle(id, 30);
    EXPECT_EQ(Properties().SizeControl()->GetSpinBox()->value(), 150);
    EXPECT_DOUBLE_EQ(Properties().AngleControl()->GetSpinBox()->value(), 30);
    EXPECT_TRUE(StoredLook().empty());
}

// The placeholder's grey, italic letters, found right of where a one-letter text ends.
int PlaceholderPixels(TextEdit& box)
{
    const QImage image = box.grab().toImage().convertToFormat(QImage::Format_RGB32);
    int count = 0;
    for (int y = 0; y < std::min(image.height(), 24); ++y)
        for (int x = 24; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - 100) <= 30 && c.red() == c.green() && c.green() == c.blue())
                ++count;
        }
    return count;
}

TEST_F(TextPanelTest, ThePlaceholderShowsOnlyInAnEmptyBoxWithoutTheFocus)
{
    AddItems(1);
    TextEdit* box = Properties().TextBox();
    host->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(host.get()));
    EXPECT_GT(PlaceholderPixels(*box), 20);
    ASSERT_NO_FATAL_FAILURE(SaveGrab(box->grab().toImage(), "TextBoxPlaceholder"));

    box->setFocus();
    ASSERT_TRUE(box->hasFocus());
    EXPECT_EQ(PlaceholderPixels(*box), 0);

    QTest::keyClicks(box, "i");
    panel->AddButton()->setFocus();
    ASSERT_FALSE(box->hasFocus());
    EXPECT_EQ(PlaceholderPixels(*box), 0);
}

TEST_F(TextPanelTest, GrabOfThePanel)
{
    AddItems(3);
    Table().item(1, LastFirstTable::NameColumn)->setText("Names of the couple");
    ClickCell(Table(), 2, LastFirstTable::EnableColumn);
    ClickCell(Table(), 0, LastFirstTable::NameColumn);
    QTest::keyClicks(Properties().TextBox(), "Happy birthday");
    Properties().BoldButton()->click();
    Properties().AlignmentGroup()->button(app::TextAlignmentCentre)->click();
    Type(Properties().TransparencyControl()->GetSpinBox(), "20");
    ProcessEvents();
    ExpectSoundLayout(*host, "text panel");
    EXPECT_FALSE(SaveGrab(host->grab().toImage(), "TextPanel").isEmpty());
    const QImage canvas = Grab();
    EXPECT_FALSE(SaveGrab(canvas, "TextPanelCanvas").isEmpty());
}

} // namespace
} // namespace lumo::ui::testing
