#include "Shell/SplashScreen.h"

#include "Shell/Identity.h"

namespace lumo::ui {

SplashScreen::SplashScreen() : QSplashScreen(QPixmap(), Qt::WindowFlags())
{
    m_picture.SetUp(*this);
}

SplashScreen::~SplashScreen() = default;

void SplashScreen::paintEvent(QPaintEvent* /*event*/)
{
    m_picture.Paint(*this, rect(), ApplicationVersion);
}

} // namespace lumo::ui
