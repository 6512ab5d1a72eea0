#include "FilterItems.h"
#include "LayerManager.h"
#include "Mask.h"
#include "Project.h"
#include "ProjectFile.h"
#include "ProjectFileDigest.h"
#include "TextItem.h"

#include "ProjectTestUtils.h"

#include <QDomDocument>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <functional>

#include <fcntl.h>
#include <sys/stat.h>

using namespace lumo::app;
using namespace lumo::test;

namespace {

const QUuid kAlpha(QStringLiteral("{aaaaaaaa-1111-4111-8111-111111111111}"));
const QUuid kBeta(QStringLiteral("{bbbbbbbb-2222-4222-8222-222222222222}"));
const QUuid kGamma(QStringLiteral("{cccccccc-3333-4333-8333-333333333333}"));
const QUuid kImageLayer(QStringLiteral("{22222222-3333-4444-8555-666666666666}"));
const QUuid kBackgroundId(QStringLiteral("{b42b335f-1c3c-4d23-bbec-fabd0f39ec9e}"));

// The element at a path of tag names below the root; "tag#n" takes the n-th such child.
QDomElement At(const QDomDocument& document, const QString& path)
{
    QDomElement element = document.documentElement();
    for (const QString& step : path.split('/', Qt::SkipEmptyParts)) {
        const QStringList parts = step.split('#');
        element = element.firstChildElement(parts[0]);
        for (int n = parts.size() > 1 ? parts[1].toInt() : 0; n > 0; --n)
            element = element.nextSiblingElement(parts[0]);
    }
    return element;
}

using Edit = std::function<void(QDomDocument&)>;

Edit Remove(const QString& path)
{
    return [path](QDomDocument& d) {
        QDomElement e = At(d, path);
        ASSERT_FALSE(e.isNull()) << path.toStdString();
        e.parentNode().removeChild(e);
    };
}

Edit SetText(const QString& path, const QString& text)
{
    return [path, text](QDomDocument& d) {
        QDomElement e = At(d, path);
        ASSERT_FALSE(e.isNull()) << path.toStdString();
        while (e.hasChildNodes())
            e.removeChild(e.firstChild());
        e.appendChild(d.createTextNode(text));
    };
}

Edit Rename(const QString& path, const QString& tag)
{
    return [path, tag](QDomDocument& d) {
        QDomElement e = At(d, path);
        ASSERT_FALSE(e.isNull()) << path.toStdString();
        e.setTagName(tag);
    };
}

Edit RemoveAttribute(const QString& path, const QString& name)
{
    return [path, name](QDomDocument& d) { At(d, path).removeAttribute(name); };
}

QByteArray Edited(const QByteArray& bytes, const Edit& edit)
{
    QDomDocument document;
    EXPECT_TRUE(document.setContent(bytes));
    edit(document);
    return document.toByteArray();
}

// A project that failed to load holds its initial values and nothing of the file.
void ExpectNothingLoaded(const Project& project)
{
    EXPECT_EQ(project.FileFormat(), 9999);
    EXPECT_EQ(project.GetCanvas().Width(), 0u);
    EXPECT_EQ(project.GetLayerManager()->LayerList()->Size(), 0u);
    EXPECT_EQ(project.GetLayerManager()->Count(LayerTypeForeground), 0);
    EXPECT_FALSE(project.GetLayerManager()->GetForegroundSettings());
    EXPECT_TRUE(project.CurrentThumbnailFolder().isEmpty());
}

} // namespace

class ProjectFileTest : public TempDirTest {};

