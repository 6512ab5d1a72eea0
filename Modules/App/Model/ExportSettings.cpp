#include "ExportSettings.h"

#include "XmlValues.h"

#include <QDomElement>
#include <QXmlStreamWriter>

namespace lumo::app {

ExportSettings::ExportSettings() = default;

ExportSettings::~ExportSettings() = default;

LMerr ExportSettings::LoadFromXml(QDomElement& project)
{
    return CatchXml([&] {
        const QDomElement settings = project.firstChildElement(QStringLiteral("exportSettings"));
        const int format = ReadXmlTagInt(settings, QStringLiteral("format"));
        if (format < ExportFormatUnused0 || format > ExportFormatJpg)
            throw XmlException(LMerrInvalidData, "Format data is invalid");
        m_format = static_cast<ExportFormat>(format);
        m_quality = ReadXmlTagInt(settings, QStringLiteral("quality"));
        m_path = ReadXmlTagWString(settings, QStringLiteral("path"));
        m_prefix = ReadXmlTagWString(settings, QStringLiteral("prefix"));
        m_suffix = ReadXmlTagWString(settings, QStringLiteral("suffix"));
        m_codecCollapsed = ReadXmlTagBool(settings, QStringLiteral("codecCollapsed"));
        m_selectionCollapsed = ReadXmlTagBool(settings, QStringLiteral("selectionCollapsed"));
    });
}

LMerr ExportSettings::WriteToXml(QXmlStreamWriter& writer) const
{
    return CatchXml([&] {
        writer.writeStartElement(QStringLiteral("exportSettings"));
        WriteXmlTagInt(writer, QStringLiteral("format"), m_format);
        WriteXmlTagInt(writer, QStringLiteral("quality"), m_quality);
        WriteXmlTagWString(writer, QStringLiteral("path"), m_path, true);
        WriteXmlTagWString(writer, QStringLiteral("prefix"), m_prefix, true);
        WriteXmlTagWString(writer, QStringLiteral("suffix"), m_suffix, true);
        WriteXmlTagBool(writer, QStringLiteral("codecCollapsed"), m_codecCollapsed);
        WriteXmlTagBool(writer, QStringLiteral("selectionCollapsed"), m_selectionCollapsed);
        writer.writeEndElement();
    });
}

} // namespace lumo::app
