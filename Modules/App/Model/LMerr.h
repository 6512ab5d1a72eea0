#pragma once

#include "AppExport.h"

#include <exception>
#include <string>

namespace lumo::app {

// Result of every model and render operation that can fail; 0 is success.
enum LMerr : int {
    LMerrSuccess = 0,
    LMerrFileOpen = 1,
    LMerrXmlParse = 3,
    LMerrInvalidData = 4,
    LMerrUnsupportedFormat = 5,
    LMerrOutOfMemory = 6,
    LMerrDefaultProject = 7,
    LMerrNoForegroundSettings = 11,
    LMerrInvalidLayerId = 13,
    LMerrInvalidLayerType = 14,
    LMerrLayerPresent = 15,
    LMerrLayerMissing = 16,
    LMerrCannotWrite = 17,
    LMerrFilterNotFound = 18,
    LMerrKeyNotFound = 19,
    LMerrCompositeNotFound = 20,
    LMerrTransformNotFound = 21,
    LMerrForegroundPresent = 22,
    LMerrForegroundMissing = 23,
    LMerrRenderEmptySource = 31,
    LMerrRenderEngine = 35,
    LMerrExportRender = 38,
    LMerrInvalidRenderLayer = 40,
    LMerrCanvasRender = 43,
    LMerrRenderFailed = 44,
    LMerrMaskHandleBeforeMissing = 48,
    LMerrMaskHandleMissing = 49,
    LMerrMaskPresent = 50,
    LMerrMaskMissing = 51,
    LMerrTextItemPresent = 52,
    LMerrTextItemMissing = 53,
    LMerrRenderBitDepth = 54,
    LMerrRenderOutOfMemory = 55,
    LMerrIndexOutOfRange = 58,
};

// Raised inside XML readers and writers; every LoadFromXml and WriteToXml catches it and
// returns the code. The message is for diagnosis only and never reaches the user.
class APP_EXPORT XmlException : public std::exception {
public:
    XmlException(LMerr code, std::string message) : code(code), message(std::move(message)) {}
    XmlException(const XmlException&) = default;
    ~XmlException() override = default;

    LMerr code;
    std::string message;
};

} // namespace lumo::app