TEST_F(ProjectFileTest, SaveLoadSaveIsByteIdentical)
{
    struct Case {
        const char* name;
        QString source; // empty: the default project
    };
    for (const Case& c : {Case{"default", {}}, Case{"rich", ProjectData(QStringLiteral("rich.lumo4"))}}) {
        LMerr result = LMerrSuccess;
        const auto first = c.source.isEmpty() ? NewProject() : OpenProject(c.source, result);
        ASSERT_EQ(result, LMerrSuccess) << c.name;
        const QByteArray saved = SavedBytes(*first, QStringLiteral("first.lumo4"));
        ASSERT_TRUE(saved.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?><project>")) << c.name;
        ASSERT_TRUE(saved.contains("<fileFormat><![CDATA[4.0]]></fileFormat>")) << c.name;

        const auto second = OpenProject(PathOf(QStringLiteral("first.lumo4")), result);
        ASSERT_EQ(result, LMerrSuccess) << c.name;
        EXPECT_EQ(SavedBytes(*second, QStringLiteral("second.lumo4")), saved) << c.name;
    }
}

TEST_F(ProjectFileTest, RichProjectKeepsEveryPartThroughSaving)
{
    LMerr result = LMerrDefaultProject;
    const auto original = OpenProject(ProjectData(QStringLiteral("rich.lumo4")), result);
    ASSERT_EQ(result, LMerrSuccess);
    ASSERT_EQ(original->SaveToXml(PathOf(QStringLiteral("rich.lumo4")), QStringLiteral("v"), QStringLiteral("4.0")),
              LMerrSuccess);
    const auto reloaded = OpenProject(PathOf(QStringLiteral("rich.lumo4")), result);
    ASSERT_EQ(result, LMerrSuccess);

    for (const Project* project : {original.get(), reloaded.get()}) {
        EXPECT_EQ(project->CurrentToolset(), ToolsetSectionFilters);
        EXPECT_EQ(project->CurrentLayerType(), LayerTypeBackground);
        EXPECT_EQ(project->ToolsetPosition(), ToolsetPositionLeft);
        EXPECT_EQ(project->ToolsetState(), ToolsetStateCollapsed);
        EXPECT_EQ(project->CurrentThumbnailFolder(), QStringLiteral("rich-thumbs"));
        EXPECT_EQ(project->GetCanvas().ActualWidth(), 3000u);
        EXPECT_EQ(project->GetCanvas().CanvasColor(), QColor(10, 20, 30));
        EXPECT_EQ(project->GetExportSettings().Suffix(), L"_suf");

        const LayerManagerPtr layers = project->GetLayerManager();
        EXPECT_EQ(layers->CurrentForegroundId(), kBeta);
        EXPECT_TRUE(layers->IsCurrentForegroundUnique());
        EXPECT_EQ(layers->Count(LayerTypeForeground), 3);
        EXPECT_EQ(layers->Count(LayerTypeImage), 1);
        EXPECT_EQ(layers->LayerList()->CompositeOrder().size(), 3);
        EXPECT_FALSE(layers->GetForeground(kGamma)->IsExported()) << "written without the attribute";
        EXPECT_TRUE(layers->GetForeground(kAlpha)->IsExported());

        // Alpha and Gamma share the defaults again after every load; Beta keeps its own.
        const ForegroundImageLayerSettingsPtr defaults = layers->GetForegroundSettings(QUuid());
        EXPECT_EQ(layers->GetForegroundSettings(kAlpha), defaults);
        EXPECT_EQ(layers->GetForegroundSettings(kGamma), defaults);
        EXPECT_NE(layers->GetForegroundSettings(kBeta), defaults);
        EXPECT_EQ(TypesOf(defaults->Keys()).size(), 8u);
        EXPECT_EQ(TypesOf(defaults->Filters()).size(), 17u);
        EXPECT_EQ(TypesOf(defaults->Compositors()).size(), 6u);
        EXPECT_EQ(TypesOf(defaults->Transforms()), (std::vector<int>{0, 1}));
        ASSERT_EQ(defaults->Masks().Size(), 2u);
        std::vector<int> handleTypes;
        for (auto mask = defaults->Masks().Begin(); mask != defaults->Masks().End(); ++mask)
            for (auto handle = (*mask)->Begin(); handle != (*mask)->End(); ++handle)
                handleTypes.push_back((*handle)->Type());
        EXPECT_EQ(handleTypes, (std::vector<int>{0, 1, 2, 0, 1, 2}));
        EXPECT_EQ(defaults->TextItems().Size(), 2u);
        EXPECT_TRUE(layers->GetLayerSettings(kImageLayer, kBeta));
        EXPECT_NE(layers->GetLayerSettings(kImageLayer, kBeta), layers->GetLayerSettings(kImageLayer, kAlpha));
    }
    // Loads give items new ids, so settings are compared by type, values and order.
    const LayerManagerPtr a = original->GetLayerManager();
    const LayerManagerPtr b = reloaded->GetLayerManager();
    for (const QUuid& foreground : {QUuid(), kBeta}) {
        EXPECT_EQ(Written(*a->GetForegroundSettings(foreground)), Written(*b->GetForegroundSettings(foreground)));
        EXPECT_EQ(Written(*a->GetLayerSettings(kBackgroundId, foreground)),
                  Written(*b->GetLayerSettings(kBackgroundId, foreground)));
    }
}

TEST_F(ProjectFileTest, WindowFieldsNameAndPathAreNotSaved)
{
    auto project = NewProject();
    project->SetName(QStringLiteral("Holiday"));
    project->SetPath(QStringLiteral("/somewhere/holiday.lumo4"));
    project->SetWindowWidth(800);
    project->SetWindowOffsetY(-7);
    const QByteArray saved = SavedBytes(*project, QStringLiteral("a.lumo4"));
    EXPECT_FALSE(saved.contains("Holiday"));
    EXPECT_EQ(saved, SavedBytes(*NewProject(), QStringLiteral("b.lumo4")));
}

TEST_F(ProjectFileTest, OlderFilesOpenAndAreUpgradedWhenSaved)
{
    // A project kept under the old extension opens like any other, and the format text a caller
    // passes never makes the writer claim another format.
    const QString old = PathOf(QStringLiteral("holiday.lumo3"));
    ASSERT_TRUE(QFile::copy(ProjectData(QStringLiteral("rich.lumo4")), old));
    LMerr result = LMerrDefaultProject;
    const auto project = OpenProject(old, result);
    ASSERT_EQ(result, LMerrSuccess);
    const QString upgraded = PathOf(QStringLiteral("holiday.lumo4"));
    ASSERT_EQ(project->SaveToXml(upgraded, QStringLiteral("4.1.0004"), QStringLiteral("2.0")), LMerrSuccess);
    EXPECT_TRUE(ReadBytes(upgraded).contains("<fileFormat><![CDATA[4.0]]></fileFormat>"));
    EXPECT_EQ(OpenProject(upgraded, result)->FileFormat(), 4);
    EXPECT_EQ(result, LMerrSuccess);
}

TEST_F(ProjectFileTest, OpeningARelativePathMakesItsFolderCurrent)
{
    const QString folder = PathOf(QStringLiteral("sub"));
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QFile::copy(ProjectData(QStringLiteral("rich.lumo4")), folder + QStringLiteral("/p.lumo4")));
    ASSERT_TRUE(QDir::setCurrent(m_dir.path()));
    LMerr result = LMerrDefaultProject;
    OpenProject(QStringLiteral("sub/p.lumo4"), result);
    EXPECT_EQ(result, LMerrSuccess);
    EXPECT_EQ(QFileInfo(QDir::currentPath()).canonicalFilePath(), QFileInfo(folder).canonicalFilePath());

    // Neither a project that fails to open nor a comparison with a saved file moves it.
    const QString other = PathOf(QStringLiteral("other"));
    ASSERT_TRUE(QDir().mkpath(other));
    ASSERT_TRUE(WriteBytes(other + QStringLiteral("/broken.lumo4"), "<project>"));
    const auto project = OpenProject(other + QStringLiteral("/broken.lumo4"), result);
    EXPECT_EQ(result, LMerrXmlParse);
    EXPECT_EQ(QFileInfo(QDir::currentPath()).canonicalFilePath(), QFileInfo(folder).canonicalFilePath());
    ASSERT_TRUE(QFile::copy(ProjectData(QStringLiteral("rich.lumo4")), other + QStringLiteral("/p.lumo4")));
    EXPECT_FALSE(NewProject()->IsEqualToSavedProject(other + QStringLiteral("/p.lumo4")));
    EXPECT_EQ(QFileInfo(QDir::currentPath()).canonicalFilePath(), QFileInfo(folder).canonicalFilePath());
}

