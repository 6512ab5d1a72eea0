#pragma once

// A read-only map of the program's visible windows and widgets, written for the end-to-end run
// when LUMORA_WIDGET_MAP names a file: child widgets are not X windows, so a driver that only has
// real X input finds buttons, texts and values here. The program reads nothing back.

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QTimer>

namespace lumo::ui {

// Every visible top-level window with its visible widgets: class, object name, text or value,
// enabled and checked, global rectangle, the titles of the boxes around it; and the canvas's
// global rectangle.
QJsonObject DescribeWidgets();

class WidgetMapWriter : public QObject {
public:
    // Writes to path, at most every intervalMs and only when the map changed, through a temporary
    // file renamed over it, so a reader never sees half a map.
    explicit WidgetMapWriter(const QString& path, int intervalMs = 100, QObject* parent = nullptr);

    // Writes now when the map changed; false when the file could not be written.
    bool WriteIfChanged();

    // The writer the environment asks for (LUMORA_WIDGET_MAP), or none.
    static WidgetMapWriter* StartFromEnvironment(QObject* parent);

private:
    QString m_path;
    QByteArray m_written;
    QTimer m_timer;
};

} // namespace lumo::ui
