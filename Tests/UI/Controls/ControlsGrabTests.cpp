// Every control drawn with the program's style sheet, enabled beside disabled, saved for a person
// to look at (build/Tests/UI/grabs/controls-*.png).

#include "Grabs.h"
#include "LayoutCheck.h"
#include "UiTest.h"

#include "Controls/ButtonPopupMenu.h"
#include "Controls/Buttons.h"
#include "Controls/ColorPickerWidget.h"
#include "Controls/Container.h"
#include "Controls/DialControls.h"
#include "Controls/HueControls.h"
#include "Controls/SmallWidgets.h"
#include "Controls/TableWidget.h"
#include "Controls/TitleWidget.h"
#include "Controls/ValueControls.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <functional>

namespace lumo::ui::testing {
namespace {

using Builder = std::function<void(QVBoxLayout*)>;

QWidget* Row(const std::vector<QWidget*>& widgets)
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    for (QWidget* widget : widgets)
        layout->addWidget(widget);
    return row;
}

class ControlsGrabTest : public UiTest {
protected:
    // The controls built twice, enabled at the left and disabled at the right, on the toolbox's
    // background under the program's style sheet.
    static QImage GrabBothStates(const Builder& build, int width, const QString& name)
    {
        QWidget host;
        host.setObjectName(QStringLiteral("GrabHost"));
        host.setAttribute(Qt::WA_StyledBackground);
        host.setStyleSheet(App().ApplicationStyleSheet() +
                           QStringLiteral("#GrabHost { background: #1a1a1a; } #GrabHost > QLabel { color: #989898; }"));
        auto* grid = new QGridLayout(&host);
        grid->setContentsMargins(12, 12, 12, 12);
        grid->setHorizontalSpacing(24);
        for (int column = 0; column < 2; ++column) {
            auto* heading = new QLabel(column == 0 ? QStringLiteral("Enabled") : QStringLiteral("Disabled"), &host);
            grid->addWidget(heading, 0, column);
            auto* panel = new QWidget(&host);
            auto* layout = new QVBoxLayout(panel);
            layout->setContentsMargins(0, 0, 0, 0);
            layout->setSpacing(10);
            build(layout);
            layout->addStretch();
            panel->setFixedWidth(width);
            panel->setEnabled(column == 0);
            grid->addWidget(panel, 1, column);
        }
        host.show();
        ProcessEvents();
        host.adjustSize();
        ProcessEvents();
        ExpectSoundLayout(host, name);
        return host.grab().toImage();
    }
};

TEST_F(ControlsGrabTest, ValueDialAndHueControls)
{
    const QImage image = GrabBothStates(
        [](QVBoxLayout* layout) {
            auto* spinSlider = new SpinSlider(-100, 0, 100, nullptr);
            spinSlider->SetValue(35);
            layout->addWidget(spinSlider);
            auto* doubleSlider = new DoubleSpinSlider(nullptr, 0.0, 2.0, 1.0, 0.001, 0.01, 0.1);
            doubleSlider->SetValue(1.25);
            layout->addWidget(doubleSlider);
            auto* percent = new SpinSlider(0, 50, 100, nullptr);
            percent->SetSuffix(QStringLiteral("%"));
            layout->addWidget(percent);
            auto* hue = new HueSpinSlider(nullptr, 200.0);
            layout->addWidget(hue);
            auto* dial = new DoubleSpinDial(true, nullptr, true, 0.0, 359.99, 0.0);
            dial->SetValue(45.0);
            dial->SetSuffix(QString(QChar(0x00B0)));
            layout->addWidget(dial);
            auto* plainDial = new DoubleSpinDial(false, nullptr, true, 0.0, 359.99, 0.0);
            plainDial->SetValue(200.0);
            layout->addWidget(plainDial);
        },
        320, QStringLiteral("controls-values"));
    EXPECT_FALSE(SaveGrab(image, QStringLiteral("controls-values")).isEmpty());
}

TEST_F(ControlsGrabTest, ButtonsAndSmallWidgets)
{
    const QImage image = GrabBothStates(
        [](QVBoxLayout* layout) {
            layout->addWidget(Row({new ButtonDefault(QStringLiteral("Import..."), nullptr),
                                   new ButtonDefault(QIcon(QStringLiteral(":Icons/Plus.png")),
                                                     QStringLiteral("Add"), nullptr)}));
            auto* checked = new ButtonDefault(QStringLiteral("Checked"), nullptr);
            checked->setCheckable(true);
            checked->setChecked(true);
            layout->addWidget(Row({checked, new ButtonToolBar(QIcon(QStringLiteral(":Icons/FilterUp.png")), QString(), nullptr),
                                   new ButtonToolBar(QIcon(), QStringLiteral("Tool bar"), nullptr)}));
            layout->addWidget(new ButtonPopupMenu(QIcon(QStringLiteral(":Icons/OpenProject.png")),
                                                  QStringLiteral("Open recent"), QStringLiteral("foreground"), nullptr));
            // Pressed looks.
            auto* pressedPopup = new ButtonPopupMenu(QIcon(), QStringLiteral("Pressed"), QStringLiteral("layer"), nullptr);
            pressedPopup->ButtonPressed();
            auto* pressedButton = new ButtonDefault(QStringLiteral("Pressed"), nullptr);
            pressedButton->setDown(true);
            layout->addWidget(Row({pressedPopup, pressedButton}));
            layout->addWidget(Row({new ToolboxLabel(QStringLiteral("Canvas colour"), nullptr),
                                   new ColorPickerWidget(QColor(46, 139, 210), nullptr)}));
            auto* box = new CheckBox(QStringLiteral("Fit to canvas"), nullptr);
            box->setChecked(true);
            layout->addWidget(Row({box, new CheckBox(QStringLiteral("Keep aspect"), nullptr)}));
            auto* combo = new ComboBox(nullptr);
            combo->addItems({QStringLiteral("Fit inside the canvas"), QStringLiteral("Fill the canvas")});
            layout->addWidget(combo);
            auto* tabs = new TabWidget(nullptr);
            for (const char* name : {"Key", "Filters", "Masks"}) {
                auto* page = new QWidget;
                page->setMinimumHeight(30);
                tabs->addTab(page, QString::fromLatin1(name));
            }
            layout->addWidget(tabs);
            auto* table = new TableWidget(3, nullptr);
            table->setItemDelegateForColumn(1, new LineEditDelegate(table));
            const QStringList names = {QStringLiteral("Hair mask"), QStringLiteral("Glass"), QStringLiteral("Shoulder")};
            for (int row = 0; row < names.size(); ++row) {
                table->insertRow(row);
                table->setItem(row, 0, new QTableWidgetItem(QString::number(row + 1)));
                table->setItem(row, 1, new QTableWidgetItem(names[row]));
                table->setItem(row, 2, new QTableWidgetItem(QStringLiteral("on")));
            }
            table->setColumnWidth(0, 30);
            table->setColumnWidth(2, 40);
            table->selectRow(1);
            table->setFixedHeight(96);
            layout->addWidget(table);
        },
        320, QStringLiteral("controls-buttons"));
    EXPECT_FALSE(SaveGrab(image, QStringLiteral("controls-buttons")).isEmpty());
}

TEST_F(ControlsGrabTest, Containers)
{
    const QImage image = GrabBothStates(
        [](QVBoxLayout* layout) {
            auto* effect = new Container(QStringLiteral("Brightness"), 0x3C, nullptr);
            auto* body = new QVBoxLayout(effect->Body());
            body->setContentsMargins(10, 10, 10, 10);
            body->addWidget(new ToolboxLabel(QStringLiteral("Brightness"), nullptr));
            body->addWidget(new SpinSlider(-100, 0, 100, nullptr));
            layout->addWidget(effect);
            auto* key = new Container(QStringLiteral("Alpha blur"), 0x34, nullptr);
            new QVBoxLayout(key->Body());
            key->SetBodyState(true, false);
            layout->addWidget(key);
            auto* off = new Container(QStringLiteral("Saturation"), 0x3C, nullptr);
            new QVBoxLayout(off->Body());
            off->SetBodyState(false, false);
            layout->addWidget(off);
            auto* import = new Container(QStringLiteral("Foreground"), 0x70, nullptr);
            auto* importBody = new QVBoxLayout(import->Body());
            importBody->addWidget(new ToolboxLabel(QStringLiteral("portrait.jpg"), nullptr));
            layout->addWidget(import);
            layout->addWidget(new Container(QStringLiteral("Canvas size"), 0x04, nullptr));
            auto* title = new TitleWidget(nullptr, QStringLiteral("Export"), true, true, true, false, true, true);
            layout->addWidget(title);
            auto* exportBody = new BodyWidget(nullptr);
            auto* exportLayout = new QVBoxLayout(exportBody);
            exportLayout->addWidget(
                new ButtonDefault(QIcon(QStringLiteral(":/Icons/ImageExportedEnabled.png")), QStringLiteral("Export"), nullptr));
            layout->addWidget(exportBody);
        },
        300, QStringLiteral("controls-containers"));
    EXPECT_FALSE(SaveGrab(image, QStringLiteral("controls-containers")).isEmpty());
}

} // namespace
} // namespace lumo::ui::testing