TEST_F(ProjectFileTest, BrokenFilesGiveTheirCodeAndLeaveNothingHalfBuilt)
{
    const QByteArray rich = ReadBytes(ProjectData(QStringLiteral("rich.lumo4")));
    ASSERT_FALSE(rich.isEmpty());
    QByteArray deep = "<?xml version=\"1.0\"?><project>";
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    QByteArray laughs = "<?xml version=\"1.0\"?><!DOCTYPE project [<!ENTITY l0 \"lol\">";
    for (int i = 1; i < 10; ++i)
        laughs += QStringLiteral("<!ENTITY l%1 \"&l%2;&l%2;&l%2;&l%2;&l%2;&l%2;&l%2;&l%2;&l%2;&l%2;\">")
                      .arg(i)
                      .arg(i - 1)
                      .toLatin1();
    laughs += "]><project><fileFormat>&l9;</fileFormat></project>";
    // Small files that would cost the parser seconds and gigabytes are refused before it sees them.
    QByteArray wideEntity = "<?xml version=\"1.0\"?><!DOCTYPE project [<!ENTITY e \"" + QByteArray(4000, 'x') +
                            "\">]><project><fileFormat>4.0</fileFormat><currentThumbnailFolder>" +
                            QByteArray("&e;").repeated(100000) + "</currentThumbnailFolder></project>";
    const QByteArray attributeDefaults =
        "<?xml version=\"1.0\"?><!DOCTYPE project [<!ATTLIST a x CDATA \"1\">]><project><a/></project>";
    QByteArray manyAttributes = "<project";
    for (int i = 0; i < kMaxXmlAttributes + 1; ++i)
        manyAttributes += " a" + QByteArray::number(i) + "='1'";
    manyAttributes = QByteArray(rich).replace("<project>", manyAttributes + ">");
    const QByteArray manyElements = "<?xml version=\"1.0\"?><project>" + QByteArray("<a/>").repeated(kMaxXmlElements) +
                                    "</project>";

    struct Case {
        const char* name;
        QByteArray bytes;
        LMerr expected;
    };
    const Case cases[] = {
        {"empty file", QByteArray(), LMerrXmlParse},
        {"not XML", "this is no project", LMerrXmlParse},
        {"truncated", rich.left(rich.size() / 2), LMerrXmlParse},
        {"binary bytes", QByteArray("\x00\xff\xfe<project", 10), LMerrXmlParse},
        {"deeply nested", deep, LMerrXmlParse},
        {"entity expansion bomb", laughs, LMerrXmlParse},
        {"a wide entity used 100,000 times", wideEntity, LMerrXmlParse},
        {"attribute defaults declared", attributeDefaults, LMerrXmlParse},
        {"an element with too many attributes", manyAttributes, LMerrXmlParse},
        {"more elements than the limit", manyElements, LMerrOutOfMemory},
        {"no project root", Edited(rich, Rename({}, "projekt")), LMerrInvalidData},
        {"no fileFormat", Edited(rich, Remove("fileFormat")), LMerrInvalidData},
        {"fileFormat 3.0", Edited(rich, SetText("fileFormat", "3.0")), LMerrUnsupportedFormat},
        {"fileFormat 1.0", Edited(rich, SetText("fileFormat", "1.0")), LMerrUnsupportedFormat},
        {"currentToolset 11", Edited(rich, SetText("currentToolset", "11")), LMerrInvalidData},
        {"currentLayerType 4", Edited(rich, SetText("currentLayerType", "4")), LMerrInvalidData},
        {"toolsetPosition 2", Edited(rich, SetText("toolsetPosition", "2")), LMerrInvalidData},
        {"toolsetState -1", Edited(rich, SetText("toolsetState", "-1")), LMerrInvalidData},
        {"no currentThumbnailFolder", Edited(rich, Remove("currentThumbnailFolder")), LMerrInvalidData},
        {"huge width", Edited(rich, SetText("canvas/width", "99999999999999999999")), LMerrInvalidData},
        {"negative width", Edited(rich, SetText("canvas/width", "-5")), LMerrInvalidData},
        {"comma decimal scale", Edited(rich, SetText("canvas/scale", "0,5")), LMerrInvalidData},
        {"no canvas", Edited(rich, Remove("canvas")), LMerrInvalidData},
        {"no exportSettings", Edited(rich, Remove("exportSettings")), LMerrInvalidData},
        {"no currentForegroundId", Edited(rich, Remove("currentForegroundId")), LMerrInvalidData},
        {"no layerList", Edited(rich, Remove("layerList")), LMerrInvalidData},
        {"layer id abc", Edited(rich, SetText("layerList/layer/id", "abc")), LMerrInvalidData},
        {"layer type 5", Edited(rich, SetText("layerList/layer/type", "5")), LMerrInvalidData},
        {"no foregroundImageLayerList", Edited(rich, Remove("foregroundImageLayerList")), LMerrInvalidData},
        {"list without enabled", Edited(rich, RemoveAttribute("foregroundImageLayerList", "enabled")),
         LMerrInvalidData},
        {"no defaultImageSettings", Edited(rich, Remove("foregroundImageLayerList/defaultImageSettings")),
         LMerrInvalidData},
        {"defaults without foregroundLayerSettings",
         Edited(rich, Remove("foregroundImageLayerList/defaultImageSettings/foregroundLayerSettings")),
         LMerrInvalidData},
        {"default layerSetting without parentId",
         Edited(rich, Remove("foregroundImageLayerList/defaultImageSettings/layerSettings/layerSetting/parentId")),
         LMerrInvalidData},
        {"foreground id abc", Edited(rich, SetText("foregroundImageLayerList/foregroundImageLayer/id", "abc")),
         LMerrInvalidData},
        {"unique foreground without its settings",
         Edited(rich, Remove("foregroundImageLayerList/foregroundImageLayer#2/foregroundLayerSettings")),
         LMerrInvalidData},
        {"unknown filter",
         Edited(rich, Rename("foregroundImageLayerList/defaultImageSettings/foregroundLayerSettings/filterList/"
                             "brightnessFilterItem",
                             "sparkleFilterItem")),
         LMerrInvalidData},
        {"mask handle type 7",
         Edited(rich, SetText("foregroundImageLayerList/defaultImageSettings/foregroundLayerSettings/maskList/mask/"
                              "handleList/handle/type",
                              "7")),
         LMerrInvalidData},
        {"text index out of bounds",
         Edited(rich, SetText("foregroundImageLayerList/defaultImageSettings/foregroundLayerSettings/textList/"
                              "currentSelectedTextIndex",
                              "9")),
         LMerrInvalidData},
    };
    for (const Case& c : cases) {
        const QString path = PathOf(QStringLiteral("broken.lumo4"));
        ASSERT_TRUE(WriteBytes(path, c.bytes)) << c.name;
        LMerr result = LMerrSuccess;
        const auto project = OpenProject(path, result);
        EXPECT_EQ(result, c.expected) << c.name;
        ExpectNothingLoaded(*project);
    }

    LMerr result = LMerrSuccess;
    EXPECT_EQ((OpenProject(PathOf(QStringLiteral("missing.lumo4")), result), result), LMerrFileOpen);
    EXPECT_EQ((OpenProject(m_dir.path(), result), result), LMerrFileOpen) << "a folder";
    EXPECT_EQ((OpenProject(QString(), result), result), LMerrFileOpen);

    // Larger than any project could be: refused before it is read (a sparse file costs no disk).
    QFile huge(PathOf(QStringLiteral("huge.lumo4")));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(qint64(600) * 1024 * 1024));
    huge.close();
    EXPECT_EQ((OpenProject(huge.fileName(), result), result), LMerrOutOfMemory);
}

