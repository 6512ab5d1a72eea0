#pragma once

#include "Project.h"

#include <QStringList>
#include <QUuid>

#include <memory>

namespace lumo::ui {

// The open document: its identity for the whole run, the project inside it (replaced when a
// project is opened) and the temporary files made for it, which go with it.
class LumoDocument {
public:
    LumoDocument();
    LumoDocument(const LumoDocument&) = delete;
    LumoDocument& operator=(const LumoDocument&) = delete;
    virtual ~LumoDocument();

    // Sent with every notification about the project, the interface or the canvas that names no
    // layer or item.
    const QUuid& Id() const { return m_id; }

    std::shared_ptr<app::Project> GetProject() const { return m_project; }
    void SetProject(std::shared_ptr<app::Project> project) { m_project = std::move(project); }

    void AddTemporaryFile(const QString& path) { m_temporaryFiles.append(path); }
    const QStringList& TemporaryFiles() const { return m_temporaryFiles; }
    // Deletes every listed file (a file already gone is no error) and empties the list.
    void RemoveTemporaryFiles();

private:
    QUuid m_id;
    std::shared_ptr<app::Project> m_project;
    QStringList m_temporaryFiles;
};

using LumoDocumentPtr = std::shared_ptr<LumoDocument>;

} // namespace lumo::ui
