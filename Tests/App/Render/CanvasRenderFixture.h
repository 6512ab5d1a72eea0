#pragma once

// A small project for the canvas and export tests: a 40 x 30 canvas shown 1:1 in a 40 x 30
// window, a current foreground, the default background and overlay, and one further image layer.

#include "RenderProcessorTestPeer.h"

#include "ForegroundImageLayer.h"
#include "ImageLayer.h"
#include "KeyItems.h"
#include "LayerManager.h"
#include "Project.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace lumo::app::testing {

inline constexpr int kCanvasWidth = 40;
inline constexpr int kCanvasHeight = 30;

// An image of the given size, transparent, with one opaque rectangle.
inline QImage RectImage(int width, int height, const QRect& rect, QRgb color)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.fillRect(rect, QColor::fromRgba(color));
    return image;
}

inline QImage Solid(int width, int height, QRgb color)
{
    return RectImage(width, height, QRect(0, 0, width, height), color);
}

class CanvasRenderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LMerr result = LMerrSuccess;
        project = std::make_shared<Project>(result);
        ASSERT_EQ(result, LMerrSuccess);
        Canvas& canvas = project->GetCanvas();
        canvas.SetDimensionType(CanvasDimensionCustom);
        canvas.SetDimensions(kCanvasWidth, kCanvasHeight);
        canvas.SetCentre(kCanvasWidth / 2, kCanvasHeight / 2);
        canvas.SetPosition(0, 0);
        canvas.SetScale(1.0f);
        manager = project->GetLayerManager();
        processor = std::make_unique<RenderProcessor>(project, hvn::image::HXPixelChannelOrderBGRA,
                                                      QRect(0, 0, kCanvasWidth, kCanvasHeight), result);
        foreground = std::make_shared<ForegroundImageLayer>("foreground", "/photos/a.jpg");
        ASSERT_EQ(manager->AddForegroundLayer(foreground), LMerrSuccess);
        manager->SetCurrentForegroundId(foreground->Id());
        background = manager->GetBackground();
        overlay = manager->GetOverlay();
        ASSERT_TRUE(background && overlay);
        further = std::make_shared<ImageLayer>(LayerTypeImage, "further", "/photos/further.png");
        ASSERT_EQ(manager->AddLayer(further), LMerrSuccess);
        PlaceFurther(true);
        // The default light wrap would tint every foreground edge; the tests that want it turn it on.
        KeyList::Pointer lightSpill;
        ASSERT_EQ(Settings().Keys().GetFilterByType(KeyItemTypeLightSpill, lightSpill), LMerrSuccess);
        lightSpill->SetEnabled(false);
    }

    RenderProcessorTestPeer::Tables& Tables() { return RenderProcessorTestPeer::Impl(*processor); }
    ForegroundImageLayerSettings& Settings() { return *manager->GetForegroundSettings(); }

    // The further layer just above (or just below) the foreground slot.
    void PlaceFurther(bool aboveForeground)
    {
        const std::shared_ptr<ImageLayerList> layers = manager->LayerList();
        QList<QUuid> order;
        for (const QUuid& id : layers->CompositeOrder()) {
            if (id == further->Id())
                continue;
            if (layers->IsForegroundId(id) && !aboveForeground)
                order.append(further->Id());
            order.append(id);
            if (layers->IsForegroundId(id) && aboveForeground)
                order.append(further->Id());
        }
        manager->UpdateCompositionOrderList(order);
    }

    // Loads the layer's photo into the caches, as an import does.
    void Load(const ImageLayerPtr& layer, const QImage& photo)
    {
        layer->SetIsValid(true);
        layer->SetDimensions(photo.size());
        ASSERT_EQ(processor->SetLayer(layer, photo), LMerrSuccess);
    }

    // Puts a finished window image in place of the layer render and marks every stage current,
    // so the composition is tested apart from the layer render.
    void Inject(const ImageLayerPtr& layer, const QImage& window, const QImage& photo = QImage())
    {
        Load(layer, photo.isNull() ? window : photo);
        const ImagePtr cached = Tables().LayerWindowImages.value(layer->Id()).value(hvn::image::HXDownsampleFactor0);
        ASSERT_TRUE(cached);
        ASSERT_EQ(cached->Width(), window.width());
        const QImage converted = window.convertToFormat(QImage::Format_ARGB32);
        std::memcpy(cached->Buffer(), converted.constBits(), cached->BufferByteSize());
        for (int level = RenderLevelKey; level <= RenderLevelFinal; ++level)
            processor->SetCacheValid(layer, level, hvn::image::HXDownsampleFactor0, true);
    }

    // The foreground photo passes through the key unchanged: keying is tested elsewhere.
    void SwitchOffKeys()
    {
        const KeyList& keys = Settings().Keys();
        for (auto it = keys.Begin(); it != keys.End(); ++it)
            (*it)->SetEnabled(false);
    }

    ProjectPtr project;
    LayerManagerPtr manager;
    std::unique_ptr<RenderProcessor> processor;
    ForegroundImageLayerPtr foreground;
    ImageLayerPtr background;
    ImageLayerPtr overlay;
    ImageLayerPtr further;
};

} // namespace lumo::app::testing
