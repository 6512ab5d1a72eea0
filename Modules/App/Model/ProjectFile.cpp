#include "ProjectFile.h"

#include <QByteArray>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QXmlStreamReader>

#include <new>

namespace lumo::app {

namespace {

// Far above any real project; a larger file is refused rather than read into memory.
constexpr qint64 kMaxXmlFileSize = qint64(512) * 1024 * 1024;

// A cheap pass that checks well-formedness and nesting without recursion.
bool IsWellFormedAndShallow(const QByteArray& bytes)
{
    QXmlStreamReader reader(bytes);
    int depth = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            if (++depth > kMaxXmlDepth)
                return false;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        default:
            break;
        }
    }
    return !reader.hasError();
}

} // namespace

LMerr ParseXmlDocument(const QByteArray& bytes, QDomDocument& document)
{
    try {
        if (!IsWellFormedAndShallow(bytes))
            return LMerrXmlParse;
        if (!document.setContent(bytes, true))
            return LMerrXmlParse;
    } catch (const std::bad_alloc&) {
        document.clear();
        return LMerrOutOfMemory;
    }
    return LMerrSuccess;
}

LMerr ReadXmlDocument(const QString& path, QDomDocument& document)
{
    // A fifo or device would block or never end; only plain files (and resources) are read.
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile())
        return LMerrFileOpen;
    if (info.size() > kMaxXmlFileSize)
        return LMerrOutOfMemory;

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return LMerrFileOpen;
    QByteArray bytes;
    try {
        bytes = file.readAll();
    } catch (const std::bad_alloc&) {
        return LMerrOutOfMemory;
    }
    if (file.error() != QFileDevice::NoError)
        return LMerrFileOpen;
    if (bytes.size() > kMaxXmlFileSize)
        return LMerrOutOfMemory;
    file.close();
    return ParseXmlDocument(bytes, document);
}

LMerr WriteFileSafely(const QString& path, const std::function<LMerr(QIODevice&)>& body)
{
    if (path.isEmpty())
        return LMerrCannotWrite;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return LMerrCannotWrite;
    // Leaving without a commit (a code or an exception) discards the temporary file.
    const LMerr result = body(file);
    if (result != LMerrSuccess) {
        file.cancelWriting();
        return result;
    }
    // The device buffers; a write error can surface only when the buffer goes out, and the
    // commit does not report every such error, so the flush is checked on its own.
    if (!file.flush() || file.error() != QFileDevice::NoError) {
        file.cancelWriting();
        return LMerrCannotWrite;
    }
    if (!file.commit())
        return LMerrCannotWrite;
    return LMerrSuccess;
}

} // namespace lumo::app