TEST_F(ProjectFileTest, TheLimitsCountOnlyMarkup)
{
    // A document type without a subset, and markup characters inside comments, CDATA sections,
    // processing instructions and attribute values count for nothing; the limits themselves pass.
    QByteArray bytes = ReadBytes(ProjectData(QStringLiteral("rich.lumo4")));
    QByteArray attributes;
    for (int i = 0; i < kMaxXmlAttributes; ++i)
        attributes += " a" + QByteArray::number(i) + "=\"x=y>z\"";
    const QByteArray noise = "<!-- <a b=1 c=2 [ <!DOCTYPE x [ --><?note a=b [ <c d=e>?><extra" + attributes +
                             "><![CDATA[<!DOCTYPE q [ <!ENTITY e 'x'> ]> a=b=c=d]]></extra>";
    bytes.replace("<currentToolset>", noise + "<currentToolset>");
    bytes.replace("<project>", "<!DOCTYPE project><project>");
    const QString path = PathOf(QStringLiteral("noisy.lumo4"));
    ASSERT_TRUE(WriteBytes(path, bytes));
    LMerr result = LMerrDefaultProject;
    OpenProject(path, result);
    EXPECT_EQ(result, LMerrSuccess);
}

TEST_F(ProjectFileTest, ElementsNoReaderLooksForAreIgnored)
{
    const QByteArray rich = ReadBytes(ProjectData(QStringLiteral("rich.lumo4")));
    const Edit addUnknown = [](QDomDocument& d) {
        d.documentElement().appendChild(d.createElement(QStringLiteral("futureFeature")));
        At(d, QStringLiteral("canvas")).appendChild(d.createElement(QStringLiteral("margin")));
    };
    for (const auto& edit : {addUnknown, Remove(QStringLiteral("applicationVersion"))}) {
        const QString path = PathOf(QStringLiteral("extra.lumo4"));
        ASSERT_TRUE(WriteBytes(path, Edited(rich, edit)));
        LMerr result = LMerrDefaultProject;
        OpenProject(path, result);
        EXPECT_EQ(result, LMerrSuccess);
    }
}

