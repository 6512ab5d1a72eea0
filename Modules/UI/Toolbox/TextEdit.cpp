#include "Toolbox/TextEdit.h"

#include "Shell/Application.h"

#include <QFontMetrics>
#include <QPainter>
#include <QSignalBlocker>
#include <QTextCursor>

namespace lumo::ui {

namespace {

const QColor kPlaceholderColour(100, 100, 100);
constexpr int kPlaceholderPointSize = 12;

} // namespace

TextEdit::TextEdit(const QString& placeholder, QWidget* parent) : QTextEdit(parent), m_placeholder(placeholder)
{
    setAcceptRichText(false);
    setAutoFormatting(QTextEdit::AutoNone);
    setUndoRedoEnabled(false);
    setFrameShape(QFrame::NoFrame);
    setFrameShadow(QFrame::Plain);
}

void TextEdit::ApplyAlignment(Qt::Alignment alignment)
{
    m_alignment = alignment;
    // A new block format is no new text.
    const QSignalBlocker blocker(this);
    selectAll();
    setAlignment(alignment);
    moveCursor(QTextCursor::End);
}

void TextEdit::paintEvent(QPaintEvent* event)
{
    QTextEdit::paintEvent(event);
    if (!toPlainText().isEmpty() || m_hasFocus)
        return;
    RunGuarded([this] {
        QPainter painter(viewport());
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setPen(kPlaceholderColour);
        QFont font = painter.font();
        font.setItalic(true);
        font.setPointSize(kPlaceholderPointSize);
        painter.setFont(font);
        painter.drawText(QPointF(1, QFontMetrics(font).height()), m_placeholder);
    });
}

void TextEdit::focusInEvent(QFocusEvent* event)
{
    // An empty document forgets the alignment of its block.
    if (toPlainText().isEmpty())
        ApplyAlignment(m_alignment);
    m_hasFocus = true;
    QTextEdit::focusInEvent(event);
    viewport()->update();
}

void TextEdit::focusOutEvent(QFocusEvent* event)
{
    m_hasFocus = false;
    QTextEdit::focusOutEvent(event);
    viewport()->update();
}

} // namespace lumo::ui
