#pragma once
// The launcher's own pictures, drawn at run time: the logo (193 x 64 pixels) and the picture of
// the cache-refresh button.

#include <QPixmap>

namespace kx::launcher::qt {

QPixmap drawLogo();
QPixmap drawRefreshPicture(int size);

}  // namespace kx::launcher::qt
