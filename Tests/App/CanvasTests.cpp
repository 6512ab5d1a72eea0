#include "Canvas.h"
#include "Exif.h"
#include "ExportSettings.h"

#include "XmlTestUtils.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace lumo::app;
using lumo::test::LoadItem;
using lumo::test::WriteItem;

namespace {

// Mandatory canvas values; `extra` adds optional ones, `replace` swaps one text for another.
QString CanvasProject(const QString& extra, const QString& from = QString(), const QString& to = QString())
{
    QString canvas = QStringLiteral("<canvas><canvasDimensionType>3</canvasDimensionType><width>1200</width>"
                                    "<height>1800</height><positionX>-4</positionX><positionY>9</positionY>"
                                    "<scale>0.25</scale><orientation>0</orientation><dpi>300</dpi>%1</canvas>")
                         .arg(extra);
    if (!from.isEmpty())
        canvas.replace(from, to);
    return QStringLiteral("<project>%1</project>").arg(canvas);
}

Canvas SizedCanvas(unsigned width, unsigned height, int centreX, int centreY, float scale, int x, int y)
{
    Canvas canvas;
    canvas.SetDimensions(width, height);
    canvas.SetCentre(centreX, centreY);
    canvas.SetScale(scale);
    canvas.SetPosition(x, y);
    return canvas;
}

} // namespace

