// The program's icon: one 32 x 32 picture in at most 16 colours, the window beside each of its
// three bands in miniature (a Play button and a grid), shown by the desktop for the program.
#pragma once

#include <QIcon>
#include <QImage>

// The picture itself, as an indexed image whose colour table holds at most 16 entries.
QImage ProgramIconImage();

QIcon ProgramIcon();
