// Text items on the canvas: the view keeps one canvas item per text item of the current list, frames
// the selected one in the text toolset, passes the text panels' edits on, and turns drags of the
// frame and its handles into moves, sizes and turns of the text, without ever asking for a render.

#include "CanvasTest.h"
#include "Grabs.h"
#include "RefreshSignals.h"

#include "Canvas/HandleGraphicsItems.h"
#include "Canvas/TextGraphicsItems.h"

#include "LayerManager.h"
#include "TextItem.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QSignalSpy>

#include <cmath>
#include <numbers>

namespace lumo::ui::testing {
namespace {

QByteArray Base64(const QString& text)
{
    return text.toUtf8().toBase64();
}

int CountOfType(const QGraphicsScene& scene, int type)
{
    const QList<QGraphicsItem*> items = scene.items();
    return static_cast<int>(
        std::count_if(items.begin(), items.end(), [type](QGraphicsItem* i) { return i->type() == type; }));
}

// The text notifications the canvas sends, by text id.
struct TextNotifications : LumoModelObserver {
    std::vector<QUuid> ids;
    void ModelChanged(DataType type, const QUuid& id, FieldType field) override
    {
        if (type == DataTypeCanvas && field == FieldTypeTextItem)
            ids.push_back(id);
    }
};

// What text drags tell the model's observers and ask of the renderer while it lives.
struct DragEffects {
    explicit DragEffects(const LumoModelPtr& model) { notifications.SetModel(model, {DataTypeCanvas}); }
    qsizetype Refreshes() const { return layerRefreshes.count() + canvasRefreshes.count(); }

    TextNotifications notifications;
    QSignalSpy layerRefreshes{Application::Instance(), kLayerSignal};
    QSignalSpy canvasRefreshes{Application::Instance(), kCanvasSignal};
};

class TextItemsTest : public CanvasTest {
protected:
    // The green-screen project on a 1200 x 1800 canvas shown at 0.25 about (640, 400): a text at
    // (x, y) has its origin on screen at (640 + 150 x, 400 + 225 y). Nothing is rendered.
    void ShowTextCanvas()
    {
        forcedResult = app::LMerrSuccess;
        ASSERT_TRUE(folder.isValid());
        written = WriteGreenScreenProject(folder.path(), 0.05);
        ASSERT_EQ(App().OpenProject(written.projectPath), app::LMerrSuccess);
        project = CurrentProject();
        view.show();
        Settle();
        app::Canvas& canvas = project->GetCanvas();
        canvas.SetDimensions(1200, 1800);
        canvas.SetScale(0.25f);
        canvas.SetCentre(640, 400);
        canvas.SetPosition(0, 0);
    }

    app::TextList& Texts() { return app::GetTextList(project); }

    // A text item in the model, not yet on the canvas.
    app::TextItemPtr AddText(const QString& text, int size = 72)
    {
        auto item = std::make_shared<app::TextItem>();
        item->SetTextString(Base64(text));
        item->SetFontName(QStringLiteral("Tahoma"));
        item->SetFontSize(size);
        EXPECT_EQ(Texts().Add(item), app::LMerrSuccess);
        return item;
    }

    // The toolset made current, the canvas rebuilt for it.
    void ShowToolset(app::ToolsetSections toolset)
    {
        project->SetCurrentToolset(toolset);
        Notify(DataTypeInterface, FieldTypeCurrentToolset);
    }

    // One text, selected in the text toolset, framed on the canvas.
    app::TextItemPtr ShowSelectedText()
    {
        const app::TextItemPtr text = AddText(QStringLiteral("Lumora"));
        Texts().SetCurrentlySelectedTextItem(text->Id());
        ShowToolset(app::ToolsetSectionText);
        EXPECT_NE(view.TextQuad(), nullptr);
        return text;
    }

    void Move(const QPoint& to, bool ctrl)
    {
        QTest::mouseEvent(QTest::MouseMove, view.viewport(), Qt::NoButton,
                          ctrl ? Qt::ControlModifier : Qt::NoModifier, to);
    }

