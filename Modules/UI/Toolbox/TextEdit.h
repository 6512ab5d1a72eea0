#pragma once

#include <QTextEdit>

namespace lumo::ui {

// The text box of the text properties: plain text only, no frame, no undo. While it is empty and
// does not have the focus it shows a grey, italic placeholder; it keeps the alignment the panel
// gives it, which an empty box takes again when it gets the focus.
class TextEdit : public QTextEdit {
    Q_OBJECT

public:
    TextEdit(const QString& placeholder, QWidget* parent);

    const QString& Placeholder() const { return m_placeholder; }
    Qt::Alignment StoredAlignment() const { return m_alignment; }
    // Selects the whole text, aligns it, keeps the alignment and puts the cursor at the end.
    void ApplyAlignment(Qt::Alignment alignment);

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QString m_placeholder;
    bool m_hasFocus = false;
    Qt::Alignment m_alignment = Qt::AlignLeft;
};

} // namespace lumo::ui
