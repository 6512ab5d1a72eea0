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
