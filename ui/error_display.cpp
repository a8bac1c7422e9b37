#include "error_display.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>

QString ErrorDisplayText(const QString &message)
{
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + u'.';
    return message;
}

void ShowErrorMessageBox(const QString &title, const QString &text)
{
    const QPointer<QWidget> previous = QApplication::activeWindow();
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, previous);
    box.exec();
    if (previous)
        previous->activateWindow();
}
