#include "hvn/image/HXImageKeyer.h"

#include "HXPass.h"

namespace hvn::image {

HXImageKeyer::HXImageKeyer(HXAbstractImage& source, HXAbstractImage& destination,
                           const common::HXLookupTables& tables, HXDownsampleFactor factor)
    : m_source(source), m_destination(destination), m_tables(tables), m_factor(factor)
{
}

int HXImageKeyer::SetYUVBlur(unsigned radius, HXYUVBlurType type)
{
    return Enqueue(HXOperationKind::YUVBlur, {double(radius), double(type)});
}

int HXImageKeyer::SetAutoColorDifferenceKey(HXKeyColor keyColor, double keyDetail, double greyDetail,
                                            double greyThreshold)
{
    return Enqueue(HXOperationKind::AutoColorDifferenceKey, {double(keyColor), keyDetail, greyDetail, greyThreshold});
}

int HXImageKeyer::SetSpillSuppression(HXChannel channel, HXSpillType type, double opacity, double redStrength,
                                      double greenStrength, double blueStrength, double advancedBias)
{
    return Enqueue(HXOperationKind::SpillSuppression, {double(channel), double(type), opacity, redStrength,
                                                       greenStrength, blueStrength, advancedBias});
}

int HXImageKeyer::SetAlphaCrop(double left, double top, double right, double bottom)
{
    return Enqueue(HXOperationKind::AlphaCrop, {left, top, right, bottom});
}

int HXImageKeyer::SetAlphaSuperContrast(double blackLevel, double whiteLevel)
{
    return Enqueue(HXOperationKind::AlphaSuperContrast, {blackLevel, whiteLevel});
}

int HXImageKeyer::SetAlphaStackBlur(unsigned radius, bool horizontal, bool vertical)
{
    return Enqueue(HXOperationKind::AlphaStackBlur, {double(radius), horizontal ? 1.0 : 0.0, vertical ? 1.0 : 0.0});
}

int HXImageKeyer::SetWhiteErode(HXWhiteErodeDirection direction, int distance)
{
    return Enqueue(HXOperationKind::WhiteErode, {double(direction), double(distance)});
}

int HXImageKeyer::Render()
{
    return RunPass(m_queue, m_source, m_destination, m_tables, m_factor, 1.0);
}

} // namespace hvn::image
