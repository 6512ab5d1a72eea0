// The widget map of the end-to-end run: what a driver with only X input reads of the windows.

#include "UiTest.h"

#include "Controls/Container.h"
#include "Window/WidgetMap.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMenuBar>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

namespace lumo::ui::testing {
namespace {

using WidgetMapTest = UiTest;

QJsonObject FindWidget(const QJsonObject& map, const QString& name)
{
    for (const QJsonValue window : map["windows"].toArray())
        for (const QJsonValue widget : window["widgets"].toArray())
            if (widget["name"].toString() == name)
                return widget.toObject();
    return {};
}

TEST_F(WidgetMapTest, AWindowsWidgetsAreListedWithValuesPlacesAndBoxes)
{
    QWidget window;
    window.setWindowTitle("Map window");
    auto* layout = new QVBoxLayout(&window);
    auto* box = new QGroupBox("Export", &window);
    auto* inner = new QVBoxLayout(box);
    auto* button = new QPushButton("Export Image", box);
    button->setObjectName("exportButton");
    auto* spin = new QSpinBox(box);
    spin->setObjectName("quality");
    spin->setRange(0, 100);
    spin->setValue(75);
    auto* check = new QCheckBox("Fit", box);
    check->setObjectName("fit");
    check->setChecked(true);
    check->setEnabled(false);
    auto* hidden = new QPushButton("Hidden", box);
    hidden->setObjectName("hidden");
    hidden->hide();
    // The toolbox's own titled boxes count as boxes too, innermost first.
    auto* container = new Container("Foreground", 0, box);
    auto* add = new QPushButton("Add", container->Body());
    add->setObjectName("add");
    (new QVBoxLayout(container->Body()))->addWidget(add);
    inner->addWidget(button);
    inner->addWidget(spin);
    inner->addWidget(check);
    inner->addWidget(container);
    // A slider tells its range and where its handle is, for a drag by X input.
    auto* slider = new QSlider(Qt::Horizontal, box);
    slider->setObjectName("removal");
    slider->setRange(0, 100);
    slider->setValue(75);
    slider->setFixedWidth(200);
    inner->addWidget(slider);
    layout->addWidget(box);
    // A menu bar lists its menus with their places, so that a driver can open one by a click.
    auto* menus = new QMenuBar(&window);
    menus->setObjectName("menus");
    menus->addMenu("File");
    menus->addMenu("View");
    layout->setMenuBar(menus);
    window.move(100, 50);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    const QJsonObject map = DescribeWidgets();
    const QJsonObject exportButton = FindWidget(map, "exportButton");
    EXPECT_EQ(exportButton["value"].toString(), "Export Image");
    EXPECT_EQ(exportButton["boxes"].toArray(), QJsonArray({"Export"}));
    const QPoint global = button->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(exportButton["rect"].toArray(), QJsonArray({global.x(), global.y(), button->width(), button->height()}));
    EXPECT_EQ(FindWidget(map, "quality")["value"].toInt(), 75);
    EXPECT_TRUE(FindWidget(map, "fit")["checked"].toBool());
    EXPECT_FALSE(FindWidget(map, "fit")["enabled"].toBool());
    EXPECT_TRUE(FindWidget(map, "hidden").isEmpty());
    EXPECT_EQ(FindWidget(map, "add")["boxes"].toArray(), QJsonArray({"Foreground", "Export"}));
    const QJsonObject removal = FindWidget(map, "removal");
    EXPECT_EQ(removal["range"].toArray(), QJsonArray({0, 100}));
    const QJsonArray handle = removal["handle"].toArray();
    const QPoint sliderLeft = slider->mapToGlobal(QPoint(0, 0));
    const int handleMiddle = handle[0].toInt() + handle[2].toInt() / 2 - sliderLeft.x();
    EXPECT_GT(handleMiddle, 200 * 60 / 100);
    EXPECT_LT(handleMiddle, 200 * 90 / 100);
    const QJsonArray entries = FindWidget(map, "menus")["actions"].toArray();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[1]["text"].toString(), "View");
    const QRect view = menus->actionGeometry(menus->actions().at(1));
    const QPoint viewAt = menus->mapToGlobal(view.topLeft());
    EXPECT_EQ(entries[1]["rect"].toArray(), QJsonArray({viewAt.x(), viewAt.y(), view.width(), view.height()}));
}

TEST_F(WidgetMapTest, TheMapIsWrittenWholeAndOnlyWhenItChanged)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath("map.json");
    QWidget window;
    window.setWindowTitle("Map window");
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // A long interval: the test writes by hand.
    WidgetMapWriter writer(path, 1000000);
    ASSERT_TRUE(writer.WriteIfChanged());
    QFile first(path);
    ASSERT_TRUE(first.open(QIODevice::ReadOnly));
    const QJsonDocument document = QJsonDocument::fromJson(first.readAll());
    first.close();
    ASSERT_TRUE(document.isObject());
    bool listed = false;
    for (const QJsonValue entry : document["windows"].toArray())
        listed = listed || entry["title"].toString() == "Map window";
    EXPECT_TRUE(listed);

    // Unchanged: the file is left as it is.
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(writer.WriteIfChanged());
    EXPECT_FALSE(QFileInfo::exists(path));
    window.setWindowTitle("Renamed");
    ASSERT_TRUE(writer.WriteIfChanged());
    EXPECT_TRUE(QFileInfo::exists(path));
}

} // namespace
} // namespace lumo::ui::testing
