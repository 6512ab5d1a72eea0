#include "RenderItems.h"

#include <QString>

namespace lumo::app {

std::shared_ptr<AbstractCompositeItem> CreateCompositeItem(const QString&)
{
    return nullptr;
}

} // namespace lumo::app
