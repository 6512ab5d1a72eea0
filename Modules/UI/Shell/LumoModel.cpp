#include "Shell/LumoModel.h"

namespace lumo::ui {

LumoModel::LumoModel(LumoDocumentPtr document)
    : NotificationModel(document ? document->GetProject() : app::ProjectPtr()), m_document(std::move(document))
{
}

LumoModel::~LumoModel() = default;

} // namespace lumo::ui