    void Drag(const QPoint& from, const std::vector<QPoint>& moves, bool ctrl)
    {
        QTest::mousePress(view.viewport(), Qt::LeftButton, {}, from);
        for (const QPoint& to : moves)
            Move(to, ctrl);
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, ctrl ? Qt::ControlModifier : Qt::NoModifier,
                            moves.back());
    }

    void SetText(const app::TextItemPtr& text, QPointF position, int size, double angle)
    {
        text->SetPosition(position);
        text->SetFontSize(size);
        text->SetAngle(angle);
        view.SetTextItemFont(text->Id(), QFont(text->FontName(), size));
        view.UpdateTextItemTransform(text->Id());
    }

    app::ProjectPtr project;
};

TEST_F(TextItemsTest, TheViewKeepsOneItemPerTextAndPassesThePanelsEditsOn)
{
    ASSERT_NO_FATAL_FAILURE(ShowTextCanvas());
    const app::TextItemPtr a = AddText(QStringLiteral("Alpha"));
    const app::TextItemPtr b = AddText(QStringLiteral("Beta"));
    const app::TextItemPtr c = AddText(QStringLiteral("Gamma"));
    c->SetTextAlignment(app::TextAlignmentRight);
    c->SetFontColor(QColor(10, 20, 30));
    c->SetOpacity(0.25);
    Texts().SetCurrentlySelectedTextItem(b->Id());

    // Outside the text toolset the items show without a frame, stacked in list order.
    ShowToolset(app::ToolsetSectionPosition);
    EXPECT_EQ(CountOfType(scene, CanvasItemTextLayer), 3);
    EXPECT_EQ(view.TextQuad(), nullptr);
    EXPECT_EQ(view.TextLayerItem(c->Id())->text(), "Gamma");
    EXPECT_EQ(view.TextLayerItem(c->Id())->Alignment(), Qt::AlignRight);
    EXPECT_EQ(view.TextLayerItem(c->Id())->Color(), QColor(10, 20, 30));
    EXPECT_EQ(view.TextLayerItem(c->Id())->TextOpacity(), 0.25);
    EXPECT_EQ(view.TextLayerItem(c->Id())->font().pointSize(), 72);

    // A moved item keeps its place in the stack outside the text toolset; in it the list decides.
    const auto zOf = [&](const app::TextItemPtr& t) { return view.TextLayerItem(t->Id())->zValue(); };
    ASSERT_EQ(Texts().MoveUp(c->Id()), app::LMerrSuccess); // a, c, b
    view.UpdateTextItemsZOrder();
    EXPECT_EQ(std::vector<qreal>({zOf(a), zOf(b), zOf(c)}), std::vector<qreal>({2, 3, 4}));
    project->SetCurrentToolset(app::ToolsetSectionText);
    view.UpdateTextItemsZOrder();
    EXPECT_EQ(std::vector<qreal>({zOf(a), zOf(c), zOf(b)}), std::vector<qreal>({2, 3, 4}));
    EXPECT_EQ(view.TextLayerItem(b->Id())->Index(), 2);

    // In the text toolset the selected item is framed; adding an id that has an item changes
    // nothing.
    ShowToolset(app::ToolsetSectionText);
    ASSERT_NE(view.TextQuad(), nullptr);
    EXPECT_EQ(view.TextQuad()->TextItemId(), b->Id());
    EXPECT_NE(view.TextRotate(), nullptr);
    TextLayerGraphicsItem* itemOfA = view.TextLayerItem(a->Id());
    view.AddTextItem(a->Id(), Base64("Other"), QFont(), true, true);
    EXPECT_EQ(view.TextLayerItem(a->Id()), itemOfA);
    EXPECT_EQ(itemOfA->text(), "Alpha");
    EXPECT_EQ(view.TextQuad()->TextItemId(), b->Id());
    EXPECT_EQ(CountOfType(scene, CanvasItemTextLayer), 3);
    // An item added unselected leaves the frame where it is.
    const QUuid extra = QUuid::createUuid();
    view.AddTextItem(extra, Base64("Extra"), QFont(), false, true);
    ASSERT_NE(view.TextQuad(), nullptr);
    EXPECT_EQ(view.TextQuad()->TextItemId(), b->Id());
    EXPECT_TRUE(view.TextLayerItem(b->Id())->IsTextSelected());
    view.RemoveTextItem(extra);

    // The panels' setters reach the item and, for the framed one, the frame.
    QFont font(QStringLiteral("Tahoma"), 30);
    font.setItalic(true);
    view.SetTextItemFont(b->Id(), font);
    view.SetTextItemAlignment(b->Id(), Qt::AlignCenter);
    view.SetTextItemColor(b->Id(), QColor(200, 0, 0));
    view.SetTextItemOpacity(b->Id(), 0.5);
    view.SetTextItemText(b->Id(), Base64(QStringLiteral("Bêta")));
    const TextLayerGraphicsItem* itemOfB = view.TextLayerItem(b->Id());
    EXPECT_EQ(itemOfB->font(), font);
    EXPECT_EQ(view.TextQuad()->font(), font);
    EXPECT_EQ(itemOfB->Alignment(), Qt::AlignCenter);
    EXPECT_EQ(view.TextQuad()->Alignment(), Qt::AlignCenter);
    EXPECT_EQ(view.TextQuad()->boundingRect(), itemOfB->boundingRect()) << "the frame fits the text";
    EXPECT_EQ(itemOfB->Color(), QColor(200, 0, 0));
    EXPECT_EQ(itemOfB->TextOpacity(), 0.5);
    EXPECT_EQ(itemOfB->text(), QStringLiteral("Bêta"));
    EXPECT_EQ(view.TextQuad()->text(), QStringLiteral("Bêta"));
    // Another item's font leaves the frame alone.
    view.SetTextItemFont(a->Id(), QFont(QStringLiteral("Tahoma"), 10));
    EXPECT_EQ(view.TextQuad()->font(), font);

    // A disabled item gets no frame even when selected, and stays hidden.
    a->SetEnabled(false);
    view.SetTextItemEnabled(a->Id(), false);
    view.SelectTextItem(a->Id(), true);
    EXPECT_EQ(view.TextQuad(), nullptr);
    EXPECT_EQ(view.TextRotate(), nullptr);
    EXPECT_TRUE(view.TextLayerItem(a->Id())->IsTextSelected());
    EXPECT_FALSE(view.TextLayerItem(b->Id())->IsTextSelected());
    EXPECT_FALSE(view.TextLayerItem(a->Id())->isVisible());
    view.SetTextItemsVisible(true);
    EXPECT_FALSE(view.TextLayerItem(a->Id())->isVisible()) << "showing the items shows the enabled ones";
    EXPECT_TRUE(view.TextLayerItem(b->Id())->isVisible());

    // Removing the selected item takes its frame and handles with it.
    view.SelectTextItem(b->Id(), true);
    ASSERT_NE(view.TextQuad(), nullptr);
    view.RemoveTextItem(b->Id());
    EXPECT_EQ(view.TextLayerItem(b->Id()), nullptr);
    EXPECT_EQ(view.TextQuad(), nullptr);
    EXPECT_EQ(view.TextRotate(), nullptr);
    for (const int type : {CanvasItemTextQuad, CanvasItemTextScale, CanvasItemTextRotate})
        EXPECT_EQ(CountOfType(scene, type), 0) << type;
    EXPECT_EQ(CountOfType(scene, CanvasItemTextLayer), 2);
    // Ids without a canvas item change nothing.
    view.RemoveTextItem(b->Id());
    view.SetTextItemColor(QUuid::createUuid(), Qt::black);
    view.SetTextFontSize(b->Id(), 10);
    EXPECT_EQ(b->FontSize(), 72);

    view.RemoveAllTextItems();
    EXPECT_EQ(CountOfType(scene, CanvasItemTextLayer), 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(TextItemsTest, FileNameAndPathTextsFollowTheCurrentForeground)
{
    ASSERT_NO_FATAL_FAILURE(ShowTextCanvas());
    const app::TextItemPtr name = AddText(QStringLiteral("unused"));
    name->SetUseOption(app::TextUseFilename);
    const app::TextItemPtr path = AddText(QStringLiteral("unused"));
    path->SetUseOption(app::TextUseFilePath);
    ShowToolset(app::ToolsetSectionText);
    EXPECT_EQ(view.TextLayerItem(name->Id())->text(), QFileInfo(written.photoPath).fileName());
    EXPECT_EQ(view.TextLayerItem(path->Id())->text(), QFileInfo(written.photoPath).absoluteFilePath());

    // A new foreground: the items are rebuilt with the handles and show its name.
    const QString second = folder.filePath(QStringLiteral("Second photo é.png"));
    ASSERT_TRUE(QFile::copy(written.photoPath, second));
    ASSERT_TRUE(App().ImportImage(second, QUuid(), app::LayerTypeForeground));
    Notify(DataTypeProject, FieldTypeImageAdded, project->GetLayerManager()->LayerList()->StaticForegroundId());
    ASSERT_NE(view.TextLayerItem(name->Id()), nullptr);
    EXPECT_EQ(view.TextLayerItem(name->Id())->text(), QStringLiteral("Second photo é.png"));
    EXPECT_EQ(view.TextLayerItem(path->Id())->text(), second);
}

TEST_F(TextItemsTest, DraggingTheFrameMovesTheTextAndCtrlLocksTheAxisItStartsAlong)
{
    // At scale 0.25 one unit of position is 150 pixels across and 225 down.
    struct Step {
        QPoint by;
        bool ctrl;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        QPointF position;
    };
    const std::vector<Case> cases = {
        {"30 pixels right", {{{30, 0}, false}}, {0.2, 0}},
        {"45 pixels down and 15 left", {{{-15, 45}, false}}, {-0.1, 0.2}},
        {"Ctrl at 30 degrees locks y", {{{35, -20}, true}}, {35 / 150.0, 0}},
        {"Ctrl at 80 degrees locks x", {{{7, -40}, true}}, {0, -40 / 225.0}},
        {"no lock within 5 pixels", {{{3, -2}, true}, {{7, -40}, true}}, {0, -40 / 225.0}},
        {"releasing Ctrl frees both axes", {{{35, -20}, true}, {{35, -20}, false}}, {35 / 150.0, -20 / 225.0}},
    };
    ASSERT_NO_FATAL_FAILURE(ShowTextCanvas());
    const app::TextItemPtr text = ShowSelectedText();
    DragEffects effects(model);
    std::vector<QUuid>& notifications = effects.notifications.ids;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetText(text, {0, 0}, 72, 0);
        // Inside the frame, away from the scale handle at the text's origin.
        const TextQuadGraphicsItem* quad = view.TextQuad();
        const QPoint press = quad->mapToScene(quad->boundingRect().center()).toPoint();
        ASSERT_EQ(view.itemAt(press), quad);
        std::vector<QPoint> moves;
        for (const Step& step : c.steps)
            moves.push_back(press + step.by);
        QTest::mousePress(view.viewport(), Qt::LeftButton, {}, press);
        for (std::size_t i = 0; i < moves.size(); ++i)
            Move(moves[i], c.steps[i].ctrl);
        QTest::mouseRelease(view.viewport(), Qt::LeftButton,
                            c.steps.back().ctrl ? Qt::ControlModifier : Qt::NoModifier, moves.back());
        EXPECT_DOUBLE_EQ(text->Position().x(), c.position.x());
        EXPECT_DOUBLE_EQ(text->Position().y(), c.position.y());
        // The text, its frame and the rotate handle follow.
        const QPointF origin(640 + 150 * c.position.x(), 400 + 225 * c.position.y());
        EXPECT_NEAR(QLineF(view.TextLayerItem(text->Id())->scenePos(), origin).length(), 0, 1e-9);
        EXPECT_NEAR(QLineF(view.TextQuad()->scenePos(), origin).length(), 0, 1e-9);
        EXPECT_EQ(view.TextRotate()->pos(), view.TextQuad()->scenePos());
    }
    EXPECT_TRUE(notifications.empty()) << "a move tells nobody";
    EXPECT_EQ(effects.Refreshes(), 0) << "text is drawn live";

    // With Space held a press on the frame pans the canvas instead.
    SetText(text, {0, 0}, 72, 0);
    const QPoint press = view.TextQuad()->mapToScene(view.TextQuad()->boundingRect().center()).toPoint();
    QTest::keyPress(&view, Qt::Key_Space);
    Drag(press, {press + QPoint(40, 0)}, false);
    QTest::keyRelease(&view, Qt::Key_Space);
    EXPECT_EQ(project->GetCanvas().PositionX(), 160);
    EXPECT_EQ(text->Position(), QPointF(0, 0));
    EXPECT_EQ(view.TextQuad()->scenePos(), QPointF(680, 400)) << "the frame follows the pan";
}

TEST_F(TextItemsTest, DraggingTheScaleHandleSizesTheTextOnePointPerPixelWithinLimits)
{
    struct Case {
        const char* name;
        int sizeAtPress;
        std::vector<int> dys;
        int size;
    };
    const std::vector<Case> cases = {
        {"50 pixels down", 72, {20, 50}, 122},
        {"up", 72, {-30}, 42},
        {"far up stops at 1", 72, {-100, -300}, 1},
        {"far down stops at 2000", 1990, {5, 50}, 2000},
    };
    ASSERT_NO_FATAL_FAILURE(ShowTextCanvas());
    const app::TextItemPtr text = ShowSelectedText();
    DragEffects effects(model);
    std::vector<QUuid>& notifications = effects.notifications.ids;
    const QPoint press(640, 400);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetText(text, {0, 0}, c.sizeAtPress, 0);
        ASSERT_EQ(view.itemAt(press), view.TextQuad()->ScaleHandle());
        notifications.clear();
        std::vector<QPoint> moves;
        for (const int dy : c.dys)
            moves.push_back(press + QPoint(0, dy));
        QTest::mousePress(view.viewport(), Qt::LeftButton, {}, press);
        EXPECT_TRUE(view.TextQuad()->ScaleHandle()->isSelected());
        for (const QPoint& to : moves)
            Move(to, false);
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, moves.back());
        EXPECT_FALSE(view.TextQuad()->ScaleHandle()->isSelected());
        EXPECT_EQ(text->FontSize(), c.size);
        EXPECT_EQ(view.TextLayerItem(text->Id())->font().pointSize(), c.size);
        EXPECT_EQ(view.TextQuad()->font().pointSize(), c.size);
        // One notification for each move and one for the release.
        EXPECT_EQ(notifications, std::vector<QUuid>(c.dys.size() + 1, text->Id()));
    }