class SavedProjectTest : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        m_path = PathOf(QStringLiteral("saved.lumo4"));
        LMerr result = LMerrDefaultProject;
        m_project = OpenProject(ProjectData(QStringLiteral("rich.lumo4")), result);
        ASSERT_EQ(result, LMerrSuccess);
        ASSERT_EQ(m_project->SaveToXml(m_path, QStringLiteral("any version"), QStringLiteral("4.0")), LMerrSuccess);
    }

    // Changes the view state that comparisons ignore, to see it survive them.
    void ChangeViewState()
    {
        m_project->GetCanvas().SetScale(0.3f);
        m_project->GetCanvas().SetDimensions(640, 480);
        m_project->GetCanvas().SetDPI(72);
        m_project->SetCurrentToolset(ToolsetSectionText);
        m_project->SetToolsetState(ToolsetStateExpanded);
        m_project->GetExportSettings().SetQuality(40);
    }
    void ExpectViewStateKept() const
    {
        EXPECT_EQ(m_project->GetCanvas().Scale(), 0.3f);
        EXPECT_EQ(m_project->GetCanvas().Width(), 640u);
        EXPECT_EQ(m_project->GetCanvas().Height(), 480u);
        EXPECT_EQ(m_project->GetCanvas().ActualWidth(), 3000u);
        EXPECT_EQ(m_project->GetCanvas().DPI(), 72);
        EXPECT_EQ(m_project->GetCanvas().Orientation(), CanvasOrientationLandscape);
        EXPECT_EQ(m_project->CurrentToolset(), ToolsetSectionText);
        EXPECT_EQ(m_project->ToolsetState(), ToolsetStateExpanded);
        EXPECT_EQ(m_project->ToolsetPosition(), ToolsetPositionLeft);
        EXPECT_EQ(m_project->GetExportSettings().Quality(), 40);
        EXPECT_EQ(m_project->GetExportSettings().Format(), ExportFormatJpg);
    }

    QString m_path;
    std::unique_ptr<Project> m_project;
};

