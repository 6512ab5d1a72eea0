// The loader over broken files made here from good ones: every file gives a code, never a crash
// or a hang, and whatever loads saves and loads again unchanged.

#include "Project.h"

#include "ProjectTestUtils.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <random>

using namespace lumo::app;
using namespace lumo::test;

namespace {

class ProjectCorpusTest : public TempDirTest {
protected:
    LMerr Load(const QByteArray& bytes)
    {
        // A new name each time: rewriting one file makes the file system flush it at every close.
        const QString path = PathOf(QStringLiteral("corpus-%1.lumo4").arg(m_count++));
        EXPECT_TRUE(WriteBytes(path, bytes));
        LMerr result = LMerrSuccess;
        const auto project = OpenProject(path, result);
        QFile::remove(path);
        if (result == LMerrSuccess) {
            // What loads must survive its own save unchanged.
            const QByteArray saved = SavedBytes(*project, QStringLiteral("resaved.lumo4"));
            LMerr again = LMerrDefaultProject;
            const auto reloaded = OpenProject(PathOf(QStringLiteral("resaved.lumo4")), again);
            EXPECT_EQ(again, LMerrSuccess);
            EXPECT_EQ(SavedBytes(*reloaded, QStringLiteral("resaved2.lumo4")), saved);
        }
        return result;
    }

    // The pretty fixture and the compact form the writer produces.
    std::vector<QByteArray> Seeds()
    {
        const QByteArray rich = ReadBytes(ProjectData(QStringLiteral("rich.lumo4")));
        LMerr result = LMerrDefaultProject;
        const auto project = OpenProject(ProjectData(QStringLiteral("rich.lumo4")), result);
        EXPECT_EQ(result, LMerrSuccess);
        return {rich, SavedBytes(*project, QStringLiteral("compact.lumo4")),
                SavedBytes(*NewProject(), QStringLiteral("default.lumo4"))};
    }

    std::mt19937 m_random{20240611u};
    int m_count = 0;
};

// The codes a load can give: opened, not parsed (or refused before parsing), bad data,
// unsupported format, out of memory (or too large), the 2.0 conversion not written.
bool IsLoadCode(LMerr code)
{
    for (const LMerr known : {LMerrSuccess, LMerrXmlParse, LMerrInvalidData, LMerrUnsupportedFormat, LMerrOutOfMemory,
                              LMerrCannotWrite}) {
        if (code == known)
            return true;
    }
    return false;
}

} // namespace

TEST_F(ProjectCorpusTest, TruncatedFilesDoNotParse)
{
    for (const QByteArray& seed : Seeds()) {
        const qsizetype end = seed.lastIndexOf('>') + 1;
        const qsizetype step = std::max<qsizetype>(1, end / 400);
        for (qsizetype offset = 0; offset < end; offset += step)
            EXPECT_EQ(Load(seed.left(offset)), LMerrXmlParse) << "cut at " << offset;
        for (qsizetype offset = std::max<qsizetype>(0, end - 40); offset < end; ++offset)
            EXPECT_EQ(Load(seed.left(offset)), LMerrXmlParse) << "cut at " << offset;
    }
}

TEST_F(ProjectCorpusTest, RandomBytesAreRefused)
{
    std::uniform_int_distribution<int> length(0, 4096);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < 200; ++i) {
        QByteArray bytes(length(m_random), '\0');
        for (char& c : bytes)
            c = static_cast<char>(byte(m_random));
        if (i % 2 == 1)
            bytes.prepend("<?xml version=\"1.0\"?><project><fileFormat>4.0</fileFormat>");
        EXPECT_NE(Load(bytes), LMerrSuccess) << "sample " << i;
    }
}

TEST_F(ProjectCorpusTest, MutatedFilesGiveACode)
{
    const QStringList odd = {QStringLiteral("99999999999999999999999"), QStringLiteral("-1"), QStringLiteral("nan"),
                             QStringLiteral("1e308"), QStringLiteral(""), QStringLiteral("0x10"),
                             QStringLiteral("-2147483649"), QStringLiteral("{00000000-0000-0000-0000-000000000000}")};
    const QRegularExpression number(QStringLiteral(">(-?[0-9.e]+)<"));

    int loaded = 0;
    int refused = 0;
    for (const QByteArray& seed : Seeds()) {
        // Numbers all over the file replaced in turn by text a reader must refuse (4; 5 for the
        // file format) or take safely (a field with a fallback): never a parse failure, never a
        // crash, and what loads saves and loads again unchanged (Load).
        const QString text = QString::fromUtf8(seed);
        int index = 0;
        for (auto match = number.globalMatch(text); match.hasNext(); ++index) {
            const auto m = match.next();
            if (index % 3 != 0)
                continue;
            QString mutated = text;
            const QString& replacement = odd[(index / 3) % odd.size()];
            mutated.replace(m.capturedStart(1), m.capturedLength(1), replacement);
            const LMerr result = Load(mutated.toUtf8());
            EXPECT_TRUE(result == LMerrSuccess || result == LMerrInvalidData || result == LMerrUnsupportedFormat)
                << result << " for " << replacement.toStdString() << " at " << m.capturedStart(1);
            (result == LMerrSuccess ? loaded : refused) += 1;
        }

        std::uniform_int_distribution<qsizetype> position(0, seed.size() - 1);
        std::uniform_int_distribution<int> kind(0, 3);
        for (int i = 0; i < 150; ++i) {
            QByteArray bytes = seed;
            const qsizetype at = position(m_random);
            const qsizetype span = std::min<qsizetype>(bytes.size() - at, 1 + position(m_random) % 64);
            switch (kind(m_random)) {
            case 0: // flipped bytes
                for (int n = 0; n < 4; ++n)
                    bytes[position(m_random)] = static_cast<char>(m_random());
                break;
            case 1: // a range removed
                bytes.remove(at, span);
                break;
            case 2: // a range repeated
                bytes.insert(at, bytes.mid(at, span));
                break;
            case 3: // a range moved elsewhere
                bytes.insert(position(m_random) % bytes.size(), bytes.mid(at, span));
                bytes.remove(at, span);
                break;
            }
            const LMerr result = Load(bytes);
            EXPECT_TRUE(IsLoadCode(result)) << result << " for sample " << i;
            (result == LMerrSuccess ? loaded : refused) += 1;
        }
    }
    // Both roads were taken: the mutations are neither all harmless nor all fatal.
    EXPECT_GT(loaded, 50);
    EXPECT_GT(refused, 50);
}
