#pragma once

#include "AppExport.h"
#include "LMerr.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <string>
#include <string_view>

class QDomElement;
class QXmlStreamWriter;

namespace lumo::app {

// Readers take the element to look in and the name of a child element or attribute; a missing
// node or text that does not convert raises XmlException with code 4.
APP_EXPORT int ReadXmlTagInt(const QDomElement& element, const QString& name);
APP_EXPORT unsigned int ReadXmlTagUInt(const QDomElement& element, const QString& name);
APP_EXPORT float ReadXmlTagFloat(const QDomElement& element, const QString& name);
APP_EXPORT double ReadXmlTagDouble(const QDomElement& element, const QString& name);
APP_EXPORT bool ReadXmlTagBool(const QDomElement& element, const QString& name);
APP_EXPORT std::wstring ReadXmlTagWString(const QDomElement& element, const QString& name);
// The element's text, one byte per character (the form WriteXmlTagBytes writes).
APP_EXPORT QByteArray ReadXmlTagBytes(const QDomElement& element, const QString& name);
APP_EXPORT int ReadXmlAttributeUInt(const QDomElement& element, const QString& name);
APP_EXPORT bool ReadXmlAttributeBool(const QDomElement& element, const QString& name);
APP_EXPORT std::wstring ReadXmlAttributeWString(const QDomElement& element, const QString& name);

// Writers; a value that cannot be turned into text raises XmlException with code 17.
APP_EXPORT void WriteXmlTagInt(QXmlStreamWriter& writer, const QString& name, int value);
APP_EXPORT void WriteXmlTagUInt(QXmlStreamWriter& writer, const QString& name, unsigned int value);
APP_EXPORT void WriteXmlTagFloat(QXmlStreamWriter& writer, const QString& name, float value);
APP_EXPORT void WriteXmlTagDouble(QXmlStreamWriter& writer, const QString& name, double value);
APP_EXPORT void WriteXmlTagBool(QXmlStreamWriter& writer, const QString& name, bool value);
APP_EXPORT void WriteXmlTagWString(QXmlStreamWriter& writer, const QString& name, const std::wstring& value,
                                   bool cdata);
APP_EXPORT void WriteXmlTagBytes(QXmlStreamWriter& writer, const QString& name, const QByteArray& value);
APP_EXPORT void WriteXmlAttributeUInt(QXmlStreamWriter& writer, const QString& name, int value);
APP_EXPORT void WriteXmlAttributeBool(QXmlStreamWriter& writer, const QString& name, bool value);
APP_EXPORT void WriteXmlAttributeWString(QXmlStreamWriter& writer, const QString& name, const std::wstring& value);

// The text forms themselves, independent of the process locale: whole text consumed, no blanks,
// integers in plain decimal, float with 9 and double with 17 significant digits in general
// notation, bool only "0" and "1". Unsigned text never carries a minus sign.
namespace lexical {
APP_EXPORT std::optional<int> ToInt(std::string_view text);
APP_EXPORT std::optional<unsigned int> ToUInt(std::string_view text);
APP_EXPORT std::optional<float> ToFloat(std::string_view text);
APP_EXPORT std::optional<double> ToDouble(std::string_view text);
APP_EXPORT std::optional<bool> ToBool(std::string_view text);
APP_EXPORT std::string FromInt(long long value);
APP_EXPORT std::string FromUInt(unsigned long long value);
APP_EXPORT std::string FromFloat(float value);
APP_EXPORT std::string FromDouble(double value);
APP_EXPORT std::string FromBool(bool value);
} // namespace lexical

} // namespace lumo::app