TEST_F(SavedProjectTest, EqualRightAfterSavingWhateverTheViewState)
{
    EXPECT_TRUE(m_project->IsEqualToSavedProject(m_path));
    ChangeViewState();
    EXPECT_TRUE(m_project->IsEqualToSavedProject(m_path));
    ExpectViewStateKept();
}

TEST_F(SavedProjectTest, AnyChangeOfASavedValueMakesItDiffer)
{
    struct Case {
        const char* name;
        std::function<void(Project&)> change;
    };
    const Case cases[] = {
        {"thumbnail folder", [](Project& p) { p.SetCurrentThumbnailFolder(QStringLiteral("other")); }},
        {"canvas colour", [](Project& p) { p.GetCanvas().SetCanvasColor(QColor(1, 2, 3)); }},
        {"export prefix", [](Project& p) { p.GetExportSettings().SetPrefix(L"x"); }},
        {"shared filter value",
         [](Project& p) {
             std::shared_ptr<AbstractFilterItem> item;
             auto& filters = p.GetLayerManager()->GetForegroundSettings(kAlpha)->Filters();
             ASSERT_EQ(filters.GetFilterByType(FilterItemTypeBrightness, item), LMerrSuccess);
             static_cast<BrightnessFilterItem&>(*item).SetBrightness(0.125);
         }},
        {"mask name", [](Project& p) { (*GetMaskList(ProjectPtr(&p, [](Project*) {})).Begin())->SetMaskName("m"); }},
        {"foreground made shared", [](Project& p) { p.GetLayerManager()->GetForeground(kBeta)->SetUnique(false); }},
        {"layer added",
         [](Project& p) {
             p.GetLayerManager()->AddLayer(std::make_shared<ImageLayer>(LayerTypeImage, "n", "/n.png"));
         }},
        {"current foreground", [](Project& p) { p.GetLayerManager()->SetCurrentForegroundId(kAlpha); }},
    };
    for (const Case& c : cases) {
        LMerr result = LMerrDefaultProject;
        auto project = OpenProject(m_path, result);
        ASSERT_EQ(result, LMerrSuccess);
        ASSERT_TRUE(project->IsEqualToSavedProject(m_path)) << c.name;
        c.change(*project);
        EXPECT_FALSE(project->IsEqualToSavedProject(m_path)) << c.name;
    }
}

