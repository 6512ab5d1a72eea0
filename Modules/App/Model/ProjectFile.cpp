#include "ProjectFile.h"

#include "ProjectFileDigest.h"

#include <QByteArray>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QXmlStreamReader>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string_view>
#include <utility>
#include <csignal>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumo::app {

namespace {

// Far above any real project; a larger file is refused rather than read into memory.
constexpr qint64 kMaxXmlFileSize = qint64(512) * 1024 * 1024;

// Walks from at to the '>' that ends a piece of markup, stepping over quoted text; every other
// character goes to visit, which stops the walk by answering false. Where the walk stopped.
template <class Visit>
const char* UntilMarkupEnd(const char* at, const char* end, Visit visit)
{
    char quote = 0;
    for (; at != end; ++at) {
        if (quote != 0) {
            if (*at == quote)
                quote = 0;
        } else if (*at == '"' || *at == '\'') {
            quote = *at;
        } else if (*at == '>' || !visit(*at)) {
            break;
        }
    }
    return at;
}

// Looks at the bytes before any parser does, in one pass without allocating, for what would make
// a small file cost the parser seconds and gigabytes: a document type with an internal subset
// (entity declarations expand without bound, attribute defaults multiply attributes; a project
// file has no use for either), an element with more attributes than kMaxXmlAttributes (the
// parser checks each attribute against all before it), more elements than kMaxXmlElements (each
// costs the document tree some hundred bytes). 3 for the first two, 6 for the last, 0 otherwise;
// whatever else is wrong is left to the parser.
LMerr ScanXmlLimits(const QByteArray& bytes)
{
    const char* const begin = bytes.constData();
    const char* const end = begin + bytes.size();
    const auto startsWith = [&](const char* at, std::string_view word) {
        return static_cast<std::size_t>(end - at) >= word.size() && std::memcmp(at, word.data(), word.size()) == 0;
    };
    // The position after the first occurrence of the word, or the end.
    const auto after = [&](const char* from, std::string_view word) {
        const char* found = std::search(from, end, word.begin(), word.end());
        return found == end ? end : found + word.size();
    };
    qsizetype elements = 0;
    const char* at = begin;
    while ((at = static_cast<const char*>(std::memchr(at, '<', static_cast<std::size_t>(end - at)))) != nullptr) {
        if (startsWith(at, "<!--")) {
            at = after(at + 4, "-->");
        } else if (startsWith(at, "<![CDATA[")) {
            at = after(at + 9, "]]>");
        } else if (startsWith(at, "<?")) {
            at = after(at + 2, "?>");
        } else if (startsWith(at, "<!")) {
            // A declaration: the document type. Its subset opens with '[' outside quotes.
            bool subset = false;
            at = UntilMarkupEnd(at + 1, end, [&](char c) { return !(subset = c == '['); });
            if (subset)
                return LMerrXmlParse;
        } else if (startsWith(at, "</")) {
            at = after(at + 2, ">");
        } else {
            if (++elements > kMaxXmlElements)
                return LMerrOutOfMemory;
            // Each attribute has one '=' outside its quoted value.
            int attributes = 0;
            at = UntilMarkupEnd(at + 1, end, [&](char c) { return c != '=' || ++attributes <= kMaxXmlAttributes; });
            if (attributes > kMaxXmlAttributes)
                return LMerrXmlParse;
        }
        if (at == end)
            break;
    }
    return LMerrSuccess;
}

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

QByteArray DigestOf(const char* data, qint64 size)
{
    std::string hex;
    if (size > INT_MAX || Sha512Hex(data, static_cast<int>(size), hex) != 0)
        return {};
    return QByteArray::fromStdString(hex);
}

FileStamp StampOf(const struct stat& info, const QByteArray& bytes)
{
    FileStamp stamp;
    stamp.size = bytes.size();
    stamp.modified = static_cast<qint64>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    stamp.digest = DigestOf(bytes.constData(), bytes.size());
    return stamp;
}

// Reads an open plain file whole, for its stamp; a null stamp when it cannot.
FileStamp StampOfOpenFile(int fd)
{
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kMaxXmlFileSize)
        return {};
    try {
        QByteArray bytes(static_cast<qsizetype>(info.st_size), Qt::Uninitialized);
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t read = ::pread(fd, bytes.data() + done, static_cast<std::size_t>(bytes.size() - done), done);
            if (read < 0 && errno == EINTR)
                continue;
            if (read <= 0)
                return {};
            done += read;
        }
        return StampOf(info, bytes);
    } catch (const std::bad_alloc&) {
        return {};
    }
}

// Whether this process may write the file: see WriteFileSafely.
bool MayWrite(const QByteArray& name, const struct stat& info)
{
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return false;
    return ::faccessat(AT_FDCWD, name.constData(), W_OK, AT_EACCESS) == 0;
}

} // namespace

FileStamp ReadFileStamp(const QString& path)
{
    // A fifo or device would block or never end.
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return {};
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return {};
    const FileStamp stamp = StampOfOpenFile(fd);
    ::close(fd);
    return stamp;
}

