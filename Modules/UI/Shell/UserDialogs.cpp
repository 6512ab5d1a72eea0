#include "Shell/UserDialogs.h"

namespace lumo::ui {

UserDialogs::~UserDialogs() = default;

QString UserDialogs::OpenFileName(QWidget* parent, const QString& title, const QString& folder, const QString& filter)
{
    const QStringList paths = ChooseFiles({parent, FileDialogMode::OpenFile, title, folder, filter, QString()});
    return paths.value(0);
}

QString UserDialogs::SaveFileName(QWidget* parent, const QString& title, const QString& proposed,
                                  const QString& filter, const QString& defaultSuffix)
{
    const QStringList paths = ChooseFiles({parent, FileDialogMode::SaveFile, title, proposed, filter, defaultSuffix});
    return paths.value(0);
}

} // namespace lumo::ui
