#include "Project.h"

#include "LegacyProjectConverter.h"
#include "Mask.h"
#include "ProjectFile.h"
#include "ProjectFileDigest.h"
#include "TextItem.h"
#include "XmlValues.h"

#include <QBuffer>
#include <QDir>
#include <QDomDocument>
#include <QDomElement>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamWriter>

#include <climits>
#include <new>
#include <stdexcept>

namespace lumo::app {

namespace {

const QString kDefaultProject = QStringLiteral(":/xml/default-LM.xml");
const QString kCurrentFileFormat = QStringLiteral("4.0");

constexpr int kUnknownFileFormat = 9999;

int ReadRanged(const QDomElement& element, const char* name, int low, int high, const char* invalid)
{
    const int value = ReadXmlTagInt(element, QString::fromLatin1(name));
    if (value < low || value > high)
        throw XmlException(LMerrInvalidData, invalid);
    return value;
}

} // namespace

// What the project file holds.
struct Project::Document {
    QString fileFormat;
    Canvas canvas;
    ExportSettings exportSettings;
    ToolsetSections currentToolset = ToolsetSectionImport;
    LayerType currentLayerType = LayerTypeForeground;
    QString currentThumbnailFolder;
    ToolsetPositionID toolsetPosition = ToolsetPositionRight;
    ToolsetStateID toolsetState = ToolsetStateExpanded;
    LayerManagerPtr layerManager = std::make_shared<LayerManager>();
};

struct Project::ProjectImpl {
    QString name;
    QString path;
    unsigned int windowWidth = 0;
    unsigned int windowHeight = 0;
    int windowOffsetX = 0;
    int windowOffsetY = 0;
    Document document;
    // The file last read or saved and its version then (absolute path; empty for none).
    QString stampedPath;
    FileStamp stamp;
};

namespace {

// Sets the values that follow the view or the user's stored preferences rather than the work to
// those of the default project, so that a comparison does not count them; restores them when it
// goes, whatever way the comparison ends.
class ViewStateNormaliser {
public:
    ViewStateNormaliser(Canvas& canvas, ExportSettings& exportSettings, ToolsetSections& toolset,
                        LayerType& layerType, ToolsetStateID& state, ToolsetPositionID& position)
        : m_canvas(canvas), m_exportSettings(exportSettings), m_toolset(toolset), m_layerType(layerType),
          m_state(state), m_position(position), m_savedCanvas(canvas), m_savedFormat(exportSettings.Format()),
          m_savedQuality(exportSettings.Quality()), m_savedToolset(toolset), m_savedLayerType(layerType),
          m_savedState(state), m_savedPosition(position)
    {
        m_canvas.SetScale(1.0f);
        m_toolset = ToolsetSectionCanvasSize;
        m_layerType = LayerTypeForeground;
        m_state = ToolsetStateExpanded;
        m_position = ToolsetPositionRight;
        m_exportSettings.SetFormat(ExportFormatPng);
        m_exportSettings.SetQuality(100);
        m_canvas.SetDimensions(1200, 1800);
        m_canvas.SetActualDimensions(1200, 1800);
        m_canvas.SetOrientation(CanvasOrientationPortrait);
        m_canvas.SetDPI(300);
        m_canvas.SetPrintAsCard(false);
        m_canvas.SetPrinterPageSize(PageSizeCustom);
    }
    ViewStateNormaliser(const ViewStateNormaliser&) = delete;
    ViewStateNormaliser& operator=(const ViewStateNormaliser&) = delete;
    ~ViewStateNormaliser()
    {
        m_canvas = m_savedCanvas;
        m_exportSettings.SetFormat(m_savedFormat);
        m_exportSettings.SetQuality(m_savedQuality);
        m_toolset = m_savedToolset;
        m_layerType = m_savedLayerType;
        m_state = m_savedState;
        m_position = m_savedPosition;
    }

private:
    Canvas& m_canvas;
    ExportSettings& m_exportSettings;
    ToolsetSections& m_toolset;
    LayerType& m_layerType;
    ToolsetStateID& m_state;
    ToolsetPositionID& m_position;
    const Canvas m_savedCanvas;
    const ExportFormat m_savedFormat;
    const int m_savedQuality;
    const ToolsetSections m_savedToolset;
    const LayerType m_savedLayerType;
    const ToolsetStateID m_savedState;
    const ToolsetPositionID m_savedPosition;
};

} // namespace

Project::Project(LMerr& result) : m_impl(std::make_unique<ProjectImpl>())
{
    result = LoadDefaultXML();
}

Project::Project(const QString& path, LMerr& result) : m_impl(std::make_unique<ProjectImpl>())
{
    // Made absolute before the working directory changes, so a relative path still names the
    // file it named. A project that fails to open leaves the working directory as it found it.
    const QString absolutePath = path.isEmpty() ? path : QFileInfo(path).absoluteFilePath();
    const QString previous = QDir::currentPath();
    if (!absolutePath.isEmpty())
        QDir::setCurrent(QDir::toNativeSeparators(QFileInfo(absolutePath).absolutePath()));
    result = LoadFromXml(absolutePath);
    if (result != LMerrSuccess)
        QDir::setCurrent(previous);
}

Project::~Project() = default;

LMerr Project::LoadDefaultXML()
{
    return LoadFromXml(kDefaultProject) == LMerrSuccess ? LMerrSuccess : LMerrDefaultProject;
}

LMerr Project::LoadFromXml(const QString& path)
{
    // Read into a document of its own and taken over only when complete, so a failed load
    // leaves nothing half-built behind.
    try {
        auto document = std::make_unique<Document>();
        FileStamp stamp;
        const LMerr result = LoadFile(path, true, *document, &stamp);
        if (result == LMerrSuccess) {
            m_impl->document = std::move(*document);
            // A project from a resource (the defaults) has no file of its own.
            const bool resource = path.startsWith(QLatin1Char(':'));
            m_impl->stampedPath = resource ? QString() : QFileInfo(path).absoluteFilePath();
            m_impl->stamp = std::move(stamp);
        }
        return result;
    } catch (const std::bad_alloc&) {
        return LMerrOutOfMemory;
    }
}

LMerr Project::LoadFile(const QString& path, bool convertLegacy, Document& document, FileStamp* stamp) const
{
    QDomDocument xml;
    if (const LMerr read = ReadXmlDocument(path, xml, stamp); read != LMerrSuccess)
        return read;

    QDomElement project = xml.firstChildElement(QStringLiteral("project"));
    QString fileFormat;
    const LMerr header = CatchXml([&] {
        if (project.isNull())
            throw XmlException(LMerrInvalidData, "project Tag is missing");
        fileFormat = QString::fromStdWString(ReadXmlTagWString(project, QStringLiteral("fileFormat")));
    });
    if (header != LMerrSuccess)
        return header;

    switch (FileFormatToInt(fileFormat)) {
    case 4:
        document.fileFormat = fileFormat;
        return LoadXmlFileFormat4(project, document);
    case 2: {
        // The converted file is 4.0; should it claim 2.0 again it is refused, not converted in
        // a loop.
        if (!convertLegacy)
            return LMerrUnsupportedFormat;
        LMerr conversion = LMerrSuccess;
        const QString converted = ConvertFileFormat2Project(path, conversion);
        if (converted.isEmpty())
            return conversion != LMerrSuccess ? conversion : LMerrUnsupportedFormat;
        const LMerr result = LoadFile(converted, false, document, nullptr);
        QFile::remove(converted);
        return result;
    }
    default:
        return LMerrUnsupportedFormat;
    }
}

int Project::FileFormatToInt(const QString& fileFormat) const
{
    if (fileFormat == QLatin1String("1.0"))
        return 1;
    if (fileFormat == QLatin1String("2.0"))
        return 2;
    if (fileFormat == QLatin1String("4.0"))
        return 4;
    return kUnknownFileFormat;
}

LMerr Project::LoadXmlFileFormat4(QDomElement& project, Document& document)
{
    AbstractProjectItem& canvas = document.canvas;
    if (const LMerr result = canvas.LoadFromXml(project); result != LMerrSuccess)
        return result;
    AbstractProjectItem& exportSettings = document.exportSettings;
    if (const LMerr result = exportSettings.LoadFromXml(project); result != LMerrSuccess)
        return result;
    AbstractProjectItem& layerManager = *document.layerManager;
    if (const LMerr result = layerManager.LoadFromXml(project); result != LMerrSuccess)
        return result;

    return CatchXml([&] {
        document.currentThumbnailFolder =
            QString::fromStdWString(ReadXmlTagWString(project, QStringLiteral("currentThumbnailFolder")));
        document.currentToolset = static_cast<ToolsetSections>(
            ReadRanged(project, "currentToolset", ToolsetSectionCanvasSize, ToolsetSectionExport,
                       "ToolsetSection is invalid"));
        document.currentLayerType = static_cast<LayerType>(
            ReadRanged(project, "currentLayerType", LayerTypeBackground, LayerTypeImage, "currentLayerType is invalid"));
        document.toolsetPosition = static_cast<ToolsetPositionID>(ReadRanged(
            project, "toolsetPosition", ToolsetPositionLeft, ToolsetPositionRight, "toolsetPosition is invalid"));
        document.toolsetState = static_cast<ToolsetStateID>(
            ReadRanged(project, "toolsetState", ToolsetStateExpanded, ToolsetStateCollapsed, "toolsetState is invalid"));
    });
}

LMerr Project::SaveToXml(const QString& path, const QString& applicationVersion, const QString& /*fileFormat*/) const
{
    // Whatever the caller names, the file is written in the one format this writer produces.
    return SaveToXmlAsFileFormat4(path, applicationVersion, kCurrentFileFormat);
}

LMerr Project::SaveToXmlAsFileFormat4(const QString& path, const QString& applicationVersion,
                                      const QString& fileFormat) const
{
    // Whatever fails, a part that cannot be written (memory gone inside a writer, a value that
    // cannot be turned into text) or the file itself, the save is cancelled as one: 17, and the
    // file on disk stays as it was.
    try {
        // Made before the file is replaced: nothing after the rename may fail.
        QString absolutePath = QFileInfo(path).absoluteFilePath();
        FileStamp written;
        const LMerr result = WriteFileSafely(
            path,
            [&](QIODevice& device) {
                QXmlStreamWriter writer(&device);
                if (WriteProject(writer, applicationVersion, fileFormat) != LMerrSuccess || writer.hasError())
                    return LMerrCannotWrite;
                return LMerrSuccess;
            },
            &written);
        if (result != LMerrSuccess)
            return LMerrCannotWrite;
        // What this project knows of its file, not part of the document: saving does not change
        // the work, so the method stays const.
        m_impl->stampedPath = std::move(absolutePath);
        m_impl->stamp = std::move(written);
        return LMerrSuccess;
    } catch (...) {
        return LMerrCannotWrite;
    }
}

LMerr Project::WriteProject(QXmlStreamWriter& writer, const QString& applicationVersion,
                            const QString& fileFormat) const
{
    const Document& document = m_impl->document;
    const AbstractProjectItem* parts[] = {&document.canvas, &document.exportSettings, document.layerManager.get()};
    return CatchXml([&] {
        writer.writeStartDocument();
        writer.writeStartElement(QStringLiteral("project"));
        WriteXmlTagWString(writer, QStringLiteral("applicationVersion"), applicationVersion.toStdWString(), true);
        WriteXmlTagWString(writer, QStringLiteral("fileFormat"), fileFormat.toStdWString(), true);
        WriteXmlTagWString(writer, QStringLiteral("currentThumbnailFolder"),
                           document.currentThumbnailFolder.toStdWString(), true);
        WriteXmlTagInt(writer, QStringLiteral("currentToolset"), document.currentToolset);
        WriteXmlTagInt(writer, QStringLiteral("currentLayerType"), document.currentLayerType);
        WriteXmlTagInt(writer, QStringLiteral("toolsetPosition"), document.toolsetPosition);
        WriteXmlTagInt(writer, QStringLiteral("toolsetState"), document.toolsetState);
        for (const AbstractProjectItem* part : parts)
            WriteChild(*part, writer);
        writer.writeEndElement();
        writer.writeEndDocument();
    });
}

bool Project::IsEqualToSavedProject(const QString& path)
{
    // Both sides are written the same way into memory and compared by digest; anything that
    // cannot be written, loaded or digested counts as a change, so the user is asked to save.
    const auto serialise = [](Project& project, QByteArray& bytes) {
        Document& document = project.m_impl->document;
        const ViewStateNormaliser normalised(document.canvas, document.exportSettings, document.currentToolset,
                                             document.currentLayerType, document.toolsetState,
                                             document.toolsetPosition);
        QBuffer buffer(&bytes);
        if (!buffer.open(QIODevice::WriteOnly))
            return false;
        QXmlStreamWriter writer(&buffer);
        return project.WriteProject(writer, QStringLiteral("IgnoreVersion"), kCurrentFileFormat) == LMerrSuccess
               && !writer.hasError();
    };
    const auto digest = [](const QByteArray& bytes, std::string& out) {
        return bytes.size() <= INT_MAX && Sha512Hex(bytes.constData(), static_cast<int>(bytes.size()), out) == 0;
    };

    // Opening the saved file for the comparison must not move the working directory.
    struct WorkingDirectory {
        const QString saved = QDir::currentPath();
        ~WorkingDirectory() { QDir::setCurrent(saved); }
    } const workingDirectory;

    try {
        QByteArray current;
        if (!serialise(*this, current))
            return false;

        LMerr result = LMerrSuccess;
        const std::unique_ptr<Project> saved =
            path.isEmpty() ? std::make_unique<Project>(result) : std::make_unique<Project>(path, result);
        // A saved file that no longer loads is not the project in memory.
        if (result != LMerrSuccess)
            return false;
        QByteArray stored;
        if (!serialise(*saved, stored))
            return false;

        std::string currentDigest;
        std::string storedDigest;
        if (!digest(current, currentDigest) || !digest(stored, storedDigest))
            return false;
        return currentDigest == storedDigest;
    } catch (...) {
        return false;
    }
}

bool Project::FileChangedOnDisk(const QString& path) const
{
    if (path.isEmpty() || m_impl->stampedPath.isEmpty())
        return false;
    const QFileInfo file(path);
    if (file.absoluteFilePath() != m_impl->stampedPath || !file.exists())
        return false;
    // A version that cannot be read now, or could not be taken then, may be anybody's.
    const FileStamp now = ReadFileStamp(path);
    return now.IsNull() || m_impl->stamp.IsNull() || now != m_impl->stamp;
}

int Project::FileFormat() const
{
    return FileFormatToInt(m_impl->document.fileFormat);
}

const QString& Project::Name() const
{
    return m_impl->name;
}

void Project::SetName(const QString& name)
{
    m_impl->name = name;
}

const QString& Project::Path() const
{
    return m_impl->path;
}

void Project::SetPath(const QString& path)
{
    m_impl->path = path;
}

Canvas& Project::GetCanvas()
{
    return m_impl->document.canvas;
}

const Canvas& Project::GetCanvas() const
{
    return m_impl->document.canvas;
}

ExportSettings& Project::GetExportSettings()
{
    return m_impl->document.exportSettings;
}

const ExportSettings& Project::GetExportSettings() const
{
    return m_impl->document.exportSettings;
}

LayerManagerPtr Project::GetLayerManager() const
{
    return m_impl->document.layerManager;
}

unsigned int Project::WindowWidth() const
{
    return m_impl->windowWidth;
}

void Project::SetWindowWidth(unsigned int width)
{
    m_impl->windowWidth = width;
}

unsigned int Project::WindowHeight() const
{
    return m_impl->windowHeight;
}

void Project::SetWindowHeight(unsigned int height)
{
    m_impl->windowHeight = height;
}

int Project::WindowOffsetX() const
{
    return m_impl->windowOffsetX;
}

void Project::SetWindowOffsetX(int offset)
{
    m_impl->windowOffsetX = offset;
}

int Project::WindowOffsetY() const
{
    return m_impl->windowOffsetY;
}

void Project::SetWindowOffsetY(int offset)
{
    m_impl->windowOffsetY = offset;
}

ToolsetSections Project::CurrentToolset() const
{
    return m_impl->document.currentToolset;
}

void Project::SetCurrentToolset(ToolsetSections toolset)
{
    m_impl->document.currentToolset = toolset;
}

LayerType Project::CurrentLayerType() const
{
    return m_impl->document.currentLayerType;
}

void Project::SetCurrentLayerType(LayerType type)
{
    m_impl->document.currentLayerType = type;
}

const QString& Project::CurrentThumbnailFolder() const
{
    return m_impl->document.currentThumbnailFolder;
}

void Project::SetCurrentThumbnailFolder(const QString& folder)
{
    m_impl->document.currentThumbnailFolder = folder;
}

ToolsetPositionID Project::ToolsetPosition() const
{
    return m_impl->document.toolsetPosition;
}

void Project::SetToolsetPosition(ToolsetPositionID position)
{
    m_impl->document.toolsetPosition = position;
}

ToolsetStateID Project::ToolsetState() const
{
    return m_impl->document.toolsetState;
}

void Project::SetToolsetState(ToolsetStateID state)
{
    m_impl->document.toolsetState = state;
}

namespace {

ForegroundImageLayerSettings& CurrentForegroundSettings(const ProjectPtr& project)
{
    const ForegroundImageLayerSettingsPtr settings =
        project ? project->GetLayerManager()->GetForegroundSettings() : nullptr;
    if (!settings)
        throw std::logic_error("The project has no foreground settings");
    return *settings;
}

} // namespace

MaskList& GetMaskList(ProjectPtr project)
{
    return CurrentForegroundSettings(project).Masks();
}

TextList& GetTextList(ProjectPtr project)
{
    return CurrentForegroundSettings(project).TextItems();
}

} // namespace lumo::app
