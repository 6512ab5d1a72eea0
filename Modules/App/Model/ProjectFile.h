#pragma once

// Reading and writing whole XML files of the project model (project files and the built-in
// resources), guarded against untrusted input and against losing the previous file.

#include "AppExport.h"
#include "LMerr.h"

#include <QByteArray>
#include <QString>

#include <functional>

class QDomDocument;
class QIODevice;

namespace lumo::app {

// Deeper nesting than any project file has; the DOM parser recurses per level, so deeper
// documents are refused before they reach it.
inline constexpr int kMaxXmlDepth = 256;
// More attributes on one element than any project file has (six); the parser's work grows with
// the square of their number.
inline constexpr int kMaxXmlAttributes = 64;
// Elements in one file: some fifty times those of a project with a hundred foregrounds of their
// own settings, or with ten masks of ten thousand points; beyond it the document tree alone
// would take hundreds of megabytes.
inline constexpr qsizetype kMaxXmlElements = 1000000;

// Parses bytes into document (namespace processing on). 3 when the text is not well-formed, is
// nested deeper than kMaxXmlDepth, declares a document type with an internal subset (entities)
// or has an element with more than kMaxXmlAttributes attributes; 6 when it holds more than
// kMaxXmlElements elements or memory runs out; else 0. The limits are checked on the bytes,
// before any parser sees them.
APP_EXPORT LMerr ParseXmlDocument(const QByteArray& bytes, QDomDocument& document);

// One version of a file on disk, to tell whether somebody else wrote it since: its size, the time
// of its last change in nanoseconds and the SHA-512 of its bytes. A null stamp (no digest) stands
// for a version that could not be taken and equals no file.
struct FileStamp {
    qint64 size = -1;
    qint64 modified = 0;
    QByteArray digest;

    bool IsNull() const { return digest.isEmpty(); }
    bool operator==(const FileStamp& other) const = default;
};

// The stamp of the file as it is now; null when it is missing, no plain file or cannot be read.
APP_EXPORT FileStamp ReadFileStamp(const QString& path);

// Reads a file or resource and parses it. 1 when it is not a regular file or cannot be read,
// 6 when it is too large to hold, otherwise as ParseXmlDocument. stamp, when given, receives the
// stamp of the bytes read (null for a resource).
APP_EXPORT LMerr ReadXmlDocument(const QString& path, QDomDocument& document, FileStamp* stamp = nullptr);

// Writes a file through a temporary file in the same folder (with a short name of its own, so a
// target whose name is near the file system's limit can be replaced too) that replaces the
// target only when everything was written and synced: on any failure the previous file is left
// as it was and the temporary file is removed. body writes to the device and returns its code;
// a non-zero code or a device error discards the new text. A link is followed; a target that
// exists but is no plain file (a fifo, a device, a folder) is refused, and so is one the caller may
// not write (see below). The new file keeps the previous one's permissions. 17 when the file
// cannot be written, otherwise body's code. written, when given, receives the stamp of the new
// file after a success (a stamp that cannot be taken fails the save).
//
// A file is not writable when the system denies this process writing it (access(2) with the
// effective ids), or when its mode gives write permission to nobody: the system grants a
// privileged process every write, yet a file protected that way stays protected for it too. The
// rename that replaces the file needs only the folder's permission, so the file's own is checked
// here.
// Loading the library makes the process ignore SIGXFSZ (unless it handles it), so a file-size
// limit makes a save fail instead of ending the program.
APP_EXPORT LMerr WriteFileSafely(const QString& path, const std::function<LMerr(QIODevice&)>& body,
                                 FileStamp* written = nullptr);

} // namespace lumo::app