TEST_F(SavedProjectTest, DiffersWhenTheFileChangedOrCannotBeRead)
{
    ChangeViewState();
    const QByteArray saved = ReadBytes(m_path);
    const QByteArray other = Edited(saved, SetText(QStringLiteral("currentThumbnailFolder"), QStringLiteral("x")));
    for (const QByteArray& onDisk : {other, saved.left(saved.size() - 20), QByteArray("garbage")}) {
        ASSERT_TRUE(WriteBytes(m_path, onDisk));
        EXPECT_FALSE(m_project->IsEqualToSavedProject(m_path));
        ExpectViewStateKept();
    }
    ASSERT_TRUE(QFile::remove(m_path));
    EXPECT_FALSE(m_project->IsEqualToSavedProject(m_path));
    ExpectViewStateKept();
}

TEST_F(SavedProjectTest, NewProjectEqualsTheDefaultsUntilTheWorkChanges)
{
    auto project = NewProject();
    project->GetCanvas().SetDimensions(2400, 3600);
    project->GetCanvas().SetPrinterPageSize(PageSizeA4);
    project->GetExportSettings().SetFormat(ExportFormatJpg);
    EXPECT_TRUE(project->IsEqualToSavedProject(QString()));
    EXPECT_EQ(project->GetCanvas().Width(), 2400u);
    EXPECT_EQ(project->GetCanvas().PrinterPageSize(), PageSizeA4);
    EXPECT_EQ(project->GetExportSettings().Format(), ExportFormatJpg);

    auto foreground = std::make_shared<ForegroundImageLayer>(QStringLiteral("a"), QStringLiteral("/a.jpg"));
    ASSERT_EQ(project->GetLayerManager()->AddForegroundLayer(foreground), LMerrSuccess);
    EXPECT_FALSE(project->IsEqualToSavedProject(QString()));
}

TEST_F(SavedProjectTest, FailedSaveReturns17AndKeepsThePreviousFile)
{
    const QByteArray before = ReadBytes(m_path);
    m_project->SetCurrentThumbnailFolder(QStringLiteral("changed"));

    {
        // Root ignores permissions, but not the file size limit: every write past it fails. The
        // library ignores the signal such a write raises, which would end the program.
        struct sigaction action {};
        ASSERT_EQ(sigaction(SIGXFSZ, nullptr, &action), 0);
        EXPECT_EQ(action.sa_handler, SIG_IGN);
        FileSizeLimit limit(512);
        ASSERT_TRUE(limit.IsActive());
        EXPECT_EQ(m_project->SaveToXml(m_path, QStringLiteral("v"), QStringLiteral("4.0")), LMerrCannotWrite);
    }
    EXPECT_EQ(ReadBytes(m_path), before);
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("saved.lumo4")})
        << "no temporary file is left behind";

    const QString asFolder = PathOf(QStringLiteral("folder.lumo4"));
    ASSERT_TRUE(QDir().mkpath(asFolder));
    EXPECT_EQ(m_project->SaveToXml(asFolder, QStringLiteral("v"), QStringLiteral("4.0")), LMerrCannotWrite);
    EXPECT_TRUE(QFileInfo(asFolder).isDir());
    EXPECT_EQ(m_project->SaveToXml(m_path + QStringLiteral("/inside.lumo4"), QStringLiteral("v"),
                                   QStringLiteral("4.0")),
              LMerrCannotWrite)
        << "parent is a regular file";
    EXPECT_EQ(m_project->SaveToXml(PathOf(QStringLiteral("no/such/folder.lumo4")), QStringLiteral("v"),
                                   QStringLiteral("4.0")),
              LMerrCannotWrite);
    EXPECT_EQ(ReadBytes(m_path), before);
}

