#pragma once

// Opening projects saved in file format 2.0 by the previous generation of the program.

#include "AppExport.h"
#include "LMerr.h"

#include <QString>

class QDomElement;

namespace lumo::app {

class AbstractRenderItem;

// Pours a fileFormat 2.0 project into a new default project and writes that as a fileFormat 4.0
// file in the temporary folder; answers the new file's path, which the caller loads and removes.
// Answers an empty path, and leaves no file behind, when the old file cannot be read or parsed,
// the default project cannot be made, or the new file cannot be written. Only the first
// foreground photograph is converted, with the shared default settings; whatever the default
// project has no place for is dropped. The old file is only read.
APP_EXPORT QString ConvertFileFormat2Project(const QString& path);
// The same, telling why the answer is empty: 5 when the old file cannot be read or parsed or the
// default project cannot be made, 6 when memory runs out, 17 when the new file cannot be written
// (no temporary folder, or a full one); 0 with a path.
APP_EXPORT QString ConvertFileFormat2Project(const QString& path, LMerr& result);

// Lenient readers of old files: the text of the first child element with the name, converted;
// fallback when the element (or the parent itself) is missing or its text does not convert, so
// a value the old file does not hold keeps the value the new project already has. Non-finite
// numbers and, for unsigned values, negative ones do not convert. No range is checked: the
// format 4.0 readers check the values when the converted file is loaded.
APP_EXPORT QString ReadLegacyTagString(const QDomElement& parent, const QString& name,
                                       const QString& fallback = QString());
APP_EXPORT int ReadLegacyTagInt(const QDomElement& parent, const QString& name, int fallback = 0);
APP_EXPORT unsigned int ReadLegacyTagUInt(const QDomElement& parent, const QString& name, unsigned int fallback = 0);
APP_EXPORT float ReadLegacyTagFloat(const QDomElement& parent, const QString& name, float fallback = 0.0f);
APP_EXPORT double ReadLegacyTagDouble(const QDomElement& parent, const QString& name, double fallback = 0.0);
// An integer attribute of the named child element (the channels of a colour).
APP_EXPORT int ReadLegacyChildAttributeInt(const QDomElement& parent, const QString& child, const QString& attribute,
                                           int fallback = 0);
// An old item element's `enabled` and `collapsed` attributes onto the new item: an attribute
// that is absent counts as "1", one whose text does not convert as 0; non-zero is true.
APP_EXPORT void ReadLegacyItemFlags(const QDomElement& oldItem, AbstractRenderItem& item);

} // namespace lumo::app
