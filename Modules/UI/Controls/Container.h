#pragma once

// The collapsible box every effect panel and most toolbox panels sit in: a 25-pixel title bar over
// a body that the owner fills. The title carries, by feature flags, a collapse button, move-up and
// move-down buttons, a reset button, an enable box and a custom check box. The container shows,
// hides, enables and disables the body itself and tells its owner through its signals:
// - collapsing or expanding (the button or a click on the title) emits SignalExpandBody;
//   expanding a disabled body also enables it and emits SignalEnableBody(true);
// - the enable box shows and enables the body when checked, hides and disables it when not,
//   emitting SignalExpandBody and then SignalEnableBody.
// SetBodyState restores a state from the model without emitting anything.

#include <QFrame>
#include <QPixmap>
#include <QWidget>

class QLabel;

namespace lumo::ui {

class CheckBox;
class TitleButton;

// Flags of a container's title bar (an int; other bits are ignored).
enum ContainerFeature : int {
    ContainerFeatureReset = 0x04,       // "TitleResetButton"
    ContainerFeatureMove = 0x08,        // "FilterUpButton" and "FilterDownButton"
    ContainerFeatureEnable = 0x10,      // "ColoredCheck", starts checked
    ContainerFeatureCollapse = 0x20,    // "CollapseButton", checked means expanded
    ContainerFeatureCustomCheck = 0x40, // "CustomCheckBox", "Use hot folder"
};

// The body, into which the owner puts its controls ("BodyWidget").
class ContainerBody : public QFrame {
    Q_OBJECT

public:
    explicit ContainerBody(QWidget* parent);
};

// The title bar; it paints its own background from ":Toolbox/FilterTitle.png" (expanded) and
// ":Toolbox/FilterTitleCollapsed.png" (collapsed).
class ContainerTitle : public QWidget {
    Q_OBJECT

public:
    ContainerTitle(const QString& title, bool collapse, bool move, bool reset, bool enable, bool customCheck,
                   QWidget* parent);

    // Each null when its flag is not set.
    QLabel* TitleLabel() const { return m_label; }
    TitleButton* CollapseButton() const { return m_collapseButton; }
    TitleButton* MoveUpButton() const { return m_moveUpButton; }
    TitleButton* MoveDownButton() const { return m_moveDownButton; }
    TitleButton* ResetButton() const { return m_resetButton; }
    CheckBox* EnableCheckBox() const { return m_enableCheckBox; }
    CheckBox* CustomCheckBox() const { return m_customCheckBox; }

    // Sets the enable box and the collapse button with this title's signals blocked, and the
    // reset button's enabled state; each only when present.
    void SetChecks(bool enabled, bool expanded);

signals:
    void SignalExpandBody(bool expand);
    void SignalMoveUp();
    void SignalMoveDown();
    void SignalReset();
    void SignalEnableBody(int state);
    void SignalCustomCheckBoxStateChanged(int state);

public slots:
    void SlotExpandedToggled(bool checked);
    void SlotEnableStateChanged(int state);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QLabel* m_label = nullptr;
    TitleButton* m_collapseButton = nullptr;
    TitleButton* m_moveUpButton = nullptr;
    TitleButton* m_moveDownButton = nullptr;
    TitleButton* m_resetButton = nullptr;
    CheckBox* m_enableCheckBox = nullptr;
    CheckBox* m_customCheckBox = nullptr;
    QPixmap m_leftCap;
    QPixmap m_rightCap;
    QPixmap m_leftCapCollapsed;
    QPixmap m_rightCapCollapsed;
    QPixmap m_middle;
};

class Container : public QWidget {
    Q_OBJECT

public:
    Container(const QString& title, int features, QWidget* parent);

    ContainerBody* Body() const { return m_body; }
    ContainerTitle* Title() const { return m_title; }
    int Features() const { return m_features; }

    // Enables and shows the body as given and sets the title's checks to match; emits nothing.
    void SetBodyState(bool enabled, bool expanded);

signals:
    void SignalExpandBody(bool expand);
    void SignalMoveUp();
    void SignalMoveDown();
    void SignalReset();
    void SignalEnableBody(bool enable);
    void SignalCustomCheckBoxStateChanged(int state);

public slots:
    void SlotExpandBody(bool expand);
    // state is a Qt::CheckState.
    void SlotEnableBody(int state);

private:
    int m_features;
    ContainerBody* m_body;
    ContainerTitle* m_title;
};

} // namespace lumo::ui
