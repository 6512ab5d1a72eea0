// Saving when things go wrong: memory running out at any allocation of a save, characters XML
// cannot hold, names the file system barely takes, targets that are no plain file. A save either
// completes or answers 17 and leaves the previous file byte for byte as it was.
//
// This program replaces the global allocation functions, so that a test can make the n-th
// allocation of this thread fail; it runs in a process of its own for that reason.

#include "LayerManager.h"
#include "Mask.h"
#include "Project.h"
#include "TextItem.h"

#include "ProjectTestUtils.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <new>

namespace {

// Allocations of this thread left before one fails; negative: none fails.
thread_local long t_allocationsBeforeFailure = -1;

bool AllocationFails()
{
    if (t_allocationsBeforeFailure < 0)
        return false;
    return t_allocationsBeforeFailure-- == 0;
}

void* Allocate(std::size_t size, std::size_t alignment = alignof(std::max_align_t))
{
    if (AllocationFails())
        return nullptr;
    if (size == 0)
        size = 1;
    if (alignment <= alignof(std::max_align_t))
        return std::malloc(size);
    void* memory = nullptr;
    return posix_memalign(&memory, alignment, size) == 0 ? memory : nullptr;
}

void* AllocateOrThrow(std::size_t size, std::size_t alignment = alignof(std::max_align_t))
{
    void* memory = Allocate(size, alignment);
    if (memory == nullptr)
        throw std::bad_alloc();
    return memory;
}

// Makes the n-th allocation of this thread from now on fail, until it goes.
class FailingAllocation {
public:
    explicit FailingAllocation(long n) { t_allocationsBeforeFailure = n; }
    ~FailingAllocation() { t_allocationsBeforeFailure = -1; }
    // Whether the failure was reached.
    static bool Happened() { return t_allocationsBeforeFailure < 0; }
};

} // namespace

void* operator new(std::size_t size)
{
    return AllocateOrThrow(size);
}
void* operator new[](std::size_t size)
{
    return AllocateOrThrow(size);
}
void* operator new(std::size_t size, std::align_val_t alignment)
{
    return AllocateOrThrow(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment)
{
    return AllocateOrThrow(size, static_cast<std::size_t>(alignment));
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return Allocate(size);
}
void operator delete(void* memory) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory) noexcept
{
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept
{
    std::free(memory);
}
void operator delete(void* memory, std::align_val_t) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory, std::align_val_t) noexcept
{
    std::free(memory);
}
void operator delete(void* memory, std::size_t, std::align_val_t) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept
{
    std::free(memory);
}

using namespace lumo::app;
using namespace lumo::test;

namespace {

class SaveFaultTest : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        LMerr result = LMerrDefaultProject;
        m_project = OpenProject(ProjectData(QStringLiteral("rich.lumo4")), result);
        ASSERT_EQ(result, LMerrSuccess);
        m_path = PathOf(QStringLiteral("work.lumo4"));
        ASSERT_TRUE(WriteBytes(m_path, "the previous file"));
    }

    LMerr Save(const QString& path) const
    {
        return m_project->SaveToXml(path, QStringLiteral("4.1.0004"), QStringLiteral("4.0"));
    }

    QStringList FilesInFolder() const
    {
        return QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

    std::unique_ptr<Project> m_project;
    QString m_path;
};

} // namespace

TEST_F(SaveFaultTest, MemoryRunningOutAtAnyAllocationCancelsTheSave)
{
    // Every allocation of the save fails in turn, the text items', masks' and lists' writers
    // included; each time the save answers 17 and the previous file is untouched.
    long failures = 0;
    for (long n = 0;; ++n) {
        LMerr result = LMerrSuccess;
        bool reached = false;
        {
            const FailingAllocation failing(n);
            result = Save(m_path);
            reached = FailingAllocation::Happened();
        }
        if (!reached) {
            EXPECT_EQ(result, LMerrSuccess);
            break;
        }
        ++failures;
        ASSERT_EQ(result, LMerrCannotWrite) << "allocation " << n;
        ASSERT_EQ(ReadBytes(m_path), QByteArray("the previous file")) << "allocation " << n;
        ASSERT_EQ(FilesInFolder(), QStringList{QStringLiteral("work.lumo4")}) << "allocation " << n;
    }
    EXPECT_GT(failures, 100);
    // The save that could allocate everything wrote the whole project.
    LMerr result = LMerrDefaultProject;
    const auto reloaded = OpenProject(m_path, result);
    EXPECT_EQ(result, LMerrSuccess);
    EXPECT_EQ(Written(*reloaded->GetLayerManager()), Written(*m_project->GetLayerManager()));
}