    // The right button alone gives 72 points.
    SetText(text, {0, 0}, 300, 0);
    notifications.clear();
    QTest::mouseClick(view.viewport(), Qt::RightButton, {}, press);
    EXPECT_EQ(text->FontSize(), 72);
    EXPECT_EQ(view.TextLayerItem(text->Id())->font().pointSize(), 72);
    EXPECT_EQ(notifications, std::vector<QUuid>{text->Id()});
    EXPECT_EQ(effects.Refreshes(), 0) << "text is drawn live";
}

TEST_F(TextItemsTest, DraggingTheRingTurnsTheTextAboutItsOriginAndCtrlSnapsTo45Degrees)
{
    struct Case {
        const char* name;
        double angleAtPress;
        double turn; // clockwise on screen, in degrees
        bool ctrl;
        double angle;
        double tolerance;
    };
    const std::vector<Case> cases = {
        {"a quarter turn and a bit", 0, 100, false, 100, 1},
        {"back past zero wraps", 30, -50, false, 340, 1},
        {"Ctrl snaps 350 to 360", 0, 350, true, 360, 0},
        {"Ctrl snaps 20 to 0", 0, 20, true, 0, 0},
        {"Ctrl snaps 60 to 45", 10, 50, true, 45, 0},
    };
    ASSERT_NO_FATAL_FAILURE(ShowTextCanvas());
    const app::TextItemPtr text = ShowSelectedText();
    DragEffects effects(model);
    std::vector<QUuid>& notifications = effects.notifications.ids;
    // The text at (0.2, 0): its origin, where it turns, is on screen at (670, 400).
    const QPointF origin(670, 400);
    const auto onRing = [&](double degrees) {
        const double a = degrees * std::numbers::pi / 180;
        return (origin + 81 * QPointF(std::sin(a), -std::cos(a))).toPoint();
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetText(text, {0.2, 0}, 72, c.angleAtPress);
        const QPoint press = onRing(c.angleAtPress);
        ASSERT_EQ(view.itemAt(press), view.TextRotate());
        notifications.clear();
        Drag(press, {onRing(c.angleAtPress + c.turn)}, c.ctrl);
        EXPECT_NEAR(text->Angle(), c.angle, c.tolerance);
        EXPECT_FALSE(view.TextRotate()->isSelected());
        // The ring turns with the text (360 is drawn as 0).
        const QPointF ring = view.TextRotate()->mapToScene(0, -81);
        EXPECT_NEAR(QLineF(ring, onRing(text->Angle())).length(), 0, 1);
        const double drawn = std::fmod(text->Angle(), 360.0);
        EXPECT_EQ(view.TextLayerItem(text->Id())->Angle(), drawn);
        EXPECT_EQ(view.TextQuad()->Angle(), drawn) << "the scale handle turns along";
        EXPECT_EQ(notifications.size(), 2u) << "the move and the release";
        EXPECT_EQ(text->Position(), QPointF(0.2, 0));
    }

    // The right button alone turns the text back.
    SetText(text, {0.2, 0}, 72, 123);
    QTest::mouseClick(view.viewport(), Qt::RightButton, {}, onRing(123));
    EXPECT_EQ(text->Angle(), 0);
    EXPECT_EQ(view.TextRotate()->transform(), QTransform());
    EXPECT_EQ(effects.Refreshes(), 0) << "text is drawn live";
}

