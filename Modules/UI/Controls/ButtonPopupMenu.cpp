#include "Controls/ButtonPopupMenu.h"

#include "Shell/Settings.h"

#include <QAction>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMenu>
#include <QPushButton>

#include <algorithm>

namespace lumo::ui {

namespace {

const QString kRecentFoldersGroup = QStringLiteral("RecentFolders");

const QString kMenuStyleSheet = QStringLiteral(
    "QMenu { color: #cbcbcb; border: 1px solid #4d4d4d; background: #2c2c2c; }"
    "QMenu::item { padding: 4px 20px 4px 20px; border: 1px solid transparent; }"
    "QMenu::item:selected { background: #4d4d4d; }"
    "QMenu::item:disabled { color: #666666; }"
    "QMenu::separator { height: 1px; background: #4d4d4d; }");

} // namespace

ButtonPopupMenu::ButtonPopupMenu(const QIcon& icon, const QString& text, const QString& settingsKey, QWidget* parent)
    : QFrame(parent), m_settingsKey(settingsKey), m_menu(new QMenu(this)),
      m_textButton(new QPushButton(icon, text, this)), m_menuButton(new QPushButton(this))
{
    m_menu->setStyleSheet(kMenuStyleSheet);
    for (QAction*& action : m_actions) {
        action = new QAction(this);
        action->setVisible(false);
        m_menu->addAction(action);
        connect(action, &QAction::triggered, this, &ButtonPopupMenu::ActionTriggered);
    }
    m_menu->installEventFilter(this);

    m_textButton->setObjectName(QStringLiteral("PopupButtonText"));
    m_textButton->setFixedHeight(27);
    m_textButton->setIconSize(QSize(16, 16));
    m_menuButton->setObjectName(QStringLiteral("PopupButtonMenu"));
    m_menuButton->setFixedSize(33, 27);
    // Connected before the menu is attached, so that it runs before the button opens the menu.
    connect(m_menuButton, &QPushButton::pressed, this, &ButtonPopupMenu::MenuButtonPressed);
    m_menuButton->setMenu(m_menu);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_textButton);
    layout->addWidget(m_menuButton);

    connect(m_textButton, &QPushButton::clicked, this, &ButtonPopupMenu::ButtonClicked);
    connect(m_textButton, &QPushButton::pressed, this, &ButtonPopupMenu::ButtonPressed);
    connect(m_textButton, &QPushButton::released, this, &ButtonPopupMenu::ButtonReleased);
    connect(m_menuButton, &QPushButton::released, this, &ButtonPopupMenu::ButtonReleased);
    connect(m_menu, &QMenu::aboutToShow, this, &ButtonPopupMenu::UpdateRecentPlaceActions);
    connect(m_menu, &QMenu::aboutToHide, this, &ButtonPopupMenu::ButtonReleased);
}

ButtonPopupMenu::~ButtonPopupMenu()
{
    // The children go after this object's own part: a menu hidden as it goes must not call back.
    m_menu->removeEventFilter(this);
    m_menu->disconnect(this);
    m_textButton->disconnect(this);
    m_menuButton->disconnect(this);
}

bool ButtonPopupMenu::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_menu && event->type() == QEvent::ShowToParent && !HasRecentPlaces()) {
        // Closed once the menu's own event loop runs: a menu hidden before that loop starts would
        // leave the loop waiting with nothing on screen.
        QMetaObject::invokeMethod(m_menu, &QMenu::close, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

void ButtonPopupMenu::ActionTriggered()
{
    if (const auto* action = qobject_cast<const QAction*>(sender()))
        emit PopupMenuItemChosen(action->data().toString());
}

void ButtonPopupMenu::ButtonClicked()
{
    UpdateRecentPlaceActions();
    if (!m_actions[0]->isVisible()) {
        emit PopupMenuItemChosen(QString());
        return;
    }
    const QString path = m_actions[0]->data().toString();
    const QFileInfo place(path);
    emit PopupMenuItemChosen(place.isDir() ? path : place.absolutePath());
}

void ButtonPopupMenu::UpdateRecentPlaceActions()
{
    ProgramSettings settings;
    settings.beginGroup(kRecentFoldersGroup);
    const QString key = m_settingsKey.toLower();
    QStringList places = settings.value(key).toStringList();
    // Entries after the fifth one that exists are left as they are: they are not shown.
    int kept = 0;
    for (int i = 0; kept < MaximumRecentPlaces && i < places.size();) {
        const QFileInfo place(places[i]);
        if (place.isFile() || place.isDir()) {
            ++kept;
            ++i;
        } else {
            places.removeAt(i);
        }
    }
    settings.setValue(key, places);
    settings.endGroup();

    for (int i = 0; i < MaximumRecentPlaces; ++i) {
        QAction* action = m_actions[static_cast<std::size_t>(i)];
        if (i < places.size()) {
            // A "&" in a path is shown as itself, not taken as a shortcut mark.
            QString shown = places[i];
            shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
            action->setText(tr("&%1 - %2").arg(i + 1).arg(shown));
            action->setData(places[i]);
            action->setVisible(true);
        } else {
            action->setVisible(false);
        }
    }
}

void ButtonPopupMenu::ButtonPressed()
{
    m_textButton->setStyleSheet(
        QStringLiteral("border-image: url(:Button/PopupButtonTextDown.png) 1px 0px 1px 11px;"));
    m_menuButton->setStyleSheet(
        QStringLiteral("border-image: url(:Button/PopupButtonMenuDown.png) 1px 0px 1px 11px;"));
}

void ButtonPopupMenu::ButtonReleased()
{
    m_textButton->setStyleSheet(QString());
    m_menuButton->setStyleSheet(QString());
}

void ButtonPopupMenu::MenuButtonPressed()
{
    UpdateRecentPlaceActions();
    if (!HasRecentPlaces()) {
        // An empty list opens no menu: the button opens its menu only while it is down.
        m_menuButton->setDown(false);
        return;
    }
    ButtonPressed();
}

bool ButtonPopupMenu::HasRecentPlaces() const
{
    return std::any_of(m_actions.begin(), m_actions.end(), [](const QAction* action) { return action->isVisible(); });
}

void AddRecentPlace(const QString& settingsKey, const QString& path)
{
    const QString absolutePath = QFileInfo(path).absoluteFilePath();
    ProgramSettings settings;
    settings.beginGroup(kRecentFoldersGroup);
    const QString key = settingsKey.toLower();
    QStringList places = settings.value(key).toStringList();
    places.removeAll(absolutePath);
    places.prepend(absolutePath);
    while (places.size() > ButtonPopupMenu::MaximumRecentPlaces)
        places.removeLast();
    settings.setValue(key, places);
    settings.endGroup();
}

} // namespace lumo::ui
