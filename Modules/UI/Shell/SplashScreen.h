#pragma once

#include "Shell/ProductPicture.h"

#include <QSplashScreen>

namespace lumo::ui {

// The product picture with the version, shown while the program starts. Clicks keep the base
// class's handling.
class SplashScreen : public QSplashScreen {
    Q_OBJECT

public:
    SplashScreen();
    ~SplashScreen() override;

    const ProductPicture& Picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ProductPicture m_picture;
};

} // namespace lumo::ui
