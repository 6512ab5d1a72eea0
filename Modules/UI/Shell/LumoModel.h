#pragma once

#include "Shell/AbstractModelObserver.h"
#include "Shell/LumoDocument.h"
#include "Shell/ModelTypes.h"
#include "Shell/NotificationModel.h"

#include <QUuid>

#include <memory>

namespace lumo::ui {

class LumoModel;

// The observer interface of every view: ModelChanged(DataType, const QUuid&, FieldType).
using LumoModelObserver = AbstractModelObserver<std::shared_ptr<LumoModel>, QUuid, DataType, FieldType>;

// The observable model over the application's document. The main window makes the one model; views
// attach with LumoModelObserver::SetModel and send what changed with NotifyObservers, e.g.
//   Model()->NotifyObservers(DataTypeCanvas, Model()->GetDocument()->Id(), FieldTypeFocusCanvas);
// Views reach the current project through GetDocument()->GetProject() each time: the project the
// model was made over is replaced whenever a project is opened.
class LumoModel : public NotificationModel<app::ProjectPtr, QUuid, LumoModelObserver*, DataType, FieldType>,
                  public std::enable_shared_from_this<LumoModel> {
public:
    explicit LumoModel(LumoDocumentPtr document);
    ~LumoModel() override;

    LumoDocumentPtr GetDocument() const { return m_document; }

private:
    LumoDocumentPtr m_document;
};

using LumoModelPtr = std::shared_ptr<LumoModel>;

} // namespace lumo::ui
