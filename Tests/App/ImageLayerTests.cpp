#include "ImageLayer.h"

#include "XmlTestUtils.h"

#include <gtest/gtest.h>

using namespace lumo::app;
using lumo::test::LoadItem;
using lumo::test::ParseElement;
using lumo::test::WriteItem;

namespace {

// Opens the operations the layer manager uses.
class TestLayerList : public ImageLayerList {
public:
    using ImageLayerList::Add;
    using ImageLayerList::BackgroundLayer;
    using ImageLayerList::Clear;
    using ImageLayerList::ClearByType;
    using ImageLayerList::Exists;
    using ImageLayerList::Get;
    using ImageLayerList::OverlayLayer;
    using ImageLayerList::Remove;
    using ImageLayerList::UpdateCompositionOrderList;
};

const QString kForeground = QStringLiteral("{873e2647-0674-4972-ad43-9fc32b7d7267}");
const QString kBackground = QStringLiteral("{b42b335f-1c3c-4d23-bbec-fabd0f39ec9e}");
const QString kOverlay = QStringLiteral("{fdcc745d-4ce3-4a2c-8e0e-f7defc7776e9}");

QString LayerElement(const QString& id, const QString& type, const QString& path = QStringLiteral("/p/bg.jpg"))
{
    return QStringLiteral("<layer enabled=\"0\" collapsed=\"1\"><id><![CDATA[%1]]></id><type>%2</type>"
                          "<name><![CDATA[Background]]></name><path><![CDATA[%3]]></path><width>640</width>"
                          "<height>480</height><dpiX>72</dpiX><dpiY>96</dpiY>"
                          "<thumbnailFilename><![CDATA[thumb.png]]></thumbnailFilename></layer>")
        .arg(id, type, path);
}

QString ListElement(const QString& order, const QString& layers)
{
    return QStringLiteral("<layerList foregroundId=\"%1\" backgroundId=\"%2\" overlayId=\"%3\">"
                          "<currentSelectedLayer><![CDATA[]]></currentSelectedLayer><layerSuffix>3</layerSuffix>"
                          "<compositeOrder>%4</compositeOrder>%5</layerList>")
        .arg(kForeground, kBackground, kOverlay, order, layers);
}

// The list reader lets its exception pass to the layer manager; this gives its code.
int LoadListCode(ImageLayerList& list, const QString& xml)
{
    QDomElement element = ParseElement(xml);
    try {
        return list.LoadFromXml(element);
    } catch (const XmlException& e) {
        return e.code;
    }
}

} // namespace

TEST(ImageLayer, NewLayerAndClearData)
{
    ImageLayer layer(LayerTypeImage, QStringLiteral("Layer 2"), QStringLiteral("/p/a.png"));
    EXPECT_FALSE(layer.Id().isNull());
    EXPECT_NE(layer.Id(), ImageLayer(LayerTypeImage, QString(), QString()).Id());
    EXPECT_FALSE(layer.IsValid());
    EXPECT_FALSE(layer.IsOffline());
    EXPECT_EQ(layer.DominantKeyColor(), hvn::image::HXKeyColorGreen);
    EXPECT_TRUE(layer.IsEnabled());
    EXPECT_TRUE(layer.IsCollapsed());
    EXPECT_TRUE(layer.ThumbnailFilename().isNull());

    const QUuid id = layer.Id();
    layer.SetIsValid(true);
    layer.SetOffline(true);
    layer.SetDimensions(QSize(100, 50));
    layer.SetDpiX(300);
    layer.SetEnabled(false);
    layer.SetCollapsed(false);
    layer.SetThumbnailFilename(QStringLiteral("t.png"));
    layer.SetDominantKeyColor(hvn::image::HXKeyColorBlue);
    layer.ClearData();
    EXPECT_EQ(layer.Id(), id);
    EXPECT_EQ(layer.Type(), LayerTypeImage);
    EXPECT_EQ(layer.Name(), QStringLiteral("Layer 2"));
    EXPECT_TRUE(layer.Path().isEmpty());
    EXPECT_FALSE(layer.Path().isNull());
    EXPECT_TRUE(layer.ThumbnailFilename().isEmpty());
    EXPECT_EQ(layer.Dimensions(), QSize(0, 0));
    EXPECT_EQ(layer.DpiX(), 0u);
    EXPECT_FALSE(layer.IsValid());
    EXPECT_TRUE(layer.IsEnabled());
    EXPECT_TRUE(layer.IsCollapsed());
    EXPECT_TRUE(layer.IsOffline()) << "offline and key colour stay";
    EXPECT_EQ(layer.DominantKeyColor(), hvn::image::HXKeyColorBlue);
}