LMerr ParseXmlDocument(const QByteArray& bytes, QDomDocument& document)
{
    try {
        if (const LMerr scanned = ScanXmlLimits(bytes); scanned != LMerrSuccess)
            return scanned;
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

LMerr ReadXmlDocument(const QString& path, QDomDocument& document, FileStamp* stamp)
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
    if (stamp != nullptr) {
        struct stat info {};
        *stamp = file.handle() >= 0 && ::fstat(file.handle(), &info) == 0 ? StampOf(info, bytes) : FileStamp{};
    }
    file.close();
    return ParseXmlDocument(bytes, document);
}

namespace {

// A temporary name in the target's folder, short whatever the target is called: the target's
// own name plus a suffix would not fit when that name is near the file system's limit.
constexpr char kTemporaryPrefix[] = ".lumora-";
constexpr char kTemporarySuffix[] = ".tmp";

// A temporary file next to the target: closed and removed when it goes, unless kept.
struct TemporaryFile {
    QByteArray name;
    int fd = -1;
    bool keep = false;

    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile()
    {
        if (fd >= 0)
            ::close(fd);
        if (!keep && !name.isEmpty())
            ::unlink(name.constData());
    }

    // Creates and opens a new file in the folder: mode 0666 less the umask, as any new file gets.
    bool Create(const QByteArray& folder)
    {
        static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        for (int attempt = 0; attempt < 100; ++attempt) {
            QByteArray candidate = folder + '/' + kTemporaryPrefix;
            for (int i = 0; i < 8; ++i)
                candidate += kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters - 1))];
            candidate += kTemporarySuffix;
            // Readable too: the writer takes the new file's stamp from it.
            const int opened = ::open(candidate.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (opened >= 0) {
                fd = opened;
                name = std::move(candidate);
                return true;
            }
            if (errno != EEXIST)
                return false;
        }
        return false;
    }
};

// A write past a file-size limit (ulimit -f) raises SIGXFSZ, which ends the program unless it
// is ignored; ignored, the write fails and the save answers 17. Done once when the library is
// loaded, so every program that links it gets it; a handler the program installed itself stays.
const bool kFileSizeSignalIgnored = [] {
    struct sigaction current {};
    if (sigaction(SIGXFSZ, nullptr, &current) != 0)
        return false;
    if (!(current.sa_flags & SA_SIGINFO) && current.sa_handler == SIG_DFL)
        std::signal(SIGXFSZ, SIG_IGN);
    return true;
}();

} // namespace

LMerr WriteFileSafely(const QString& path, const std::function<LMerr(QIODevice&)>& body, FileStamp* written)
{
    if (path.isEmpty())
        return LMerrCannotWrite;

    // A link is followed, so the link stays and the file it names gets the new text.
    QString target = path;
    const QFileInfo linkInfo(path);
    if (linkInfo.isSymLink()) {
        const QString canonical = linkInfo.canonicalFilePath();
        target = canonical.isEmpty() ? linkInfo.symLinkTarget() : canonical;
    }
    // Only a plain file is replaced: a fifo, device or folder of that name is refused, as the
    // loader refuses to read one.
    struct stat existing {};
    const QByteArray targetName = QFile::encodeName(target);
    const bool exists = ::stat(targetName.constData(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode))
        return LMerrCannotWrite;
    // The rename needs only the folder's permission: the file's own protection is kept here.
    if (exists && !MayWrite(targetName, existing))
        return LMerrCannotWrite;

    const QByteArray folderName = QFile::encodeName(QFileInfo(target).absolutePath());
    // Leaving before the rename (a code, an exception, any failure) closes and removes the
    // temporary file; everything from the rename on cannot fail or throw. The device goes first,
    // while the file it writes to is still open.
    TemporaryFile temporary;
    QFile file;
    if (!temporary.Create(folderName))
        return LMerrCannotWrite;
    // The previous file's permissions (and owner, where that is allowed) go to its successor.
    if (exists) {
        ::fchmod(temporary.fd, existing.st_mode & 07777);
        if (::fchown(temporary.fd, existing.st_uid, existing.st_gid) != 0) {
            // Only a privileged process may give a file away; the file stays the saver's.
        }
    }

    if (!file.open(temporary.fd, QIODevice::WriteOnly, QFileDevice::DontCloseHandle))
        return LMerrCannotWrite;
    const LMerr result = body(file);
    if (result != LMerrSuccess)
        return result;
    // The device buffers; a write error can surface only when the buffer goes out. The text is
    // on the disk before it replaces the previous file, or a crash could leave an empty file.
    if (!file.flush() || file.error() != QFileDevice::NoError || ::fsync(temporary.fd) != 0)
        return LMerrCannotWrite;
    // The rename keeps the file's time: the stamp taken now is the target's once it is replaced.
    // Without it a later save could not tell whether somebody else wrote the file: no save then.
    FileStamp stamp;
    if (written != nullptr && (stamp = StampOfOpenFile(temporary.fd)).IsNull())
        return LMerrCannotWrite;
    file.close();
    const int fd = std::exchange(temporary.fd, -1);
    if (file.error() != QFileDevice::NoError || ::close(fd) != 0)
        return LMerrCannotWrite;
    if (::rename(temporary.name.constData(), targetName.constData()) != 0)
        return LMerrCannotWrite;
    temporary.keep = true;
    if (written != nullptr)
        *written = std::move(stamp);
    // The rename itself is made durable with the folder; a failure here loses nothing.
    const int folderFd = ::open(folderName.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
    return LMerrSuccess;
}

} // namespace lumo::app