TEST(Canvas, TransformsPlaceTheCanvasInTheWorkspace)
{
    const struct {
        unsigned width, height;
        int centreX, centreY;
        float scale;
        int x, y;
        QRect rect;
    } cases[] = {
        {1200, 1800, 500, 400, 0.25f, 0, 0, QRect(350, 175, 300, 450)},
        {1201, 1801, 0, 0, 1.0f, 0, 0, QRect(-600, -900, 1201, 1801)}, // odd sides: the half is truncated
        {200, 100, 0, 0, 0.5f, 100, -40, QRect(0, -45, 100, 50)},
        {400, 400, 10, 20, 2.0f, -3, 5, QRect(-396, -370, 800, 800)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
        const Canvas canvas = SizedCanvas(c.width, c.height, c.centreX, c.centreY, c.scale, c.x, c.y);
        EXPECT_EQ(canvas.GetTransformedRect(), c.rect);
        // A canvas point p lands at centre + scale * (p + position).
        const QPointF p(10, -20);
        EXPECT_EQ(canvas.GetTransform().map(p),
                  QPointF(c.centreX + c.scale * (p.x() + c.x), c.centreY + c.scale * (p.y() + c.y)));
        EXPECT_EQ(canvas.WorkspaceTransform(hvn::image::HXDownsampleFactor0), canvas.GetTransform());
    }
}

TEST(Canvas, WorkspaceTransformTruncatesTheScaledOffsets)
{
    const Canvas canvas = SizedCanvas(100, 100, 501, 403, 0.5f, -7, 9);
    const struct {
        hvn::image::HXDownsampleFactor factor;
        QPointF origin; // where canvas point (0, 0) lands
    } cases[] = {
        // 0.25: centre (125.25, 100.75) -> (125, 100), position (-1.75, 2.25) -> (-1, 2).
        {hvn::image::HXDownsampleFactor3, QPointF(125 + 0.5 * -1, 100 + 0.5 * 2)},
        // 0.5: centre (250.5, 201.5) -> (250, 201), position (-3.5, 4.5) -> (-3, 4).
        {hvn::image::HXDownsampleFactor2, QPointF(250 + 0.5 * -3, 201 + 0.5 * 4)},
        {hvn::image::HXDownsampleFactor0, QPointF(501 + 0.5 * -7, 403 + 0.5 * 9)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.factor);
        const QTransform transform = canvas.WorkspaceTransform(c.factor);
        EXPECT_EQ(transform.map(QPointF(0, 0)), c.origin);
        EXPECT_EQ(transform.m11(), 0.5);
    }
}

TEST(Canvas, RoundTripKeepsEveryStoredValueButNotTheCentre)
{
    Canvas canvas = SizedCanvas(1201, 1799, 33, 44, 0.400000006f, -12, 7);
    canvas.SetPrinterPageSize(PageSizeLetter);
    canvas.SetDimensionType(CanvasDimensionForeground);
    canvas.SetActualDimensions(2402, 1799);
    canvas.SetOrientation(CanvasOrientationLandscape);
    canvas.SetDPI(300);
    canvas.SetPrintAsCard(true);
    canvas.SetUseCanvasColor(true);
    canvas.SetCanvasColor(QColor(0, 128, 255));

    const QString xml = WriteItem(canvas);
    Canvas loaded;
    ASSERT_EQ(LoadItem(loaded, QStringLiteral("<project>%1</project>").arg(xml)), 0);
    EXPECT_EQ(loaded.PrinterPageSize(), PageSizeLetter);
    EXPECT_EQ(loaded.DimensionType(), CanvasDimensionForeground);
    EXPECT_EQ(loaded.Width(), 1201u);
    EXPECT_EQ(loaded.ActualWidth(), 2402u);
    EXPECT_EQ(loaded.Scale(), 0.400000006f);
    EXPECT_EQ(loaded.PositionX(), -12);
    EXPECT_EQ(loaded.CanvasColor(), QColor(0, 128, 255));
    EXPECT_EQ(loaded.CentreX(), 0);
    EXPECT_EQ(WriteItem(loaded).toStdString(), xml.toStdString());
    EXPECT_TRUE(xml.contains(QLatin1String("<printerPageSize>2</printerPageSize>")));
}

TEST(Canvas, OptionalValuesFallBack)
{
    Canvas bare;
    ASSERT_EQ(LoadItem(bare, CanvasProject(QString())), 0);
    EXPECT_EQ(bare.ActualWidth(), 1200u);
    EXPECT_EQ(bare.ActualHeight(), 1800u);
    EXPECT_EQ(bare.PrinterPageSize(), PageSizeCustom);
    EXPECT_EQ(bare.CanvasColor(), QColor(Qt::white));
    EXPECT_FALSE(bare.PrintAsCard());
    EXPECT_FALSE(bare.UseCanvasColor());
    EXPECT_EQ(bare.Orientation(), CanvasOrientationLandscape);
    EXPECT_EQ(bare.DPI(), 300);

    const struct {
        const char* name;
        QString extra;
        PageSize pageSize;
        QColor color;
        bool card;
    } cases[] = {
        {"page size A5", QStringLiteral("<printerPageSize>9</printerPageSize>"), PageSizeA5, Qt::white, false},
        {"unknown page size, kept as read", QStringLiteral("<printerPageSize>31</printerPageSize>"), PageSize(31),
         Qt::white, false},
        {"negative page size", QStringLiteral("<printerPageSize>-4</printerPageSize>"), PageSize(-4), Qt::white,
         false},
        {"unreadable card flag", QStringLiteral("<printAsCard>true</printAsCard>"), PageSizeCustom, Qt::white, false},
        {"colour", QStringLiteral("<canvasColor red=\"1\" green=\"2\" blue=\"3\"/>"), PageSizeCustom,
         QColor(1, 2, 3), false},
        {"colour without blue", QStringLiteral("<canvasColor red=\"1\" green=\"2\"/>"), PageSizeCustom, Qt::white,
         false},
        {"negative channel", QStringLiteral("<canvasColor red=\"-1\" green=\"2\" blue=\"3\"/>"), PageSizeCustom,
         Qt::white, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Canvas canvas;
        ASSERT_EQ(LoadItem(canvas, CanvasProject(c.extra)), 0);
        EXPECT_EQ(canvas.PrinterPageSize(), c.pageSize);
        EXPECT_EQ(canvas.CanvasColor(), c.color);
        EXPECT_EQ(canvas.PrintAsCard(), c.card);
        EXPECT_TRUE(WriteItem(canvas).contains(QStringLiteral("<printerPageSize>%1<").arg(int(c.pageSize))));
    }
}

TEST(Canvas, InvalidValuesFailTheLoad)
{
    const struct {
        const char* name;
        QString xml;
    } cases[] = {
        {"red 300", CanvasProject(QStringLiteral("<canvasColor red=\"300\" green=\"0\" blue=\"0\"/>"))},
        {"dimension type 4", CanvasProject(QString(), QStringLiteral(">3<"), QStringLiteral(">4<"))},
        {"orientation 2", CanvasProject(QString(), QStringLiteral("<orientation>0"), QStringLiteral("<orientation>2"))},
        {"width with a blank", CanvasProject(QString(), QStringLiteral(">1200<"), QStringLiteral("> 1200<"))},
        {"no dpi", CanvasProject(QString(), QStringLiteral("<dpi>300</dpi>"), QStringLiteral(" "))},
        {"no canvas", QStringLiteral("<project/>")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Canvas canvas;
        EXPECT_EQ(LoadItem(canvas, c.xml), 4);
    }
}

TEST(Canvas, PageSizesMapThroughOneTable)
{
    EXPECT_EQ(ToQPageSizeId(PageSizeA4), QPageSize::A4);
    EXPECT_EQ(ToQPageSizeId(PageSizeB5), QPageSize::B5);
    EXPECT_EQ(ToQPageSizeId(PageSizeLetter), QPageSize::Letter);
    EXPECT_EQ(ToQPageSizeId(PageSizeA5), QPageSize::A5);
    EXPECT_EQ(ToQPageSizeId(PageSizeTabloid), QPageSize::Tabloid);
    EXPECT_EQ(ToQPageSizeId(PageSizeCustom), QPageSize::Custom);
    for (int number = 0; number <= PageSizeCustom; ++number) {
        const auto size = PageSizeFromNumber(number);
        ASSERT_TRUE(size.has_value());
        EXPECT_EQ(FromQPageSizeId(ToQPageSizeId(*size)), *size);
    }
    EXPECT_FALSE(PageSizeFromNumber(-1).has_value());
    EXPECT_FALSE(PageSizeFromNumber(31).has_value());
    // Numbers only a file can hold print on a custom page.
    EXPECT_EQ(ToQPageSizeId(PageSize(31)), QPageSize::Custom);
    EXPECT_EQ(ToQPageSizeId(PageSize(-4)), QPageSize::Custom);
    EXPECT_EQ(FromQPageSizeId(QPageSize::Imperial7x9), PageSizeCustom);
}

TEST(ExportSettings, RoundTripAndValidation)
{
    ExportSettings settings;
    EXPECT_EQ(settings.Format(), ExportFormatPng);
    EXPECT_EQ(settings.Quality(), 100);
    settings.SetFormat(ExportFormatJpg);
    settings.SetQuality(85);
    settings.SetPath(L"/home/user/Exports & <more>");
    settings.SetPrefix(L"pre");
    settings.SetSuffix(L"");
    settings.SetCodecCollapsed(true);

    const QString xml = WriteItem(settings);
    ExportSettings loaded;
    ASSERT_EQ(LoadItem(loaded, QStringLiteral("<project>%1</project>").arg(xml)), 0);
    EXPECT_EQ(loaded.Format(), ExportFormatJpg);
    EXPECT_EQ(loaded.Quality(), 85);
    EXPECT_EQ(loaded.Path(), L"/home/user/Exports & <more>");
    EXPECT_EQ(loaded.Prefix(), L"pre");
    EXPECT_TRUE(loaded.IsCodecCollapsed());
    EXPECT_FALSE(loaded.IsSelectionCollapsed());
    EXPECT_EQ(WriteItem(loaded).toStdString(), xml.toStdString());

    const auto withValue = [&](const char* from, const char* to) {
        QString changed = QStringLiteral("<project>%1</project>").arg(xml);
        changed.replace(QLatin1String(from), QLatin1String(to));
        return changed;
    };
    ExportSettings check;
    EXPECT_EQ(LoadItem(check, withValue("<format>4<", "<format>5<")), 4);
    EXPECT_EQ(LoadItem(check, withValue("<format>4<", "<format>-1<")), 4);
    EXPECT_EQ(LoadItem(check, withValue("<prefix>", "<other>").replace(QLatin1String("</prefix>"), QLatin1String("</other>"))), 4);
    ASSERT_EQ(LoadItem(check, withValue("<quality>85<", "<quality>250<")), 0);
    EXPECT_EQ(check.Quality(), 250) << "quality is not range-checked";
    ASSERT_EQ(LoadItem(check, withValue("<format>4<", "<format>0<")), 0);
    EXPECT_EQ(check.Format(), ExportFormatUnused0);
}

// EXIF orientation, read from small photos made here.

namespace {

enum class ByteOrder { Intel, Motorola };

void Put16(QByteArray& out, quint16 value, ByteOrder order)
{
    if (order == ByteOrder::Intel)
        out.append(char(value & 0xFF)).append(char(value >> 8));
    else
        out.append(char(value >> 8)).append(char(value & 0xFF));
}

void Put32(QByteArray& out, quint32 value, ByteOrder order)
{
    if (order == ByteOrder::Intel) {
        Put16(out, quint16(value & 0xFFFF), order);
        Put16(out, quint16(value >> 16), order);
    } else {
        Put16(out, quint16(value >> 16), order);
        Put16(out, quint16(value & 0xFFFF), order);
    }
}

// A TIFF block with IFD0 holding one SHORT entry.
QByteArray TiffBlock(ByteOrder order, quint16 tag, quint16 value)
{
    QByteArray tiff(order == ByteOrder::Intel ? "II" : "MM");
    Put16(tiff, 42, order);
    Put32(tiff, 8, order);
    Put16(tiff, 1, order);
    Put16(tiff, tag, order);
    Put16(tiff, 3, order);
    Put32(tiff, 1, order);
    Put16(tiff, value, order);
    Put16(tiff, 0, order);
    Put32(tiff, 0, order);
    return tiff;
}

QByteArray SmallJpeg()
{
    QImage image(16, 8, QImage::Format_RGB32);
    image.fill(QColor(20, 200, 40));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG");
    return bytes;
}

// The JPEG with an APP1 segment right after the start-of-image marker; `declaredExtra` makes the
// segment's length field claim more than it holds.
QByteArray JpegWithExif(const QByteArray& tiff, int declaredExtra = 0)
{
    QByteArray segment("\xFF\xE1", 2);
    const int length = 2 + 6 + tiff.size() + declaredExtra;
    segment.append(char(length >> 8)).append(char(length & 0xFF));
    segment.append(QByteArray("Exif\0\0", 6)).append(tiff);
    QByteArray jpeg = SmallJpeg();
    return jpeg.insert(2, segment);
}

class Exif : public testing::Test {
protected:
    QString Write(const QByteArray& bytes, const char* name)
    {
        const QString path = m_dir.filePath(QString::fromLatin1(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(Exif, ReadsTheOrientationOfJpegsInBothByteOrders)
{
    ASSERT_TRUE(m_dir.isValid());
    const struct {
        quint16 value;
        EXIF::Orientation expected;
    } cases[] = {
        {1, EXIF::OrientationTopLeft},  {3, EXIF::OrientationBottomRight}, {6, EXIF::OrientationRightTop},
        {8, EXIF::OrientationLeftBottom}, {2, EXIF::OrientationTopRight},  {9, EXIF::OrientationNone},
        {0, EXIF::OrientationNone},
    };
    for (const ByteOrder order : {ByteOrder::Intel, ByteOrder::Motorola}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << (order == ByteOrder::Intel ? "II " : "MM ") << c.value);
            const QString path = Write(JpegWithExif(TiffBlock(order, 274, c.value)), "photo.jpg");
            EXPECT_EQ(EXIF::CameraOrientation(path), c.expected);
        }
        SCOPED_TRACE("no orientation tag");
        const QString path = Write(JpegWithExif(TiffBlock(order, 0x0128, 2)), "other-tag.jpg");
        EXPECT_EQ(EXIF::CameraOrientation(path), EXIF::OrientationNone);
    }
    EXPECT_EQ(EXIF::CameraOrientation(Write(SmallJpeg(), "plain.jpg")), EXIF::OrientationNone);
}

TEST_F(Exif, DamagedBlocksAndOtherFilesGiveNoOrientation)
{
    ASSERT_TRUE(m_dir.isValid());
    const QByteArray upright = TiffBlock(ByteOrder::Intel, 274, 1);
    // 255 entries declared, one present and it is not the orientation.
    QByteArray manyEntries = TiffBlock(ByteOrder::Intel, 0x0128, 2);
    manyEntries[8] = char(0xFF);
    manyEntries[9] = char(0x00);
    QByteArray farIfd = upright;
    farIfd[4] = char(0xF0); // IFD0 beyond the block
    farIfd[7] = char(0x7F);
    QByteArray badOrder = upright;
    badOrder[0] = 'X';
    QByteArray badMagic = upright;
    badMagic[2] = 43;
    QByteArray longType = upright;
    longType[12] = 4;

    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"block cut inside the entry", JpegWithExif(upright.left(16))},
        {"block cut after the header", JpegWithExif(upright.left(6))},
        {"entry count beyond the block", JpegWithExif(manyEntries.left(22))},
        {"IFD beyond the block", JpegWithExif(farIfd)},
        {"unknown byte order", JpegWithExif(badOrder)},
        {"wrong magic number", JpegWithExif(badMagic)},
        {"segment longer than the file", JpegWithExif(upright, 100000).left(40)},
        {"file cut inside the segment", JpegWithExif(upright).left(20)},
        {"not an image", QByteArray("hello, world")},
        {"empty file", QByteArray()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(EXIF::CameraOrientation(Write(c.bytes, "damaged.jpg")), EXIF::OrientationNone);
    }
    EXPECT_EQ(EXIF::CameraOrientation(m_dir.filePath(QStringLiteral("missing.jpg"))), EXIF::OrientationNone);
}

TEST_F(Exif, ReadsTheOrientationOfTiffs)
{
    ASSERT_TRUE(m_dir.isValid());
    const struct {
        QImageIOHandler::Transformation transformation;
        EXIF::Orientation expected;
    } cases[] = {
        {QImageIOHandler::TransformationRotate90, EXIF::OrientationRightTop},
        {QImageIOHandler::TransformationRotate270, EXIF::OrientationLeftBottom},
        {QImageIOHandler::TransformationRotate180, EXIF::OrientationBottomRight},
        {QImageIOHandler::TransformationNone, EXIF::OrientationTopLeft},
    };
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.transformation);
        const QString path = m_dir.filePath(QStringLiteral("photo.tif"));
        QImageWriter writer(path, "tiff");
        writer.setTransformation(c.transformation);
        ASSERT_TRUE(writer.write(image)) << qPrintable(writer.errorString());
        EXPECT_EQ(EXIF::CameraOrientation(path), c.expected);
    }
}
