#include "RenderItems.h"

#include <QString>

namespace lumo::app {

std::shared_ptr<AbstractFilterItem> CreateFilterItem(const QString&)
{
    return nullptr;
}

} // namespace lumo::app
