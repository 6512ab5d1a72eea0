#include "Window/WidgetMap.h"

#include "Canvas/CanvasView.h"
#include "Controls/Container.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QSpinBox>
#include <QTabBar>
#include <QTextEdit>

namespace lumo::ui {

namespace {

QJsonArray RectOf(const QWidget* widget)
{
    const QPoint topLeft = widget->mapToGlobal(QPoint(0, 0));
    return {topLeft.x(), topLeft.y(), widget->width(), widget->height()};
}

// The text or value a person reads on the widget; null when it shows none.
QJsonValue ValueOf(const QWidget* widget)
{
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (const auto* line = qobject_cast<const QLineEdit*>(widget))
        return line->text();
    if (const auto* spin = qobject_cast<const QSpinBox*>(widget))
        return spin->value();
    if (const auto* spin = qobject_cast<const QDoubleSpinBox*>(widget))
        return spin->value();
    if (const auto* spin = qobject_cast<const QAbstractSpinBox*>(widget))
        return spin->text();
    if (const auto* slider = qobject_cast<const QAbstractSlider*>(widget))
        return slider->value();
    if (const auto* combo = qobject_cast<const QComboBox*>(widget))
        return combo->currentText();
    if (const auto* text = qobject_cast<const QTextEdit*>(widget))
        return text->toPlainText();
    if (const auto* text = qobject_cast<const QPlainTextEdit*>(widget))
        return text->toPlainText();
    if (const auto* tabs = qobject_cast<const QTabBar*>(widget)) {
        QJsonArray names;
        for (int index = 0; index < tabs->count(); ++index)
            names.append(tabs->tabText(index));
        return QJsonObject{{"tabs", names}, {"current", tabs->currentIndex()}};
    }
    return QJsonValue();
}

// The titles of the group boxes, titled containers (the toolbox's boxes) and docks around a widget,
// innermost first.
QJsonArray BoxTitles(const QWidget* widget)
{
    QJsonArray titles;
    for (const QWidget* parent = widget->parentWidget(); parent != nullptr && !parent->isWindow();
         parent = parent->parentWidget()) {
        if (const auto* group = qobject_cast<const QGroupBox*>(parent); group && !group->title().isEmpty())
            titles.append(group->title());
        else if (const auto* container = qobject_cast<const Container*>(parent);
                 container && container->Title() != nullptr && container->Title()->TitleLabel() != nullptr)
            titles.append(container->Title()->TitleLabel()->text());
        else if (const auto* dock = qobject_cast<const QDockWidget*>(parent))
            titles.append(dock->windowTitle());
    }
    return titles;
}

// Where a slider's handle is, so that a driver can press on it and drag; as QSlider fills its own
// style option (initStyleOption is protected).
QJsonArray HandleRectOf(const QSlider* slider)
{
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.subControls = QStyle::SC_None;
    option.activeSubControls = QStyle::SC_None;
    option.orientation = slider->orientation();
    option.maximum = slider->maximum();
    option.minimum = slider->minimum();
    option.tickPosition = slider->tickPosition();
    option.tickInterval = slider->tickInterval();
    option.upsideDown = slider->orientation() == Qt::Horizontal
                            ? slider->invertedAppearance() != (option.direction == Qt::RightToLeft)
                            : !slider->invertedAppearance();
    option.direction = Qt::LeftToRight;
    option.sliderPosition = slider->sliderPosition();
    option.sliderValue = slider->value();
    option.singleStep = slider->singleStep();
    option.pageStep = slider->pageStep();
    const QRect handle = slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider);
    const QPoint topLeft = slider->mapToGlobal(handle.topLeft());
    return {topLeft.x(), topLeft.y(), handle.width(), handle.height()};
}

// The visible entries of a menu or a menu bar, each with its place on the screen.
template <class Menu>
QJsonArray ActionsOf(const Menu* menu)
{
    QJsonArray entries;
    for (QAction* action : menu->actions()) {
        if (action->isSeparator() || !action->isVisible())
            continue;
        const QRect place = menu->actionGeometry(action);
        const QPoint topLeft = menu->mapToGlobal(place.topLeft());
        entries.append(QJsonObject{{"text", action->text()},
                                   {"enabled", action->isEnabled()},
                                   {"rect", QJsonArray{topLeft.x(), topLeft.y(), place.width(), place.height()}}});
    }
    return entries;
}

void DescribeChildren(const QWidget* parent, QJsonArray& widgets, QJsonArray& canvas)
{
    for (const QObject* child : parent->children()) {
        const auto* widget = qobject_cast<const QWidget*>(child);
        if (widget == nullptr || widget->isWindow() || !widget->isVisible())
            continue;
        QJsonObject entry{{"class", QString::fromLatin1(widget->metaObject()->className())},
                          {"name", widget->objectName()},
                          {"enabled", widget->isEnabled()},
                          {"rect", RectOf(widget)}};
        if (const QJsonValue value = ValueOf(widget); !value.isNull())
            entry.insert("value", value);
        if (const auto* button = qobject_cast<const QAbstractButton*>(widget); button && button->isCheckable())
            entry.insert("checked", button->isChecked());
        if (const auto* slider = qobject_cast<const QSlider*>(widget)) {
            entry.insert("range", QJsonArray{slider->minimum(), slider->maximum()});
            entry.insert("handle", HandleRectOf(slider));
        }
        if (!widget->toolTip().isEmpty())
            entry.insert("tooltip", widget->toolTip());
        if (const auto* bar = qobject_cast<const QMenuBar*>(widget))
            entry.insert("actions", ActionsOf(bar));
        if (const QJsonArray boxes = BoxTitles(widget); !boxes.isEmpty())
            entry.insert("boxes", boxes);
        widgets.append(entry);
        if (const auto* view = qobject_cast<const CanvasView*>(widget); view && canvas.isEmpty())
            canvas = RectOf(view->viewport());
        DescribeChildren(widget, widgets, canvas);
    }
}

} // namespace

QJsonObject DescribeWidgets()
{
    QJsonArray windows;
    QJsonArray canvas;
    for (const QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->isVisible())
            continue;
        QJsonArray widgets;
        DescribeChildren(window, widgets, canvas);
        QJsonObject entry{{"class", QString::fromLatin1(window->metaObject()->className())},
                          {"name", window->objectName()},
                          {"title", window->windowTitle()},
                          {"active", window->isActiveWindow()},
                          {"rect", RectOf(window)},
                          {"widgets", widgets}};
        if (const auto* menu = qobject_cast<const QMenu*>(window))
            entry.insert("actions", ActionsOf(menu));
        windows.append(entry);
    }
    return QJsonObject{{"windows", windows}, {"canvas", canvas}};
}

WidgetMapWriter::WidgetMapWriter(const QString& path, int intervalMs, QObject* parent)
    : QObject(parent), m_path(path)
{
    m_timer.setInterval(intervalMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { WriteIfChanged(); });
    m_timer.start();
}

bool WidgetMapWriter::WriteIfChanged()
{
    const QByteArray map = QJsonDocument(DescribeWidgets()).toJson(QJsonDocument::Indented);
    if (map == m_written)
        return true;
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(map) != map.size() || !file.commit())
        return false;
    m_written = map;
    return true;
}

WidgetMapWriter* WidgetMapWriter::StartFromEnvironment(QObject* parent)
{
    const QString path = qEnvironmentVariable("LUMORA_WIDGET_MAP");
    return path.isEmpty() ? nullptr : new WidgetMapWriter(path, 100, parent);
}

} // namespace lumo::ui
