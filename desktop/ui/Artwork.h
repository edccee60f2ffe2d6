#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

namespace tarnix {

// The program's pictures, drawn at run time so the programs carry no image files.

// The maker's logo: the name beside a pulse trace, for the Logo pictures.
QPixmap DrawLogo(QSize size);

// The window and tray icon: a pulse trace on a blue tile.
QIcon ProgramIcon();

// The same icon as one square picture, for the desktop's icon theme.
QPixmap DrawProgramIcon(int side);

// The instance notice's picture: a warning sign.
QPixmap DrawNoticeImage(QSize size);

} // namespace tarnix
