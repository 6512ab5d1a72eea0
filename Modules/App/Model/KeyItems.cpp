#include "RenderItems.h"

#include <QString>

namespace lumo::app {

std::shared_ptr<AbstractKeyItem> CreateKeyItem(const QString&)
{
    return nullptr;
}

} // namespace lumo::app
