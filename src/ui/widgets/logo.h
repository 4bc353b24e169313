#pragma once
// The program's picture, drawn rather than loaded so that no image plugin is needed:
// the window icon, the splash and the About box use it. GUI thread only.
#include <QIcon>
#include <QPixmap>

namespace vendrix::ui {

QPixmap LogoPixmap(int size);
QIcon LogoIcon();

}  // namespace vendrix::ui
