#pragma once

#include "AppExport.h"

#include <QString>

namespace lumo::app {

// The camera orientation recorded in a photograph.
class APP_EXPORT EXIF {
public:
    // The Orientation tag's value as the EXIF standard defines it (1 upright, 6 turned 90 degrees
    // clockwise, 8 turned 90 degrees anticlockwise, the others mirrored or turned 180 degrees),
    // and OrientationNone when the tag is absent or out of range.
    enum Orientation : int {
        OrientationNone = 0,
        OrientationTopLeft = 1,
        OrientationTopRight = 2,
        OrientationBottomRight = 3,
        OrientationBottomLeft = 4,
        OrientationLeftTop = 5,
        OrientationRightTop = 6,
        OrientationRightBottom = 7,
        OrientationLeftBottom = 8,
    };

    // JPEG and TIFF files; OrientationNone for anything unreadable. Never fails.
    static Orientation CameraOrientation(const QString& path);
};

} // namespace lumo::app
