#pragma once

#include "AppExport.h"
#include "LMerr.h"

#include <new>

class QDomElement;
class QXmlStreamWriter;

namespace lumo::app {

// Base of every object stored in the project file except the project itself.
class APP_EXPORT AbstractProjectItem {
public:
    virtual ~AbstractProjectItem() = default;
    virtual LMerr LoadFromXml(QDomElement& element) = 0;
    virtual LMerr WriteToXml(QXmlStreamWriter& writer) const = 0;
};

// Writes a child item inside a writer body; the child's failure becomes the body's, so every
// writer up to the project stops and the save is cancelled instead of committing a file with a
// piece missing.
inline void WriteChild(const AbstractProjectItem& child, QXmlStreamWriter& writer)
{
    if (const LMerr result = child.WriteToXml(writer); result != LMerrSuccess)
        throw XmlException(result, "A part of the project could not be written");
}

// Runs a reader or writer body and turns what it raises into the result code.
template <class Body>
LMerr CatchXml(Body&& body)
{
    try {
        body();
    } catch (const XmlException& e) {
        return e.code;
    } catch (const std::bad_alloc&) {
        return LMerrOutOfMemory;
    }
    return LMerrSuccess;
}

} // namespace lumo::app
