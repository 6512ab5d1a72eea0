#pragma once

// The library's enumerations that travel in the program's signals, known to Qt's meta-type system
// so that QSignalSpy and queued connections can carry them.

#include "RenderProcessor.h"

#include <hvn/image/HXTypes.h>

#include <QMetaType>

Q_DECLARE_METATYPE(lumo::app::RenderLevel)
Q_DECLARE_METATYPE(hvn::image::HXDownsampleFactor)
