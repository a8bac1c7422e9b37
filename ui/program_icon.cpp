#include "program_icon.h"

#include <QPixmap>

namespace {

// The same picture the desktop's icon theme is made from, so the window and the menu entry
// show one design.
#include "quarvelo.xpm"

} // namespace

QImage ProgramIconImage()
{
    return QImage(quarvelo_32);
}

QIcon ProgramIcon()
{
    return QIcon(QPixmap::fromImage(ProgramIconImage()));
}
