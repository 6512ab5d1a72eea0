#include "TextDrawing.h"

#include "DrawableValues.h"
#include "LayerManager.h"
#include "Project.h"
#include "TextItem.h"

#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>

namespace lumo::app {

namespace {

QString TextOf(const TextItem& item, const ImageLayer* foreground)
{
    switch (item.UseOption()) {
    case TextUseFilename:
        return foreground ? QFileInfo(foreground->Path()).fileName() : QString();
    case TextUseFilePath:
        return foreground ? foreground->Path() : QString();
    case TextUseCustom:
        break;
    }
    return QString::fromUtf8(QByteArray::fromBase64(item.TextString()));
}

} // namespace

void DrawTextItems(const QUuid& foregroundId, QImage& image, const std::shared_ptr<Project>& project)
{
    if (!project || image.isNull())
        return;
    const LayerManagerPtr manager = project->GetLayerManager();
    if (!manager)
        return;
    const ForegroundImageLayerSettingsPtr settings = manager->GetForegroundSettings(foregroundId);
    if (!settings)
        return;
    const ForegroundImageLayerPtr foreground = foregroundId.isNull() ? nullptr : manager->GetForeground(foregroundId);

    const int halfWidth = static_cast<int>((image.width() - 2 * kExportMargin) * 0.5);
    const int halfHeight = static_cast<int>((image.height() - 2 * kExportMargin) * 0.5);

    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    painter.setBrush(Qt::NoBrush);
    const TextList& texts = settings->TextItems();
    for (auto it = texts.Begin(); it != texts.End(); ++it) {
        const TextItem& item = **it;
        if (!item.IsEnabled())
            continue;
        // The item's numbers as they can be drawn: a file may hold any.
        QTransform transform;
        transform.translate(kExportMargin, kExportMargin);
        transform.translate(halfWidth, halfHeight);
        transform.translate(drawable::CanvasFraction(item.Position().x()) * halfWidth,
                            drawable::CanvasFraction(item.Position().y()) * halfHeight);
        transform.rotate(drawable::Degrees(item.Angle()), Qt::ZAxis);
        painter.setTransform(transform);

        QFont font(item.FontName(), drawable::FontSize(item.FontSize()), -1, false);
        font.setStyleStrategy(QFont::PreferAntialias);
        font.setBold(item.IsBold());
        font.setItalic(item.IsItalic());
        font.setUnderline(item.IsUnderlined());

        const QString text = TextOf(item, foreground.get());
        int flags = Qt::AlignLeft;
        if (item.TextAlignment() == TextAlignmentCentre)
            flags = Qt::AlignHCenter | Qt::AlignVCenter;
        else if (item.TextAlignment() == TextAlignmentRight)
            flags = Qt::AlignRight;

        painter.setPen(item.FontColor());
        painter.setOpacity(drawable::Opacity(item.Opacity()));
        painter.setFont(font);
        // Measured for the image itself: its resolution, not the screen's, sets the glyphs' size.
        const QSizeF size = QFontMetricsF(font, &image).size(0, text);
        double left = 0.0;
        if (item.TextAlignment() == TextAlignmentCentre)
            left = -0.5 * size.width();
        else if (item.TextAlignment() == TextAlignmentRight)
            left = -size.width();
        painter.drawText(QRectF(left, 0.0, size.width(), size.height()), flags, text);
    }
    painter.end();
}

} // namespace lumo::app
