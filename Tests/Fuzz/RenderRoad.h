#pragma once

// The render road as a user takes it: a project file is opened, its photographs are read, the
// canvas is rendered at full and at preview resolution, and every foreground is exported. The
// fuzz target drives it with mutated project files; the table tests drive it with the committed
// seed files (Tests/Data/fuzz/render-road), each a small edit of one base project, and check
// each outcome.

#include "LMerr.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <string>
#include <vector>

namespace lumo::app {
class Project;
}

namespace lumo::fuzz {

// The codes of one trip down the road; a step not taken keeps -1.
struct RoadOutcome {
    int load = -1;
    int canvasFull = -1;
    int canvasPreview = -1;
    int exportCurrent = -1;
    int exportOther = -1;
    bool operator==(const RoadOutcome&) const = default;
};

// A folder with the photographs the seeds name, relative to the project file:
// "photo.png" and "other.png" (64 x 48, a subject in front of a green backdrop), "dense.png"
// (the same, its density 2^31 pixels a metre, more than a signed 32-bit number holds) and
// "fifo.png" (a fifo, which no reader may open).
class RenderRoad {
public:
    RenderRoad();
    RenderRoad(const RenderRoad&) = delete;
    RenderRoad& operator=(const RenderRoad&) = delete;

    bool IsReady() const { return m_ready; }
    // Opens the bytes as a project file in the folder and takes it down the road; edit, when given,
    // changes the opened project first (as the user interface's setters would). Exports larger
    // than a budget (a file can ask for any canvas size) are not attempted.
    RoadOutcome Run(const QByteArray& project, const std::function<void(app::Project&)>& edit = {});

private:
    QTemporaryDir m_folder;
    bool m_ready = false;
};

// One seed: the base project with one piece of text replaced, and what the road gives for it.
struct RoadCase {
    std::string name;
    QByteArray from;
    QByteArray to;
    RoadOutcome expected;
};

// The base project: the default project with a 160 x 120 canvas on a coloured ground, the current
// foreground "photo.png" (a transformation with values found nowhere else in the file, a crop, a
// cast shadow, a feathered mask, a text, the light wrap) and a second foreground "other.png".
// New ids every time: the committed seed holds one such file.
QByteArray MakeBaseProject();
// The cases, every hostile number and odd file the road was found to mishandle among them.
const std::vector<RoadCase>& RoadCases();
// The base with the case's text replaced; empty when the text is not found exactly once.
QByteArray Mutated(const QByteArray& base, const RoadCase& roadCase);

} // namespace lumo::fuzz
