#include "XmlValues.h"

#include <QDomElement>
#include <QXmlStreamAttribute>
#include <QXmlStreamWriter>

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace lumo::app {

namespace lexical {

namespace {

// A leading '+' is accepted as the stream extraction accepts it; nothing else before the number.
std::string_view StripPlus(std::string_view text)
{
    if (text.size() > 1 && text.front() == '+' && text[1] != '-' && text[1] != '+')
        text.remove_prefix(1);
    return text;
}

template <class T>
std::optional<T> Parse(std::string_view text)
{
    text = StripPlus(text);
    if (text.empty())
        return std::nullopt;
    T value{};
    const char* first = text.data();
    const char* last = first + text.size();
    std::from_chars_result result;
    if constexpr (std::is_floating_point_v<T>)
        result = std::from_chars(first, last, value, std::chars_format::general);
    else
        result = std::from_chars(first, last, value);
    if (result.ec != std::errc() || result.ptr != last)
        return std::nullopt;
    return value;
}

template <class T>
std::string Format(T value, int precision)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, precision);
    return std::string(buffer, result.ptr);
}

} // namespace

std::optional<int> ToInt(std::string_view text)
{
    return Parse<int>(text);
}

std::optional<unsigned int> ToUInt(std::string_view text)
{
    if (text.find('-') != std::string_view::npos)
        return std::nullopt;
    return Parse<unsigned int>(text);
}

// "nan", "inf" and "infinity" are no numbers of a project file: a stream does not read them, and
// no value the program writes is one.
template <class T>
std::optional<T> ParseFinite(std::string_view text)
{
    const std::optional<T> value = Parse<T>(text);
    if (value && !std::isfinite(*value))
        return std::nullopt;
    return value;
}

std::optional<float> ToFloat(std::string_view text)
{
    return ParseFinite<float>(text);
}

std::optional<double> ToDouble(std::string_view text)
{
    return ParseFinite<double>(text);
}

std::optional<bool> ToBool(std::string_view text)
{
    if (text == "0")
        return false;
    if (text == "1")
        return true;
    return std::nullopt;
}

std::string FromInt(long long value)
{
    return std::to_string(value);
}

std::string FromUInt(unsigned long long value)
{
    return std::to_string(value);
}

std::string FromFloat(float value)
{
    return Format(value, std::numeric_limits<float>::max_digits10);
}

std::string FromDouble(double value)
{
    return Format(value, std::numeric_limits<double>::max_digits10);
}

std::string FromBool(bool value)
{
    return value ? "1" : "0";
}

} // namespace lexical

namespace {

[[noreturn]] void ThrowMissingTag(const QString& name)
{
    throw XmlException(LMerrInvalidData, name.toStdString() + " Tag is missing");
}

[[noreturn]] void ThrowMissingAttribute(const QString& name)
{
    throw XmlException(LMerrInvalidData, name.toStdString() + " Attribute is missing");
}

[[noreturn]] void ThrowCorrupted(const QString& name)
{
    throw XmlException(LMerrInvalidData, name.toStdString() + " data is corrupted, lexical cast failure.");
}

[[noreturn]] void ThrowUnwritable(const QString& name)
{
    throw XmlException(LMerrCannotWrite, name.toStdString() + " tag cannot be written.  Bad lexical cast.");
}

// Text that XML 1.0 cannot carry unchanged (control characters, a carriage return, which a
// reader turns into a line feed, U+FFFE, U+FFFF, a lone surrogate: all legal in Linux file
// names or in a QString) is stored as Base64 under this attribute: of its UTF-16 code units,
// little-endian, for strings, of the bytes themselves for byte strings. Anything else is stored
// as it stands, as it always was.
const QString kEncoding = QStringLiteral("encoding");
const QString kStringEncoding = QStringLiteral("base64-utf16le");
const QString kBytesEncoding = QStringLiteral("base64");

bool IsStorable(const QString& text)
{
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'\t' || c == u'\n' || (c >= 0x20 && c < 0xD800) || (c >= 0xE000 && c <= 0xFFFD))
            continue;
        if (QChar::isHighSurrogate(c) && i + 1 < size && QChar::isLowSurrogate(text[i + 1].unicode())) {
            ++i;
            continue;
        }
        return false;
    }
    return true;
}

