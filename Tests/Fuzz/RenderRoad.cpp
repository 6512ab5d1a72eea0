#include "RenderRoad.h"

#include "FilterItems.h"
#include "ForegroundImageLayer.h"
#include "KeyItems.h"
#include "LayerManager.h"
#include "Mask.h"
#include "Project.h"
#include "RenderProcessor.h"
#include "TextItem.h"
#include "TransformItems.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QPainter>

#include <sys/stat.h>

#include <array>
#include <cstdint>

namespace lumo::fuzz {

using namespace lumo::app;

namespace {

constexpr int kPhotoWidth = 64;
constexpr int kPhotoHeight = 48;
const QRect kWindow(0, 0, 320, 240);
// Larger exports are not attempted: a file can ask for any canvas, and an export of billions of
// pixels is the program doing as asked, not a fault.
constexpr qint64 kExportBudget = qint64(4) << 20;

QImage Photo()
{
    QImage image(kPhotoWidth, kPhotoHeight, QImage::Format_ARGB32);
    image.fill(QColor(40, 200, 60));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(210, 150, 120));
    painter.drawEllipse(QRectF(18, 8, 28, 36));
    return image;
}

std::uint32_t Crc32(const char* data, qsizetype size)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (qsizetype i = 0; i < size; ++i) {
        crc ^= static_cast<unsigned char>(data[i]);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A PNG whose pHYs chunk claims 2^31 pixels a metre each way: more than a signed 32-bit number
// holds, so a reader sees a negative density.
QByteArray DensePng(const QImage& image)
{
    QImage dense = image;
    dense.setDotsPerMeterX(1);
    dense.setDotsPerMeterY(1);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    dense.save(&buffer, "PNG");
    const qsizetype chunk = bytes.indexOf("pHYs");
    if (chunk < 4)
        return QByteArray();
    const char value[4] = {'\x80', 0, 0, 0};
    bytes.replace(chunk + 4, 4, value, 4);
    bytes.replace(chunk + 8, 4, value, 4);
    const std::uint32_t crc = Crc32(bytes.constData() + chunk, 4 + 9);
    const char crcBytes[4] = {char(crc >> 24), char(crc >> 16), char(crc >> 8), char(crc)};
    bytes.replace(chunk + 13, 4, crcBytes, 4);
    return bytes;
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// A layer's photo as the program reads one: only a plain file, within the import limit. A photo
// that cannot be read makes the layer offline, as the program marks a missing file.
void LoadPhoto(RenderProcessor& processor, const ImageLayerPtr& layer)
{
    if (!layer || layer->Path().isEmpty() || !layer->IsValid())
        return;
    QImage image;
    if (QFileInfo(layer->Path()).isFile()) {
        QImageReader reader(layer->Path());
        if (reader.size().isValid() && qint64(reader.size().width()) * reader.size().height() <= kExportBudget)
            image = reader.read();
    }
    if (image.isNull() || processor.SetLayer(layer, image) != LMerrSuccess)
        layer->SetOffline(true);
}

bool WithinBudget(const Project& project)
{
    const Canvas& canvas = project.GetCanvas();
    return qint64(canvas.Width()) * canvas.Height() <= kExportBudget;
}

} // namespace

RenderRoad::RenderRoad()
{
    if (!m_folder.isValid())
        return;
    const QImage photo = Photo();
    const QByteArray dense = DensePng(photo);
    m_ready = photo.save(m_folder.filePath(QStringLiteral("photo.png"))) &&
              photo.save(m_folder.filePath(QStringLiteral("other.png"))) && !dense.isEmpty() &&
              WriteFile(m_folder.filePath(QStringLiteral("dense.png")), dense) &&
              mkfifo(QFile::encodeName(m_folder.filePath(QStringLiteral("fifo.png"))).constData(), 0600) == 0;
}

RoadOutcome RenderRoad::Run(const QByteArray& bytes, const std::function<void(Project&)>& edit)
{
    // Opening a project makes its folder current; the caller's own relative paths (libFuzzer
    // reads its corpus by them) must keep working.
    struct WorkingDirectory {
        const QString saved = QDir::currentPath();
        ~WorkingDirectory() { QDir::setCurrent(saved); }
    } const workingDirectory;

    RoadOutcome outcome;
    const QString path = m_folder.filePath(QStringLiteral("input.lumo4"));
    if (!WriteFile(path, bytes))
        return outcome;
    LMerr result = LMerrSuccess;
    // Opening makes the file's folder current, so the photos' relative paths name the folder's.
    const auto project = std::make_shared<Project>(path, result);
    outcome.load = result;
    if (result != LMerrSuccess)
        return outcome;
    if (edit)
        edit(*project);

    Canvas& canvas = project->GetCanvas();
    canvas.SetCentre(kWindow.width() / 2, kWindow.height() / 2);
    RenderProcessor processor(project, hvn::image::HXPixelChannelOrderBGRA, kWindow, result);
    const LayerManagerPtr manager = project->GetLayerManager();
    const ForegroundImageLayerPtr current = manager->GetForeground(manager->CurrentForegroundId());
    LoadPhoto(processor, current);
    LoadPhoto(processor, manager->GetBackground());
    LoadPhoto(processor, manager->GetOverlay());

    QImage image;
    outcome.canvasFull = processor.RenderCanvasImage(hvn::image::HXDownsampleFactor0, image);
    outcome.canvasPreview = processor.RenderCanvasImage(hvn::image::HXDownsampleFactor3, image);

    if (!WithinBudget(*project))
        return outcome;
    processor.RemoveCacheBeforeExport();
    outcome.exportCurrent = processor.RenderExportImage(manager->CurrentForegroundId(), image);
    const std::shared_ptr<ForegroundImageLayerList> foregrounds = manager->ForegroundLayerList();
    for (auto it = foregrounds->ConstBegin(); it != foregrounds->ConstEnd(); ++it) {
        if (it->first != manager->CurrentForegroundId()) {
            outcome.exportOther = processor.RenderExportImage(it->first, image);
            break;
        }
    }
    processor.RestoreCacheAfterExport();
    return outcome;
}

QByteArray MakeBaseProject()
{
    LMerr result = LMerrSuccess;
    auto project = std::make_shared<Project>(result);
    Canvas& canvas = project->GetCanvas();
    canvas.SetDimensionType(CanvasDimensionCustom);
    canvas.SetDimensions(160, 120);
    canvas.SetActualDimensions(160, 120);
    canvas.SetScale(0.5f);
    canvas.SetUseCanvasColor(true);
    canvas.SetCanvasColor(QColor(30, 60, 120));
    const LayerManagerPtr manager = project->GetLayerManager();
    const auto photo = std::make_shared<ForegroundImageLayer>(QStringLiteral("photo"), QStringLiteral("photo.png"));
    const auto other = std::make_shared<ForegroundImageLayer>(QStringLiteral("other"), QStringLiteral("other.png"));
    manager->AddForegroundLayer(photo);
    manager->AddForegroundLayer(other);
    manager->SetCurrentForegroundId(photo->Id());

    ForegroundImageLayerSettings& settings = *manager->GetForegroundSettings();
    if (const auto placement =
            FindItemOfType<TransformationTransformItem>(settings.Transforms(), TransformItemTypeTransformation)) {
        placement->SetTranslateX(0.125);
        placement->SetTranslateY(-0.0625);
        placement->SetScaleX(0.75);
        placement->SetScaleY(0.875);
        placement->SetRotation(12.5);
    }
    if (const auto crop = FindItemOfType<CropKeyItem>(settings.Keys(), KeyItemTypeCrop)) {
        crop->SetEnabled(true);
        crop->SetLeft(0.0625);
        crop->SetRight(0.03125);
    }
    if (const auto lightSpill = FindItemOfType<LightSpillKeyItem>(settings.Keys(), KeyItemTypeLightSpill))
        lightSpill->SetBlur(12.5);
    auto shadow = std::make_shared<ShadowCastFilterItem>(hvn::image::HXShadowCastShapeRight, 3u, 0.25,
                                                         QColor(10, 10, 10), hvn::image::HXBlendModeMultiply);
    shadow->SetShadowQuad(hvn::maths::HXQuadF({61.5, 24.25}, {93.75, 24.5}, {60.25, 47.5}, {4.75, 47.25}));
    settings.Filters().Add(shadow);

    auto mask = std::make_shared<Mask>(QStringLiteral("Mask #1"), true, false, true, true, 5, 1.25f, 0.5f);
    mask->Add(std::make_shared<MaskHandle>(QPointF(2.5, 3.5)));
    mask->Add(std::make_shared<DualControlMaskHandle>(QPointF(30.5, 5.5), QPointF(-4, 2), QPointF(4, -2)));
    mask->Add(std::make_shared<MonoControlMaskHandle>(QPointF(20.5, 30.5), QPointF(6, 6)));
    settings.Masks().Add(mask);
    auto text = std::make_shared<TextItem>();
    text->SetTextItemName(QStringLiteral("Text #1"));
    text->SetTextString(QByteArray("Lumora").toBase64());
    text->SetFontName(QStringLiteral("DejaVu Sans"));
    text->SetFontSize(24);
    text->SetPosition(QPointF(-0.375, 0.625));
    text->SetAngle(7.5);
    settings.TextItems().Add(text);

    const QString path = QDir::temp().filePath(QStringLiteral("lumora-render-road-base.lumo4"));
    if (project->SaveToXml(path, QStringLiteral("4.1.0004"), QStringLiteral("4.0")) != LMerrSuccess)
        return QByteArray();
    QFile file(path);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    QFile::remove(path);
    return bytes;
}

QByteArray Mutated(const QByteArray& base, const RoadCase& roadCase)
{
    if (roadCase.from.isEmpty())
        return base;
    const qsizetype at = base.indexOf(roadCase.from);
    if (at < 0 || base.indexOf(roadCase.from, at + 1) >= 0)
        return QByteArray();
    return QByteArray(base).replace(at, roadCase.from.size(), roadCase.to);
}

const std::vector<RoadCase>& RoadCases()
{
    // Loads, renders and both exports succeed.
    constexpr RoadOutcome ok{0, 0, 0, 0, 0};
    // "nan" and infinities are no numbers of a project file.
    constexpr RoadOutcome refused{LMerrInvalidData};
    static const QByteArray manyAttributes = [] {
        QByteArray tag = "<canvas";
        for (int i = 0; i < 1000; ++i)
            tag += " a" + QByteArray::number(i) + "=\"\"";
        return tag + ">";
    }();
    static const std::vector<RoadCase> cases{
        {"base", {}, {}, ok},
        // The foreground's placement.
        {"layer-scale-nan", "<scaleX>0.75</scaleX>", "<scaleX>nan</scaleX>", refused},
        {"layer-scale-huge", "<scaleX>0.75</scaleX>", "<scaleX>1e300</scaleX>", ok},
        {"layer-scale-zero", "<scaleY>0.875</scaleY>", "<scaleY>0</scaleY>", ok},
        {"layer-translation-huge", "<translateX>0.125</translateX>", "<translateX>1e300</translateX>", ok},
        {"layer-rotation-huge", "<rotation>12.5</rotation>", "<rotation>-1e300</rotation>", ok},
        // The canvas.
        {"canvas-scale-nan", "<scale>0.5</scale>", "<scale>nan</scale>", refused},
        {"canvas-scale-infinite", "<scale>0.5</scale>", "<scale>inf</scale>", refused},
        {"canvas-scale-huge", "<scale>0.5</scale>", "<scale>3.4e38</scale>", ok},
        {"canvas-scale-zero", "<scale>0.5</scale>", "<scale>0</scale>", ok},
        {"canvas-scale-negative", "<scale>0.5</scale>", "<scale>-2</scale>", ok},
        {"canvas-position-max", "<positionX>0</positionX>", "<positionX>2147483647</positionX>", ok},
        // The cast shadow and the crop it starts from.
        {"shadow-quad-nan", "<topLeftX>61.5</topLeftX>", "<topLeftX>nan</topLeftX>", refused},
        {"shadow-quad-huge", "<topLeftX>61.5</topLeftX>", "<topLeftX>1e300</topLeftX>", ok},
        {"crop-beyond-the-image", "<left>0.0625</left>", "<left>-3</left>", ok},
        {"crop-huge", "<right>0.03125</right>", "<right>1e300</right>", ok},
        // The light wrap, the mask, the text.
        {"light-wrap-blur-huge", "<blur>12.5</blur>", "<blur>1e300</blur>", ok},
        {"mask-scale-nan", "<scale>1.25</scale>", "<scale>nan</scale>", refused},
        {"mask-scale-huge", "<scale>1.25</scale>", "<scale>3.4e38</scale>", ok},
        {"mask-zoom-zero", "<zoom>0.5</zoom>", "<zoom>0</zoom>", ok},
        {"mask-feather-min", "<feather>5</feather>", "<feather>-2147483648</feather>", ok},
        {"mask-point-huge", "<positionX>30.5</positionX>", "<positionX>1e300</positionX>", ok},
        {"text-size-max", "<fontSize>24</fontSize>", "<fontSize>2147483647</fontSize>", ok},
        {"text-position-huge", "<positionX>-0.375</positionX>", "<positionX>-1e300</positionX>", ok},
        {"text-angle-huge", "<angle>7.5</angle>", "<angle>1e300</angle>", ok},
        // Photographs: a density beyond 32 bits, a fifo (current: offline; exported: 38).
        {"photo-density-2-31", "<path><![CDATA[other.png]]>", "<path><![CDATA[dense.png]]>", ok},
        {"photo-fifo-exported", "<path><![CDATA[other.png]]>", "<path><![CDATA[fifo.png]]>",
         {0, 0, 0, 0, LMerrExportRender}},
        {"photo-fifo-current", "<path><![CDATA[photo.png]]>", "<path><![CDATA[fifo.png]]>", ok},
        // Values only a file holds, kept as read.
        {"foreground-of-type-0", "<type>1</type><name><![CDATA[photo]]>", "<type>0</type><name><![CDATA[photo]]>", ok},
        {"page-size-unknown", "<printerPageSize>30</printerPageSize>", "<printerPageSize>99</printerPageSize>", ok},
        {"mask-mode-unknown", "<currentMaskMode>0</currentMaskMode>", "<currentMaskMode>7</currentMaskMode>", ok},
        // Files that would cost the parser seconds and gigabytes.
        {"entity-expansion", "<project>", "<!DOCTYPE project [<!ENTITY e \"" + QByteArray(4000, 'x') + "\">]><project>",
         {LMerrXmlParse}},
        {"attributes-1000", "<canvas>", manyAttributes, {LMerrXmlParse}},
    };
    return cases;
}

} // namespace lumo::fuzz
