#pragma once

#include <QApplication>
#include <QCursor>
#include <QList>
#include <QObject>
#include <QUrl>

namespace lumo::ui::testing {

// Records what reaches the desktop, and the cursor it was asked under. Hand it to
// QDesktopServices::setUrlHandler(scheme, &recorder, "Open").
class UrlRecorder : public QObject {
    Q_OBJECT

public:
    QList<QUrl> urls;
    QList<bool> underWaitCursor;

public slots:
    void Open(const QUrl& url)
    {
        urls.append(url);
        underWaitCursor.append(QApplication::overrideCursor() != nullptr &&
                               QApplication::overrideCursor()->shape() == Qt::WaitCursor);
    }
};

} // namespace lumo::ui::testing