TEST(ImageLayer, RoundTripKeepsStoredValuesOnly)
{
    ImageLayer layer(LayerTypeOverlay, QStringLiteral("Overlay <1>"), QStringLiteral("/p/ov & er.png"));
    layer.SetDimensions(QSize(6500, 6500));
    layer.SetDpiX(300);
    layer.SetDpiY(299);
    layer.SetEnabled(false);
    layer.SetCollapsed(false);
    layer.SetThumbnailFilename(QStringLiteral("/cache/t.png"));
    layer.SetOffline(true);
    layer.SetDominantKeyColor(hvn::image::HXKeyColorBlue);

    const QString xml = WriteItem(layer);
    ImageLayer loaded(LayerTypeImage, QString(), QString());
    ASSERT_EQ(LoadItem(loaded, xml), 0);
    EXPECT_EQ(loaded.Id(), layer.Id());
    EXPECT_EQ(loaded.Type(), LayerTypeOverlay);
    EXPECT_EQ(loaded.Name(), layer.Name());
    EXPECT_EQ(loaded.Path(), layer.Path());
    EXPECT_EQ(loaded.Dimensions(), QSize(6500, 6500));
    EXPECT_EQ(loaded.DpiY(), 299u);
    EXPECT_FALSE(loaded.IsEnabled());
    EXPECT_FALSE(loaded.IsCollapsed());
    EXPECT_EQ(loaded.ThumbnailFilename(), layer.ThumbnailFilename());
    EXPECT_TRUE(loaded.IsValid()) << "a path makes the layer valid, whether or not the file exists";
    EXPECT_FALSE(loaded.IsOffline());
    EXPECT_EQ(loaded.DominantKeyColor(), hvn::image::HXKeyColorGreen);
    EXPECT_EQ(WriteItem(loaded).toStdString(), xml.toStdString());
}

