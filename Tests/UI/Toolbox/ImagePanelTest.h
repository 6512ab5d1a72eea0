#pragma once

// The import boxes and the layers panels over the default project in the real canvas view: HOME
// and the program's folder are temporary folders, image files are written on demand, and drops
// are built as a file manager sends them.

#include "CanvasTest.h"
#include "Grabs.h"
#include "RefreshSignals.h"

#include "Shell/Settings.h"

#include "ForegroundImageLayer.h"
#include "LayerManager.h"

#include <QMimeData>
#include <QSignalSpy>
#include <QUrl>
#include <QVBoxLayout>

#include <memory>

namespace lumo::ui::testing {

using hvn::image::HXDownsampleFactor;
using hvn::image::HXDownsampleFactor0;

class ImagePanelTest : public CanvasTest {
protected:
    void SetUp() override
    {
        CanvasTest::SetUp();
        ASSERT_TRUE(files.isValid() && home.isValid() && programFolder.isValid());
        m_oldHome = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(home.path()));
        SetApplicationDirectory(programFolder.path());
        manager = CurrentProject()->GetLayerManager();
        view.show();
        host = std::make_unique<QWidget>();
        host->setObjectName(QStringLiteral("PanelHost"));
        host->setAttribute(Qt::WA_StyledBackground);
        host->setStyleSheet(App().ApplicationStyleSheet() + QStringLiteral("#PanelHost { background: #1a1a1a; }"));
        m_hostLayout = new QVBoxLayout(host.get());
        m_hostLayout->setContentsMargins(8, 8, 8, 8);
        host->setFixedWidth(380);
        layerRefreshes = std::make_unique<QSignalSpy>(&App(), kLayerSignal);
        canvasRefreshes = std::make_unique<QSignalSpy>(&App(), kCanvasSignal);
    }

    void TearDown() override
    {
        layerRefreshes.reset();
        canvasRefreshes.reset();
        host.reset();
        qputenv("HOME", m_oldHome);
        CanvasTest::TearDown();
    }

    template <class Panel>
    Panel* Show(Panel* panel)
    {
        m_hostLayout->addWidget(panel);
        host->show();
        ProcessEvents();
        return panel;
    }

    // A photograph of one colour in the files folder.
    QString WriteImage(const QString& name, int width = 160, int height = 120, QRgb colour = qRgb(60, 150, 200))
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(colour);
        const QString path = files.filePath(name);
        EXPECT_TRUE(image.save(path)) << path.toStdString();
        return path;
    }

    // Text that only claims to be a picture.
    QString WriteNotAnImage(const QString& name)
    {
        const QString path = files.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a picture");
        return path;
    }

    static std::unique_ptr<QMimeData> Drop(const QStringList& paths)
    {
        auto data = std::make_unique<QMimeData>();
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls.append(QUrl::fromLocalFile(path));
        data->setUrls(urls);
        return data;
    }

    static QStringList RecentList(const QString& key)
    {
        ProgramSettings settings;
        return settings.value(QStringLiteral("RecentFolders/") + key).toStringList();
    }

    app::ImageLayerPtr CurrentForeground() const
    {
        return manager->CurrentForegroundId().isNull() ? nullptr : manager->GetForeground(manager->CurrentForegroundId());
    }

    QTemporaryDir files;
    QTemporaryDir home;
    QTemporaryDir programFolder;
    app::LayerManagerPtr manager;
    std::unique_ptr<QWidget> host;
    std::unique_ptr<QSignalSpy> layerRefreshes;
    std::unique_ptr<QSignalSpy> canvasRefreshes;

private:
    QVBoxLayout* m_hostLayout = nullptr;
    QByteArray m_oldHome;
};

} // namespace lumo::ui::testing
