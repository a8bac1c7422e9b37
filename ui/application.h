// The application object: runs the message loop and is the one place where an error that
// escapes an event handler is caught, to be shown by the error display; the program then goes
// on with the next event. It also gives the whole program its classic look.
#pragma once

#include "error_display.h"

#include <QApplication>

class Application : public QApplication
{
    Q_OBJECT

public:
    Application(int &argc, char **argv);

    // Derived from the program file's name (ApplicationTitle); captions the error display.
    QString title() const { return m_title; }

    // Replaces the error display, for instance to watch it without a modal loop.
    void setErrorDisplay(ErrorDisplay display) { m_errorDisplay = std::move(display); }

    bool notify(QObject *receiver, QEvent *event) override;

private:
    void showError(const QString &message);

    QString m_title;
    ErrorDisplay m_errorDisplay;
};
