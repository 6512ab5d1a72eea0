#pragma once

#include "AppExport.h"
#include "Canvas.h"
#include "ExportSettings.h"
#include "ImageLayer.h"
#include "LMerr.h"
#include "LayerManager.h"

#include <QString>

#include <memory>

class QDomElement;
class QXmlStreamWriter;

namespace lumo::app {

struct FileStamp;
class MaskList;
class TextList;

// The eleven toolbox sections, in toolbar order.
enum ToolsetSections : int {
    ToolsetSectionCanvasSize = 0,
    ToolsetSectionImport = 1,
    ToolsetSectionKey = 2,
    ToolsetSectionMasks = 3,
    ToolsetSectionFilters = 4,
    ToolsetSectionPosition = 5,
    ToolsetSectionLayers = 6,
    ToolsetSectionEffects = 7,
    ToolsetSectionOverlay = 8,
    ToolsetSectionText = 9,
    ToolsetSectionExport = 10,
};

enum ToolsetPositionID : int {
    ToolsetPositionLeft = 0,
    ToolsetPositionRight = 1,
};

enum ToolsetStateID : int {
    ToolsetStateExpanded = 0,
    ToolsetStateCollapsed = 1,
};

// The document: canvas, export settings, layers with all their effect settings, and the
// interface state saved with the work. Name, path and the window fields live in memory only.
class APP_EXPORT Project {
public:
    // A new project from the built-in default project; result 0, or 7 when it fails to load.
    explicit Project(LMerr& result);
    // Opens a project file and makes its folder the working directory. result 0, or the load's
    // code (1 cannot read, 3 not well-formed or refused before parsing, 4 bad or missing data,
    // 5 unsupported format, 6 out of memory or too large to hold, 17 a fileFormat 2.0 file whose
    // conversion cannot be written). After a failure the project holds its initial values,
    // nothing of the file, and the working directory is the one it was.
    Project(const QString& path, LMerr& result);
    Project(const Project&) = delete;
    Project& operator=(const Project&) = delete;
    virtual ~Project();

    // Replaces the document by the built-in default project; 7 when that fails (the document is
    // then unchanged).
    LMerr LoadDefaultXML();

    // Saves as fileFormat 4.0 whatever format text is passed, replacing the file only once it is
    // completely written. Any failure, of the file or of any part of the project (memory running
    // out inside a writer included), gives 17, and the previous file stays as it was.
    LMerr SaveToXml(const QString& path, const QString& applicationVersion, const QString& fileFormat) const;

    // Whether nothing that counts has changed since the project was saved to path (or, for an
    // empty path, since it was created from the defaults). The view state (canvas scale and
    // size, toolbox, export format) does not count. False when either side cannot be read,
    // loaded or digested. The working directory is left as it was.
    bool IsEqualToSavedProject(const QString& path);

    // Whether the file at path changed on disk (its size, time or bytes) since this project was
    // read from it or last saved to it, as when another program saved over it meanwhile. False
    // for a file this project was never read from or saved to, and for one that is gone: saving
    // there loses nothing.
    bool FileChangedOnDisk(const QString& path) const;

    // 1, 2 or 4 for "1.0", "2.0", "4.0"; 9999 for any other text.
    int FileFormat() const;

    const QString& Name() const;
    void SetName(const QString& name);
    const QString& Path() const;
    void SetPath(const QString& path);

    Canvas& GetCanvas();
    const Canvas& GetCanvas() const;
    ExportSettings& GetExportSettings();
    const ExportSettings& GetExportSettings() const;
    LayerManagerPtr GetLayerManager() const;

    unsigned int WindowWidth() const;
    void SetWindowWidth(unsigned int width);
    unsigned int WindowHeight() const;
    void SetWindowHeight(unsigned int height);
    int WindowOffsetX() const;
    void SetWindowOffsetX(int offset);
    int WindowOffsetY() const;
    void SetWindowOffsetY(int offset);

    ToolsetSections CurrentToolset() const;
    void SetCurrentToolset(ToolsetSections toolset);
    LayerType CurrentLayerType() const;
    void SetCurrentLayerType(LayerType type);
    const QString& CurrentThumbnailFolder() const;
    void SetCurrentThumbnailFolder(const QString& folder);
    ToolsetPositionID ToolsetPosition() const;
    void SetToolsetPosition(ToolsetPositionID position);
    ToolsetStateID ToolsetState() const;
    void SetToolsetState(ToolsetStateID state);

private:
    struct Document;
    struct ProjectImpl;

    LMerr LoadFromXml(const QString& path);
    LMerr LoadFile(const QString& path, bool convertLegacy, Document& document, FileStamp* stamp) const;
    int FileFormatToInt(const QString& fileFormat) const;
    static LMerr LoadXmlFileFormat4(QDomElement& project, Document& document);
    LMerr SaveToXmlAsFileFormat4(const QString& path, const QString& applicationVersion,
                                 const QString& fileFormat) const;
    LMerr WriteProject(QXmlStreamWriter& writer, const QString& applicationVersion, const QString& fileFormat) const;

    std::unique_ptr<ProjectImpl> m_impl;
};

using ProjectPtr = std::shared_ptr<Project>;

// The current foreground's masks and text items (the shared defaults when no foreground is
// current). Raise std::logic_error for a project without foreground settings, which only a
// project whose loading failed can be.
APP_EXPORT MaskList& GetMaskList(ProjectPtr project);
APP_EXPORT TextList& GetTextList(ProjectPtr project);

} // namespace lumo::app