// The text's rectangle from the font's metrics measured at run time, its origin where the
// alignment puts it; the frame measures the same way and draws only round a text.
TEST_F(TextItemsTest, TextAndFrameMeasureTheTextFromTheirAlignment)
{
    QFont font(QStringLiteral("Tahoma"), 40);
    struct Case {
        const char* name;
        QByteArray base64;
        Qt::Alignment alignment;
        double originFraction; // of the width, left of the origin
    };
    const std::vector<Case> cases = {
        {"left", Base64("Lumora"), Qt::AlignLeft, 0},
        {"centred", Base64("Lumora"), Qt::AlignCenter, 0.5},
        {"right", Base64("Lumora"), Qt::AlignRight, 1},
        {"another flag counts as left", Base64("Lumora"), Qt::AlignJustify, 0},
        {"two lines", Base64("Two\nlines"), Qt::AlignRight, 1},
        {"empty", QByteArray(), Qt::AlignCenter, 0.5},
        {"invalid Base64 shows what it decodes to", QByteArray("@@TH&Vt*"), Qt::AlignLeft, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString text = QString::fromUtf8(QByteArray::fromBase64(c.base64));
        const QSizeF size = QFontMetricsF(font).size(0, text);
        const QRectF expected(-c.originFraction * size.width(), 0, size.width(), size.height());
        TextLayerGraphicsItem item(QUuid::createUuid(), c.base64, font, 3);
        item.SetAlignment(c.alignment);
        EXPECT_EQ(item.text(), text);
        EXPECT_EQ(item.boundingRect(), expected);
        EXPECT_EQ(item.shape().boundingRect(), expected);
        EXPECT_EQ(item.zValue(), 5);
        TextQuadGraphicsItem quad(QUuid::createUuid(), text, font, c.alignment);
        EXPECT_EQ(quad.boundingRect(), expected);
        EXPECT_EQ(quad.acceptedMouseButtons(), Qt::NoButton);
    }

    // The frame: the handle green dashes round a text, nothing round an empty one.
    const auto greenPixels = [&](const QString& text) {
        QGraphicsScene scene(-200, -20, 400, 100);
        auto* quad = new TextQuadGraphicsItem(QUuid(), text, font, Qt::AlignCenter);
        scene.addItem(quad);
        QImage image(400, 100, QImage::Format_RGB32);
        image.fill(Qt::black);
        QPainter painter(&image);
        scene.render(&painter, QRectF(0, 0, 400, 100), scene.sceneRect());
        painter.end();
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += qGreen(image.pixel(x, y)) > 120 && qRed(image.pixel(x, y)) < 200 &&
                         qBlue(image.pixel(x, y)) < 60;
        return count;
    };
    const int framed = greenPixels(QStringLiteral("Lumora"));
    const int handleOnly = greenPixels(QString());
    EXPECT_GT(framed, handleOnly + 100);
    EXPECT_GT(handleOnly, 0) << "the scale handle is drawn all the same";
}

TEST_F(TextItemsTest, GrabWithTextItems)
{
    ASSERT_NO_FATAL_FAILURE(ShowGreenScreenProject(0.25));
    project = CurrentProject();
    const app::TextItemPtr title = AddText(QStringLiteral("Lumora — Ünïcode"), 40);
    title->SetBold(true);
    title->SetTextAlignment(app::TextAlignmentCentre);
    title->SetPosition({0, -0.8});
    const app::TextItemPtr name = AddText(QString(), 20);
    name->SetUseOption(app::TextUseFilename);
    name->SetTextAlignment(app::TextAlignmentRight);
    name->SetFontColor(QColor(250, 220, 60));
    name->SetOpacity(0.7);
    name->SetPosition({0.95, 0.8});
    const app::TextItemPtr turned = AddText(QStringLiteral("Turned and framed"), 28);
    turned->SetItalic(true);
    turned->SetUnderline(true);
    turned->SetFontColor(QColor(230, 40, 40));
    turned->SetAngle(20);
    turned->SetPosition({-0.6, 0.1});
    const app::TextItemPtr hidden = AddText(QStringLiteral("Disabled: never shown"), 30);
    hidden->SetEnabled(false);
    Texts().SetCurrentlySelectedTextItem(turned->Id());
    ShowToolset(app::ToolsetSectionText);
    ASSERT_NE(view.TextQuad(), nullptr);
    const QPointF ring = view.TextRotate()->mapToScene(RotateHandleGraphicsItem::RingRect.center());
    QTest::mouseMove(view.viewport(), ring.toPoint());
    ASSERT_TRUE(view.TextRotate()->IsHovered());
    const QImage grab = Grab();
    EXPECT_FALSE(SaveGrab(grab, "canvas-text-items").isEmpty());
    // The red text is drawn where its item is.
    const QRectF onScreen = view.TextLayerItem(turned->Id())->sceneBoundingRect();
    bool red = false;
    for (int y = static_cast<int>(onScreen.top()); y < onScreen.bottom() && !red; ++y)
        for (int x = static_cast<int>(onScreen.left()); x < onScreen.right() && !red; ++x) {
            const QRgb pixel = grab.pixel(x, y);
            red = qRed(pixel) > 180 && qGreen(pixel) < 90 && qBlue(pixel) < 90;
        }
    EXPECT_TRUE(red);
}

} // namespace
} // namespace lumo::ui::testing
