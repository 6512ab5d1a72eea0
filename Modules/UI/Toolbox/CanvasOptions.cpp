#include "Toolbox/CanvasOptions.h"

#include "Shell/Settings.h"

#include <QDir>
#include <QFile>

#include <stdexcept>

namespace lumo::ui {

void CanvasOptions::Load()
{
    Load(QDir(ApplicationDirectory()).filePath(QStringLiteral("canvas.xml")), QStringLiteral(":Temp/canvas.xml"));
}

void CanvasOptions::Load(const QString& overridePath, const QString& builtInPath)
{
    if (QFile::exists(overridePath)) {
        if (!ReadFile(overridePath))
            throw std::runtime_error(tr("The canvas.xml file is invalid or corrupt.\n\nIf you manually edited this file "
                                        "then please delete it, or re-install the program.")
                                         .toStdString());
        return;
    }
    if (!ReadFile(builtInPath))
        throw std::runtime_error(
            tr("The internal canvas settings are invalid or corrupt.\n\nPlease re-install the program.").toStdString());
}

bool CanvasOptions::ReadFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    m_reader.clear();
    m_reader.setDevice(&file);
    m_reader.readNext();
    while (!m_reader.atEnd()) {
        if (m_reader.isStartElement()) {
            if (m_reader.name() == QLatin1String("canvas_options"))
                ReadCanvasOptions();
            else
                m_reader.raiseError(tr("Not a canvas_options file"));
        } else {
            m_reader.readNext();
        }
    }
    file.close();
    const bool read = !m_reader.hasError() && file.error() == QFile::NoError;
    m_reader.setDevice(nullptr);
    return read;
}

template <typename Handler>
void CanvasOptions::ReadChildren(Handler element)
{
    m_reader.readNext();
    while (!m_reader.atEnd()) {
        if (m_reader.isEndElement()) {
            m_reader.readNext();
            return;
        }
        if (m_reader.isStartElement())
            element();
        else
            m_reader.readNext();
    }
}

void CanvasOptions::ReadCanvasOptions()
{
    ReadChildren([this] {
        if (m_reader.name() == QLatin1String("canvas_sizes"))
            ReadCanvasSizes();
        else if (m_reader.name() == QLatin1String("resolution_sizes"))
            ReadResolutionSizes();
        else
            SkipUnknownElement();
    });
}

void CanvasOptions::ReadCanvasSizes()
{
    ReadChildren([this] {
        if (m_reader.name() == QLatin1String("size"))
            ReadSize();
        else
            SkipUnknownElement();
    });
}

void CanvasOptions::ReadSize()
{
    CanvasSizePreset preset;
    ReadChildren([this, &preset] {
        const auto name = m_reader.name();
        if (name == QLatin1String("description")) {
            const QString text = m_reader.readElementText();
            if (!text.isEmpty())
                preset.description = text;
        } else if (name == QLatin1String("width") || name == QLatin1String("height")) {
            const bool isWidth = name == QLatin1String("width");
            bool ok = false;
            const float value = m_reader.readElementText().toFloat(&ok);
            if (ok)
                (isWidth ? preset.width : preset.height) = value;
        } else {
            SkipUnknownElement();
            return;
        }
        // readElementText leaves the reader on the element's end tag.
        if (m_reader.isEndElement())
            m_reader.readNext();
    });
    // A truncated document ends inside the size: the error decides, the preset is not kept half.
    if (!m_reader.hasError())
        m_sizes.append(preset);
}

void CanvasOptions::ReadResolutionSizes()
{
    ReadChildren([this] {
        if (m_reader.name() == QLatin1String("resolution")) {
            bool ok = false;
            const int value = m_reader.readElementText().toInt(&ok, 10);
            if (ok)
                m_resolutions.append(value);
            if (m_reader.isEndElement())
                m_reader.readNext();
        } else {
            SkipUnknownElement();
        }
    });
}

void CanvasOptions::SkipUnknownElement()
{
    ReadChildren([this] { SkipUnknownElement(); });
}

} // namespace lumo::ui