TEST(ImageLayer, LoadResults)
{
    const struct {
        const char* name;
        QString xml;
        int result;
    } cases[] = {
        {"id abc", LayerElement(QStringLiteral("abc"), QStringLiteral("0")), 13},
        {"null id", LayerElement(QUuid().toString(), QStringLiteral("0")), 13},
        {"type 5", LayerElement(kBackground, QStringLiteral("5")), 14},
        {"type -1", LayerElement(kBackground, QStringLiteral("-1")), 4},
        {"no height", LayerElement(kBackground, QStringLiteral("0")).remove(QStringLiteral("<height>480</height>")), 4},
        {"no collapsed", LayerElement(kBackground, QStringLiteral("0")).remove(QStringLiteral(" collapsed=\"1\"")), 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ImageLayer layer(LayerTypeImage, QString(), QString());
        EXPECT_EQ(LoadItem(layer, c.xml), c.result);
    }
    ImageLayer empty(LayerTypeImage, QString(), QString());
    ASSERT_EQ(LoadItem(empty, LayerElement(kBackground, QStringLiteral("0"), QString())), 0);
    EXPECT_FALSE(empty.IsValid());
    EXPECT_EQ(empty.Type(), LayerTypeBackground);
    EXPECT_EQ(empty.Dimensions(), QSize(640, 480));
}

TEST(ImageLayerList, LoadsFixedIdsOrderAndLayers)
{
    const QString second = QUuid::createUuid().toString();
    const QString order = QStringLiteral("<id>%1</id><id>%2</id><id>not an id</id><id>%3</id><id>%4</id>")
                              .arg(kBackground, QUuid().toString(), kForeground, second);
    const QString layers = LayerElement(kBackground, QStringLiteral("0")) +
                           LayerElement(kOverlay, QStringLiteral("2")) + LayerElement(second, QStringLiteral("3")) +
                           LayerElement(second, QStringLiteral("3"), QStringLiteral("/p/duplicate.png"));
    TestLayerList list;
    ASSERT_EQ(LoadListCode(list, ListElement(order, layers)), 0);

    EXPECT_EQ(list.StaticForegroundId(), QUuid(kForeground));
    EXPECT_TRUE(list.IsForegroundId(QUuid(kForeground)));
    EXPECT_FALSE(list.IsForegroundId(QUuid(kBackground)));
    EXPECT_EQ(list.CompositeOrder(), (QList<QUuid>{QUuid(kBackground), QUuid(kForeground), QUuid(second)}));
    EXPECT_TRUE(list.CurrentlySelectedLayer().isNull());
    EXPECT_EQ(list.LayerSuffix(), 3u);
    EXPECT_EQ(list.Size(), 3u);
    EXPECT_EQ(list.SizeByType(LayerTypeImage), 1u);
    EXPECT_EQ(list.SizeByType(LayerTypeBackground), 1u);
    EXPECT_EQ(list.SizeByType(LayerTypeOverlay), 1u);
    EXPECT_EQ(list.Get(QUuid(second))->Path(), QStringLiteral("/p/bg.jpg")) << "the first of two equal ids stays";
    ASSERT_NE(list.BackgroundLayer(), nullptr);
    EXPECT_EQ(list.BackgroundLayer()->Type(), LayerTypeBackground);
    EXPECT_EQ(list.OverlayLayer()->Id(), QUuid(kOverlay));

    // Written and read again: the same text.
    const QString xml = WriteItem(list);
    TestLayerList reread;
    ASSERT_EQ(LoadListCode(reread, xml), 0);
    EXPECT_EQ(WriteItem(reread).toStdString(), xml.toStdString());
    EXPECT_TRUE(xml.contains(QStringLiteral("<currentSelectedLayer><![CDATA[%1]]>").arg(QUuid().toString())));
}

TEST(ImageLayerList, ALayerThatFailsFailsTheListWithFour)
{
    const struct {
        const char* name;
        QString layer;
    } cases[] = {
        {"id abc", LayerElement(QStringLiteral("abc"), QStringLiteral("0"))},
        {"type 5", LayerElement(kBackground, QStringLiteral("5"))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestLayerList list;
        EXPECT_EQ(LoadListCode(list, ListElement(QString(), c.layer)), 4);
    }
    TestLayerList list;
    QString noSuffix = ListElement(QString(), QString()).remove(QStringLiteral("<layerSuffix>3</layerSuffix>"));
    EXPECT_EQ(LoadListCode(list, noSuffix), 4);
    QString noOverlay = ListElement(QString(), QString()).remove(QStringLiteral(" overlayId=\"%1\"").arg(kOverlay));
    EXPECT_EQ(LoadListCode(list, noOverlay), 4);
}

TEST(ImageLayerList, ManagerOperations)
{
    TestLayerList list;
    auto background = std::make_shared<ImageLayer>(LayerTypeBackground, QStringLiteral("bg"), QString());
    auto image = std::make_shared<ImageLayer>(LayerTypeImage, QStringLiteral("Layer 1"), QString());
    auto image2 = std::make_shared<ImageLayer>(LayerTypeImage, QStringLiteral("Layer 2"), QString());
    EXPECT_EQ(list.Add(background), 0);
    EXPECT_EQ(list.Add(image), 0);
    EXPECT_EQ(list.Add(image2), 0);
    EXPECT_EQ(list.Add(image), 15);
    EXPECT_TRUE(list.CompositeOrder().isEmpty()) << "adding does not touch the order";
    EXPECT_TRUE(list.Exists(image->Id()));
    EXPECT_EQ(list.Get(QUuid::createUuid()), nullptr);
    EXPECT_EQ(list.BackgroundLayer(), nullptr) << "no fixed ids before a load";

    list.UpdateCompositionOrderList({image->Id(), background->Id()});
    EXPECT_EQ(list.CompositeOrder().first(), image->Id());

    EXPECT_EQ(list.Remove(QUuid::createUuid()), 16);
    EXPECT_EQ(list.Remove(image2->Id()), 0);
    EXPECT_FALSE(list.Exists(image2->Id()));

    list.ClearByType(LayerTypeImage);
    EXPECT_EQ(list.Size(), 1u);
    EXPECT_TRUE(list.Exists(background->Id()));
    list.SetLayerSuffix(5);
    list.IncrementLayerSuffix();
    list.Clear();
    EXPECT_EQ(list.Size(), 0u);
    EXPECT_EQ(list.LayerSuffix(), 6u);
    EXPECT_EQ(list.CompositeOrder().size(), 2);
}