TEST_F(SavedProjectTest, TwoProjectsSavingOneFileSeeEachOthersSaves)
{
    // Two copies of the work opened from one file: each save is seen by the other, never by the
    // one that made it.
    LMerr result = LMerrDefaultProject;
    const auto other = OpenProject(m_path, result);
    ASSERT_EQ(result, LMerrSuccess);
    EXPECT_FALSE(m_project->FileChangedOnDisk(m_path));
    EXPECT_FALSE(other->FileChangedOnDisk(m_path));

    other->SetCurrentThumbnailFolder(QStringLiteral("other's work"));
    ASSERT_EQ(other->SaveToXml(m_path, QStringLiteral("v"), QStringLiteral("4.0")), LMerrSuccess);
    EXPECT_FALSE(other->FileChangedOnDisk(m_path));
    EXPECT_TRUE(m_project->FileChangedOnDisk(m_path));

    ASSERT_EQ(m_project->SaveToXml(m_path, QStringLiteral("v"), QStringLiteral("4.0")), LMerrSuccess);
    EXPECT_FALSE(m_project->FileChangedOnDisk(m_path)) << "a save after its own save";
    EXPECT_TRUE(other->FileChangedOnDisk(m_path));

    // Only the file it was read from or saved to counts, and only while it exists; a project
    // never saved has no file.
    EXPECT_FALSE(m_project->FileChangedOnDisk(PathOf(QStringLiteral("elsewhere.lumo4"))));
    EXPECT_FALSE(NewProject()->FileChangedOnDisk(m_path));
    ASSERT_TRUE(QFile::remove(m_path));
    EXPECT_FALSE(m_project->FileChangedOnDisk(m_path));
}

TEST_F(SavedProjectTest, AChangeOfSizeTimeOrBytesAloneIsSeen)
{
    const QByteArray saved = ReadBytes(m_path);
    QByteArray sameSize = saved;
    sameSize[sameSize.indexOf("<canvas") + 1] = 'C';
    const struct {
        const char* name;
        QByteArray bytes;
        bool keepTime; // to the nanosecond
    } cases[] = {
        {"longer", saved + " ", false},
        {"time only", saved, false},
        {"same size and time, other bytes", sameSize, true},
    };
    const QByteArray name = QFile::encodeName(m_path);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(m_project->SaveToXml(m_path, QStringLiteral("any version"), QStringLiteral("4.0")), LMerrSuccess);
        ASSERT_FALSE(m_project->FileChangedOnDisk(m_path));
        struct stat before {};
        ASSERT_EQ(::stat(name.constData(), &before), 0);
        ASSERT_TRUE(WriteBytes(m_path, c.bytes));
        struct timespec times[2] = {before.st_atim, before.st_mtim};
        if (!c.keepTime)
            times[1].tv_sec += 5;
        ASSERT_EQ(::utimensat(AT_FDCWD, name.constData(), times, 0), 0);
        EXPECT_TRUE(m_project->FileChangedOnDisk(m_path));
    }
}

TEST(ProjectDigestTest, Sha512OfBytesAndFiles)
{
    std::string digest;
    ASSERT_EQ(Sha512Hex("abc", 3, digest), 0);
    EXPECT_EQ(digest, "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
                      "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f");
    std::string empty;
    ASSERT_EQ(Sha512Hex("", 0, empty), 0);
    EXPECT_EQ(empty.substr(0, 16), "cf83e1357eefb8bd");

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("abc"));
    ASSERT_TRUE(WriteBytes(path, "abc"));
    EXPECT_EQ(FileSha512HexString(path).toStdString(), digest);
    EXPECT_TRUE(FileSha512HexString(dir.filePath(QStringLiteral("missing"))).isNull());
    EXPECT_TRUE(FileSha512HexString(dir.path()).isNull()) << "a folder has no digest";
    std::string none;
    EXPECT_EQ(FileSha512Hex(dir.filePath(QStringLiteral("missing")).toStdString().c_str(), none), 11);
}
