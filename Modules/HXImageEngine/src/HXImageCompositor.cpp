#include "hvn/image/HXImageCompositor.h"

#include "HXPass.h"

namespace hvn::image {

HXImageCompositor::HXImageCompositor(HXAbstractImage& destination, double opacity,
                                     const common::HXLookupTables& tables, HXDownsampleFactor factor)
    : m_destination(destination), m_opacity(opacity), m_tables(tables), m_factor(factor)
{
}

int HXImageCompositor::AddLayer(const HXAbstractImage& image, double opacity, HXBlendMode mode, HXCompositeType type)
{
    return Enqueue(HXOperationKind::Layer, {opacity, double(mode), double(type)}, &image);
}

int HXImageCompositor::AddLightSpillLayer(const HXAbstractImage& image, int blur, double opacity, HXBlendMode mode,
                                          HXDownsampleFactor factor)
{
    return Enqueue(HXOperationKind::LightSpillLayer, {double(blur), opacity, double(mode), double(factor)}, &image);
}

int HXImageCompositor::AddShadowCastLayer(const HXAbstractImage& image, const maths::HXRect& sourceRect,
                                          const maths::HXQuad& quad, unsigned blur, double opacity,
                                          HXPixel8_RGB color, HXBlendMode mode, bool backgroundVisible,
                                          HXDownsampleFactor factor)
{
    return Enqueue(HXOperationKind::ShadowCastLayer,
                   {double(sourceRect.left), double(sourceRect.top), double(sourceRect.right),
                    double(sourceRect.bottom), double(quad.topLeft.x), double(quad.topLeft.y),
                    double(quad.topRight.x), double(quad.topRight.y), double(quad.bottomRight.x),
                    double(quad.bottomRight.y), double(quad.bottomLeft.x), double(quad.bottomLeft.y), double(blur),
                    opacity, double(color.red), double(color.green), double(color.blue), double(mode),
                    backgroundVisible ? 1.0 : 0.0, double(factor)},
                   &image);
}

void HXImageCompositor::ClearRenderQueue()
{
    m_queue.clear();
}

int HXImageCompositor::Render()
{
    // Layers are blended onto the destination as it is at this moment.
    return RunPass(m_queue, m_destination, m_destination, m_tables, m_factor, m_opacity);
}

} // namespace hvn::image
