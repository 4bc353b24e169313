#include "splash.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

#include "logo.h"

namespace vendrix::ui {

Splash::Splash() : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint) {
  setObjectName("Splash");
  setAttribute(Qt::WA_DeleteOnClose);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 24, 24, 0);
  auto* picture = new QLabel(this);
  picture->setPixmap(LogoPixmap(128));
  picture->setAlignment(Qt::AlignHCenter);
  layout->addWidget(picture);
  auto* title = new QLabel("<b>Vendrix 2.08</b>", this);
  title->setAlignment(Qt::AlignHCenter);
  QFont big = title->font();
  big.setPointSizeF(big.pointSizeF() * 1.6);
  title->setFont(big);
  layout->addWidget(title);
  auto* panel = new QLabel("Loading your profiles and sites...", this);
  panel->setObjectName("SplashPanel");
  panel->setAlignment(Qt::AlignCenter);
  panel->setFrameShape(QFrame::Panel);
  panel->setFrameShadow(QFrame::Sunken);
  panel->setMargin(6);
  layout->addSpacing(12);
  layout->addWidget(panel);
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  setPalette(white);
  setAutoFillBackground(true);
  adjustSize();
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame = geometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  shown_.start();
}

int Splash::RemainingMs() const {
  const qint64 left = kMinimumMs - shown_.elapsed();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace vendrix::ui
