#include "application_title.h"

#include <QFileInfo>

QString ApplicationTitle(const QString &programFilePath)
{
    const QString fileName = QFileInfo(programFilePath).fileName();
    const QString name = fileName.left(fileName.indexOf(u'.'));
    if (name.isEmpty())
        return name;
    return name.left(1) + name.mid(1).toLower();
}
