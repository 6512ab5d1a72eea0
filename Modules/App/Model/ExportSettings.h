#pragma once

#include "AbstractProjectItem.h"
#include "AppExport.h"

#include <QString>

#include <string>

namespace lumo::app {

// The program writes only JPG, PNG and TIFF; 0 and 1 are accepted from files and never written.
enum ExportFormat : int {
    ExportFormatUnused0 = 0,
    ExportFormatUnused1 = 1,
    ExportFormatTiff = 2,
    ExportFormatPng = 3,
    ExportFormatJpg = 4,
};

// Export format and quality and the export section's panel state. Reads from the `project`
// element (its `exportSettings` child).
class APP_EXPORT ExportSettings final : public AbstractProjectItem {
public:
    ExportSettings();
    ExportSettings(const ExportSettings&) = default;
    ExportSettings& operator=(const ExportSettings&) = default;
    ~ExportSettings() override;

    ExportFormat Format() const { return m_format; }
    void SetFormat(ExportFormat format) { m_format = format; }
    // JPEG quality, 0 to 100 (not checked).
    int Quality() const { return m_quality; }
    void SetQuality(int quality) { m_quality = quality; }
    const std::wstring& Path() const { return m_path; }
    void SetPath(const std::wstring& path) { m_path = path; }
    const std::wstring& Prefix() const { return m_prefix; }
    void SetPrefix(const std::wstring& prefix) { m_prefix = prefix; }
    const std::wstring& Suffix() const { return m_suffix; }
    void SetSuffix(const std::wstring& suffix) { m_suffix = suffix; }
    bool IsCodecCollapsed() const { return m_codecCollapsed; }
    void SetCodecCollapsed(bool collapsed) { m_codecCollapsed = collapsed; }
    bool IsSelectionCollapsed() const { return m_selectionCollapsed; }
    void SetSelectionCollapsed(bool collapsed) { m_selectionCollapsed = collapsed; }

private:
    LMerr LoadFromXml(QDomElement& project) override;
    LMerr WriteToXml(QXmlStreamWriter& writer) const override;

    ExportFormat m_format = ExportFormatPng;
    int m_quality = 100;
    std::wstring m_path;
    std::wstring m_prefix;
    std::wstring m_suffix;
    bool m_codecCollapsed = false;
    bool m_selectionCollapsed = false;
};

} // namespace lumo::app
