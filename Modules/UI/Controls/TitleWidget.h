#pragma once

// The older title-and-body pair of the export panel: a title bar drawn by its own style sheet
// over a body ("BodyWidget"). Unlike Container it leaves showing and enabling the body to its
// owner and only reports the clicks.

#include <QFrame>

class QCheckBox;
class QLabel;
class QPushButton;

namespace lumo::ui {

class TitleButton;

class BodyWidget : public QFrame {
    Q_OBJECT

public:
    explicit BodyWidget(QWidget* parent);
};

class TitleWidget : public QFrame {
    Q_OBJECT

public:
    TitleWidget(QWidget* parent, const QString& title, bool enabled, bool expanded, bool reset, bool move,
                bool enableCheck, bool collapse);

    // Each null when not asked for.
    TitleButton* CollapseButton() const { return m_collapseButton; }
    TitleButton* MoveUpButton() const { return m_moveUpButton; }
    TitleButton* MoveDownButton() const { return m_moveDownButton; }
    TitleButton* ResetButton() const { return m_resetButton; }
    QCheckBox* EnableCheckBox() const { return m_checkBox; }

signals:
    void CollapseWidgetBody(bool expand);
    void MoveUp();
    void MoveDown();
    void EnableWidgetBody(int state);
    void ResetWidgetBody();
    // Never emitted; kept for owners that connect it.
    void CheckBoxStateChanged(int state);

public slots:
    // The title's image for the open or the closed state.
    void SetStyle(bool expanded);
    // Follows the enable box: a checked box opens the title and enables the reset button, an
    // unchecked one closes it and disables the button.
    void StyleResetButton(int state);

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void ApplyStyleSheet();

    TitleButton* m_collapseButton = nullptr;
    TitleButton* m_moveUpButton = nullptr;
    TitleButton* m_moveDownButton = nullptr;
    TitleButton* m_resetButton = nullptr;
    QCheckBox* m_checkBox = nullptr;
    QString m_titleStyle;
    QString m_resetStyle;
};

} // namespace lumo::ui