TEST_F(SaveFaultTest, TextXmlCannotHoldIsStoredAndComesBack)
{
    // Characters legal in a Linux file name or a name, but not in XML 1.0 as they stand.
    std::vector<char16_t> characters;
    for (char16_t c = 1; c < 0x20; ++c)
        characters.push_back(c);
    characters.insert(characters.end(), {0x7F, 0xFFFE, 0xFFFF});

    const LayerManagerPtr layers = m_project->GetLayerManager();
    const ForegroundImageLayerPtr foreground = layers->GetForeground(layers->CurrentForegroundId());
    ASSERT_TRUE(foreground);
    const ForegroundImageLayerSettingsPtr settings = layers->GetForegroundSettings();
    ASSERT_GT(settings->Masks().Size(), 0u);
    const MaskPtr mask = *settings->Masks().Begin();
    const auto text = std::make_shared<TextItem>();
    settings->TextItems().Clear();
    ASSERT_EQ(settings->TextItems().Add(text), LMerrSuccess);

    for (const char16_t c : characters) {
        SCOPED_TRACE(testing::Message() << "U+" << std::hex << int(c));
        const QString odd = QStringLiteral("/photos/a") + QChar(c) + QStringLiteral("b.jpg");
        foreground->SetPath(odd);
        foreground->SetName(odd);
        layers->GetBackground()->SetPath(odd);
        mask->SetMaskName(odd);
        text->SetTextItemName(odd);
        text->SetFontName(odd);
        const QByteArray bytes = QByteArray("x") + char(c & 0xFF) + "\r\ny";
        text->SetTextString(bytes);
        m_project->SetCurrentThumbnailFolder(odd);
        m_project->GetExportSettings().SetPrefix(odd.toStdWString());

        ASSERT_EQ(Save(m_path), LMerrSuccess);
        LMerr result = LMerrDefaultProject;
        const auto reloaded = OpenProject(m_path, result);
        ASSERT_EQ(result, LMerrSuccess) << "the saved file opens";
        const LayerManagerPtr back = reloaded->GetLayerManager();
        const ForegroundImageLayerPtr backForeground = back->GetForeground(foreground->Id());
        ASSERT_TRUE(backForeground);
        EXPECT_EQ(backForeground->Path(), odd);
        EXPECT_EQ(backForeground->Name(), odd);
        EXPECT_EQ(back->GetBackground()->Path(), odd);
        const ForegroundImageLayerSettingsPtr backSettings = back->GetForegroundSettings();
        EXPECT_EQ((*backSettings->Masks().Begin())->MaskName(), odd);
        const TextItemPtr backText = *backSettings->TextItems().Begin();
        EXPECT_EQ(backText->TextItemName(), odd);
        EXPECT_EQ(backText->FontName(), odd);
        EXPECT_EQ(backText->TextString(), bytes);
        EXPECT_EQ(reloaded->CurrentThumbnailFolder(), odd);
        EXPECT_EQ(QString::fromStdWString(reloaded->GetExportSettings().Prefix()), odd);
        // Nothing else moved: the file the reload writes is the file it read.
        EXPECT_EQ(SavedBytes(*reloaded, QStringLiteral("again.lumo4")), ReadBytes(m_path));
    }
}

TEST_F(SaveFaultTest, NamesUpToTheFileSystemsLimitAreSavedOver)
{
    // Names of 249 to 255 bytes can be made; the save's temporary file must not need more.
    const QString eAcute = QString(QChar(0xE9)); // two bytes in UTF-8
    const QString names[] = {QString(249, QLatin1Char('a')) + ".lumo4", QString(248, QLatin1Char('b')) + ".lumo4",
                             eAcute.repeated(124) + "12345.lumo4" /* 248 + 11 = 259 bytes: too long */,
                             eAcute.repeated(122) + "12345.lumo4" /* 255 bytes */};
    for (const QString& name : names) {
        const QByteArray encoded = QFile::encodeName(name);
        SCOPED_TRACE(testing::Message() << encoded.size() << " bytes");
        const QString path = PathOf(name);
        if (encoded.size() > 255) {
            EXPECT_FALSE(WriteBytes(path, "x")) << "the file system takes no such name";
            EXPECT_EQ(Save(path), LMerrCannotWrite);
            continue;
        }
        ASSERT_TRUE(WriteBytes(path, "the previous file"));
        ASSERT_EQ(Save(path), LMerrSuccess);
        LMerr result = LMerrDefaultProject;
        OpenProject(path, result);
        EXPECT_EQ(result, LMerrSuccess);
        EXPECT_TRUE(QFile::remove(path));
    }
    EXPECT_EQ(FilesInFolder(), QStringList{QStringLiteral("work.lumo4")}) << "no temporary file is left";
}