bool IsStorable(const QByteArray& bytes)
{
    // One byte a character: every byte from 0x20 up is a character XML holds.
    for (const char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        if (b < 0x20 && b != '\t' && b != '\n')
            return false;
    }
    return true;
}

QByteArray DecodeBase64(const QString& text, const QString& name)
{
    const auto decoded = QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        ThrowCorrupted(name);
    return *decoded;
}

// The child's text as stored, and the encoding it was stored in (empty for plain text).
QDomElement TagElement(const QDomElement& element, const QString& name)
{
    const QDomElement child = element.firstChildElement(name);
    if (child.isNull())
        ThrowMissingTag(name);
    return child;
}

QString TagText(const QDomElement& element, const QString& name)
{
    return TagElement(element, name).text();
}

void WriteEncoded(QXmlStreamWriter& writer, const QString& name, const QString& encoding, const QByteArray& bytes)
{
    writer.writeStartElement(name);
    writer.writeAttribute(kEncoding, encoding);
    writer.writeCharacters(QString::fromLatin1(bytes.toBase64()));
    writer.writeEndElement();
}

QString AttributeText(const QDomElement& element, const QString& name)
{
    if (!element.hasAttribute(name))
        ThrowMissingAttribute(name);
    return element.attribute(name);
}

template <class T>
T Convert(const QString& text, const QString& name, std::optional<T> (*convert)(std::string_view))
{
    const QByteArray utf8 = text.toUtf8();
    const std::optional<T> value = convert(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
    if (!value)
        ThrowCorrupted(name);
    return *value;
}

QString ToQString(const std::string& text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

void WriteTag(QXmlStreamWriter& writer, const QString& name, const QString& text)
{
    writer.writeStartElement(name);
    writer.writeCharacters(text);
    writer.writeEndElement();
}

} // namespace

int ReadXmlTagInt(const QDomElement& element, const QString& name)
{
    return Convert<int>(TagText(element, name), name, &lexical::ToInt);
}

unsigned int ReadXmlTagUInt(const QDomElement& element, const QString& name)
{
    return Convert<unsigned int>(TagText(element, name), name, &lexical::ToUInt);
}

float ReadXmlTagFloat(const QDomElement& element, const QString& name)
{
    return Convert<float>(TagText(element, name), name, &lexical::ToFloat);
}

double ReadXmlTagDouble(const QDomElement& element, const QString& name)
{
    return Convert<double>(TagText(element, name), name, &lexical::ToDouble);
}

bool ReadXmlTagBool(const QDomElement& element, const QString& name)
{
    return Convert<bool>(TagText(element, name), name, &lexical::ToBool);
}

std::wstring ReadXmlTagWString(const QDomElement& element, const QString& name)
{
    const QDomElement child = TagElement(element, name);
    if (!child.hasAttribute(kEncoding))
        return child.text().toStdWString();
    if (child.attribute(kEncoding) != kStringEncoding)
        ThrowCorrupted(name);
    const QByteArray units = DecodeBase64(child.text(), name);
    if (units.size() % 2 != 0)
        ThrowCorrupted(name);
    QString text(units.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        text[i] = QChar(static_cast<char16_t>(static_cast<unsigned char>(units[2 * i]) |
                                              (static_cast<unsigned char>(units[2 * i + 1]) << 8)));
    return text.toStdWString();
}

QByteArray ReadXmlTagBytes(const QDomElement& element, const QString& name)
{
    const QDomElement child = TagElement(element, name);
    if (child.hasAttribute(kEncoding)) {
        if (child.attribute(kEncoding) != kBytesEncoding)
            ThrowCorrupted(name);
        return DecodeBase64(child.text(), name);
    }
    // Each character stands for one byte, as written; characters above 255 cannot come from
    // our writer and are cut to their low byte rather than growing the text.
    return child.text().toLatin1();
}

int ReadXmlAttributeUInt(const QDomElement& element, const QString& name)
{
    const unsigned int value = Convert<unsigned int>(AttributeText(element, name), name, &lexical::ToUInt);
    if (value > static_cast<unsigned int>(std::numeric_limits<int>::max()))
        ThrowCorrupted(name);
    return static_cast<int>(value);
}

bool ReadXmlAttributeBool(const QDomElement& element, const QString& name)
{
    return Convert<bool>(AttributeText(element, name), name, &lexical::ToBool);
}

std::wstring ReadXmlAttributeWString(const QDomElement& element, const QString& name)
{
    return AttributeText(element, name).toStdWString();
}

void WriteXmlTagInt(QXmlStreamWriter& writer, const QString& name, int value)
{
    WriteTag(writer, name, ToQString(lexical::FromInt(value)));
}

void WriteXmlTagUInt(QXmlStreamWriter& writer, const QString& name, unsigned int value)
{
    WriteTag(writer, name, ToQString(lexical::FromUInt(value)));
}

// A non-finite number would be written as text that no reader takes back: the save fails instead.
void WriteXmlTagFloat(QXmlStreamWriter& writer, const QString& name, float value)
{
    if (!std::isfinite(value))
        ThrowUnwritable(name);
    WriteTag(writer, name, ToQString(lexical::FromFloat(value)));
}

void WriteXmlTagDouble(QXmlStreamWriter& writer, const QString& name, double value)
{
    if (!std::isfinite(value))
        ThrowUnwritable(name);
    WriteTag(writer, name, ToQString(lexical::FromDouble(value)));
}

void WriteXmlTagBool(QXmlStreamWriter& writer, const QString& name, bool value)
{
    WriteTag(writer, name, ToQString(lexical::FromBool(value)));
}

void WriteXmlTagWString(QXmlStreamWriter& writer, const QString& name, const std::wstring& value, bool cdata)
{
    const QString text = QString::fromStdWString(value);
    // A reader drops plain text that is only blanks; a CDATA section keeps it.
    const bool blanksOnly = !text.isEmpty() && text.trimmed().isEmpty();
    if (!IsStorable(text) || (blanksOnly && !cdata)) {
        QByteArray units(text.size() * 2, Qt::Uninitialized);
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t c = text[i].unicode();
            units[2 * i] = static_cast<char>(c & 0xFF);
            units[2 * i + 1] = static_cast<char>(c >> 8);
        }
        WriteEncoded(writer, name, kStringEncoding, units);
        return;
    }
    writer.writeStartElement(name);
    if (cdata)
        writer.writeCDATA(text);
    else
        writer.writeCharacters(text);
    writer.writeEndElement();
}

void WriteXmlTagBytes(QXmlStreamWriter& writer, const QString& name, const QByteArray& value)
{
    if (!IsStorable(value)) {
        WriteEncoded(writer, name, kBytesEncoding, value);
        return;
    }
    writer.writeStartElement(name);
    writer.writeCDATA(QString::fromLatin1(value));
    writer.writeEndElement();
}

void WriteXmlAttributeUInt(QXmlStreamWriter& writer, const QString& name, int value)
{
    writer.writeAttribute(QXmlStreamAttribute(name, ToQString(lexical::FromInt(value))));
}

void WriteXmlAttributeBool(QXmlStreamWriter& writer, const QString& name, bool value)
{
    writer.writeAttribute(QXmlStreamAttribute(name, ToQString(lexical::FromBool(value))));
}

void WriteXmlAttributeWString(QXmlStreamWriter& writer, const QString& name, const std::wstring& value)
{
    writer.writeAttribute(QXmlStreamAttribute(name, QString::fromStdWString(value)));
}

} // namespace lumo::app
