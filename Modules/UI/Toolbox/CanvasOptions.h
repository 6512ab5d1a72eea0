#pragma once

// The print sizes (inches) and resolutions (dots per inch) the canvas size panel offers, read from
// "canvas.xml": a copy beside the program replaces the built-in one (":Temp/canvas.xml").
//
// <canvas_options>
//   <canvas_sizes><size><description/><width/><height/></size>...</canvas_sizes>
//   <resolution_sizes><resolution/>...</resolution_sizes>
// </canvas_options>
//
// Elements of other names are skipped with their children; attributes are ignored.

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QXmlStreamReader>

namespace lumo::ui {

struct CanvasSizePreset {
    QString description; // empty when the file gives none
    float width = -1.0f; // inches; -1 when the file gives no number
    float height = -1.0f;
};

class CanvasOptions {
    Q_DECLARE_TR_FUNCTIONS(CanvasOptions)

public:
    // Reads "canvas.xml" beside the program (ApplicationDirectory) when there is one, else the
    // built-in file. A copy that cannot be read is never replaced by the built-in file: throws
    // std::runtime_error telling the user to delete it.
    void Load();
    // The same with the two files named (tests).
    void Load(const QString& overridePath, const QString& builtInPath);

    const QList<CanvasSizePreset>& Sizes() const { return m_sizes; }
    const QList<int>& Resolutions() const { return m_resolutions; }

private:
    bool ReadFile(const QString& path);
    void ReadCanvasOptions();
    void ReadCanvasSizes();
    void ReadSize();
    void ReadResolutionSizes();
    void SkipUnknownElement();
    // The shared loop of the read-children steps: `element` runs for every child start element.
    template <typename Handler>
    void ReadChildren(Handler element);

    QXmlStreamReader m_reader;
    QList<CanvasSizePreset> m_sizes;
    QList<int> m_resolutions;
};

} // namespace lumo::ui