TEST_F(SaveFaultTest, TargetsThatAreNoPlainFileAreRefused)
{
    // A fifo would be replaced by a plain file (or, written into, block); a folder stays one.
    const QString fifo = PathOf(QStringLiteral("fifo.lumo4"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString folder = PathOf(QStringLiteral("folder.lumo4"));
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const QString& target : {fifo, folder, QStringLiteral("/dev/null")}) {
        SCOPED_TRACE(target.toStdString());
        EXPECT_EQ(Save(target), LMerrCannotWrite);
    }
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(fifo).constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    EXPECT_TRUE(QFileInfo(folder).isDir());

    // A link to a plain file is followed: the file gets the project, the link stays a link, and
    // the file keeps its permissions.
    ASSERT_TRUE(QFile::setPermissions(m_path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    const QString link = PathOf(QStringLiteral("link.lumo4"));
    ASSERT_TRUE(QFile::link(m_path, link));
    ASSERT_EQ(Save(link), LMerrSuccess);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(ReadBytes(m_path).startsWith("<?xml"));
    ASSERT_EQ(::stat(QFile::encodeName(m_path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_EQ(FilesInFolder(),
              (QStringList{QStringLiteral("fifo.lumo4"), QStringLiteral("folder.lumo4"), QStringLiteral("link.lumo4"),
                           QStringLiteral("work.lumo4")}));
}

TEST_F(SaveFaultTest, AWriteProtectedFileKeepsItsBytesWhoeverSaves)
{
    // The folder is writable, so the rename could replace the file: its own protection holds, for
    // a privileged process (as tests in CI run) as for anybody.
    const QByteArray name = QFile::encodeName(m_path);
    ASSERT_EQ(::chmod(name.constData(), 0444), 0);
    EXPECT_EQ(Save(m_path), LMerrCannotWrite);
    EXPECT_EQ(ReadBytes(m_path), QByteArray("the previous file"));
    struct stat info {};
    ASSERT_EQ(::stat(name.constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0444u);
    EXPECT_EQ(FilesInFolder(), QStringList{QStringLiteral("work.lumo4")});
    // Writable again, it is saved over.
    ASSERT_EQ(::chmod(name.constData(), 0644), 0);
    EXPECT_EQ(Save(m_path), LMerrSuccess);

    if (::geteuid() != 0)
        return;
    // An ordinary user, in a folder open to all, saving over this process's files: a protected one
    // and a writable one of another owner are refused, a new one is written.
    ASSERT_EQ(::chmod(QFile::encodeName(m_dir.path()).constData(), 0777), 0);
    const QString protectedPath = PathOf(QStringLiteral("protected.lumo4"));
    ASSERT_TRUE(WriteBytes(protectedPath, "protected"));
    ASSERT_EQ(::chmod(QFile::encodeName(protectedPath).constData(), 0444), 0);
    const QByteArray owned = ReadBytes(m_path);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0
            || ::access(QFile::encodeName(m_dir.path()).constData(), W_OK | X_OK) != 0)
            ::_exit(77);
        int failed = 0;
        failed |= Save(protectedPath) == LMerrCannotWrite ? 0 : 1;
        failed |= Save(m_path) == LMerrCannotWrite ? 0 : 2;
        failed |= Save(PathOf(QStringLiteral("new.lumo4"))) == LMerrSuccess ? 0 : 4;
        ::_exit(failed);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no unprivileged user can reach the test folder";
    EXPECT_EQ(WEXITSTATUS(status) & 1, 0) << "a protected file was replaced";
    EXPECT_EQ(WEXITSTATUS(status) & 2, 0) << "another owner's file was replaced";
    EXPECT_EQ(WEXITSTATUS(status) & 4, 0) << "a new file in a writable folder was refused";
    EXPECT_EQ(ReadBytes(protectedPath), QByteArray("protected"));
    EXPECT_EQ(ReadBytes(m_path), owned);
}

TEST_F(SaveFaultTest, AFileSizeLimitCancelsTheSaveInsteadOfEndingTheProgram)
{
    // The process is not ended by SIGXFSZ: the library ignores it.
    const FileSizeLimit limit(2048);
    ASSERT_TRUE(limit.IsActive());
    EXPECT_EQ(Save(m_path), LMerrCannotWrite);
    EXPECT_EQ(ReadBytes(m_path), QByteArray("the previous file"));
    EXPECT_EQ(FilesInFolder(), QStringList{QStringLiteral("work.lumo4")});
}
