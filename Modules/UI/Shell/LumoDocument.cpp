#include "Shell/LumoDocument.h"

#include <QFile>

namespace lumo::ui {

LumoDocument::LumoDocument() : m_id(QUuid::createUuid()) {}

LumoDocument::~LumoDocument()
{
    RemoveTemporaryFiles();
}

void LumoDocument::RemoveTemporaryFiles()
{
    for (const QString& path : std::as_const(m_temporaryFiles))
        QFile::remove(path);
    m_temporaryFiles.clear();
}

} // namespace lumo::ui
