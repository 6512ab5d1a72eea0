#pragma once

// Helpers shared by the project, layer and project-file tests.

#include "ItemLists.h"
#include "Project.h"

#include "XmlTestUtils.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include <csignal>
#include <sys/resource.h>

namespace lumo::test {

// A file under Tests/Data/projects.
inline QString ProjectData(const QString& name)
{
    QString root = qEnvironmentVariable("LUMORA_TEST_DATA");
    if (root.isEmpty())
        root = QStringLiteral(LUMORA_SOURCE_TEST_DATA);
    return root + QStringLiteral("/projects/") + name;
}

inline QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

inline std::unique_ptr<app::Project> NewProject()
{
    app::LMerr result = app::LMerrDefaultProject;
    auto project = std::make_unique<app::Project>(result);
    EXPECT_EQ(result, app::LMerrSuccess);
    return project;
}

inline std::unique_ptr<app::Project> OpenProject(const QString& path, app::LMerr& result)
{
    return std::make_unique<app::Project>(path, result);
}

// The types of a list's items in order.
template <class List>
std::vector<int> TypesOf(const List& list)
{
    std::vector<int> types;
    for (auto it = list.Begin(); it != list.End(); ++it)
        types.push_back((*it)->Type());
    return types;
}

template <class List>
std::vector<int> EnabledOf(const List& list)
{
    std::vector<int> enabled;
    for (auto it = list.Begin(); it != list.End(); ++it)
        enabled.push_back((*it)->IsEnabled() ? 1 : 0);
    return enabled;
}

// Every load gives items new ids, and no id is written: the written form compares settings by
// type, values and order.
inline QString Written(const app::AbstractProjectItem& item)
{
    return WriteItem(item);
}

// A temporary folder per test; opening a project changes the working directory, which is put
// back afterwards.
class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_savedCurrent = QDir::currentPath();
        ASSERT_TRUE(m_dir.isValid());
    }
    void TearDown() override { QDir::setCurrent(m_savedCurrent); }

    QString PathOf(const QString& name) const { return m_dir.filePath(name); }

    // Saves the project and answers the file's bytes.
    QByteArray SavedBytes(const app::Project& project, const QString& name)
    {
        const QString path = PathOf(name);
        EXPECT_EQ(project.SaveToXml(path, QStringLiteral("4.1.0004"), QStringLiteral("4.0")), app::LMerrSuccess);
        return ReadBytes(path);
    }

    QTemporaryDir m_dir;

private:
    QString m_savedCurrent;
};

// Lowers the file size limit (ulimit -f) of the process while it lives; with it every write
// past the limit fails, as on a full disk. Exceeding it would raise SIGXFSZ, which loading the
// App library makes the process ignore.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit limited = m_saved;
        limited.rlim_cur = bytes;
        m_active = setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_saved); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool IsActive() const { return m_active; }

private:
    rlimit m_saved{};
    bool m_active = false;
};

} // namespace lumo::test
