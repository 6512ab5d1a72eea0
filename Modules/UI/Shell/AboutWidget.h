#pragma once

#include "Shell/ProductPicture.h"

#include <QDialog>

namespace lumo::ui {

// The about box: the product picture with "Version" and the version, frameless; a left click
// closes it. Its caller runs it with exec().
class AboutWidget : public QDialog {
    Q_OBJECT

public:
    explicit AboutWidget(QWidget* parent = nullptr);
    ~AboutWidget() override;

    const ProductPicture& Picture() const { return m_picture; }
    // "Version 4.1.0004".
    static QString VersionText();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    ProductPicture m_picture;
};

} // namespace lumo::ui
