#pragma once

// A split button of recently used places: the text half hands on the newest place's folder, the
// menu half lists the five newest places that still exist. The places are the settings' list
// "RecentFolders"/<key> (newest first), which the import dialogs write; entries that no longer
// exist are dropped from it as the list is read.

#include <QFrame>
#include <QIcon>

#include <array>

class QAction;
class QMenu;
class QPushButton;

namespace lumo::ui {

class ButtonPopupMenu : public QFrame {
    Q_OBJECT

public:
    static constexpr int MaximumRecentPlaces = 5;

    // settingsKey: the layer kind in lower case ("background", "foreground", "overlay", "layer").
    ButtonPopupMenu(const QIcon& icon, const QString& text, const QString& settingsKey, QWidget* parent);
    ~ButtonPopupMenu() override;

    QPushButton* TextButton() const { return m_textButton; }
    QPushButton* MenuButton() const { return m_menuButton; }
    QMenu* Menu() const { return m_menu; }
    const std::array<QAction*, MaximumRecentPlaces>& RecentPlaceActions() const { return m_actions; }

    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // A place chosen from the menu; from the text button the newest place's folder (a folder as
    // it is, a file's folder), or a null string when there is none.
    void PopupMenuItemChosen(const QString& path);

public slots:
    void ActionTriggered();
    void ButtonClicked();
    // Reads the list, drops the entries that no longer exist up to the fifth one that does, writes
    // it back and shows the first five in the menu.
    void UpdateRecentPlaceActions();
    // Both halves look pressed together.
    void ButtonPressed();
    void ButtonReleased();

private:
    void MenuButtonPressed();
    bool HasRecentPlaces() const;

    QString m_settingsKey;
    QMenu* m_menu;
    std::array<QAction*, MaximumRecentPlaces> m_actions{};
    QPushButton* m_textButton;
    QPushButton* m_menuButton;
};

// Puts the file's absolute path at the top of the list "RecentFolders"/<key>, once, keeping the
// newest MaximumRecentPlaces entries.
void AddRecentPlace(const QString& settingsKey, const QString& path);

} // namespace lumo::ui
