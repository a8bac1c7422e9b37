#include "application.h"

#include "application_title.h"
#include "classic_style.h"
#include "program_icon.h"
#include "window_font.h"

#include <QToolTip>

#include <exception>

Application::Application(int &argc, char **argv)
    : QApplication(argc, argv),
      m_title(ApplicationTitle(QCoreApplication::applicationFilePath())),
      m_errorDisplay(ShowErrorMessageBox)
{
    // The message box and the hints take the classic look as well as the window, so it is the
    // application's rather than the window's.
    auto *style = new ClassicStyle;
    setStyle(style);
    setPalette(style->standardPalette());
    QToolTip::setPalette(style->standardPalette());
    setFont(WindowFont());
    setWindowIcon(ProgramIcon());
}

bool Application::notify(QObject *receiver, QEvent *event)
{
    // The handlers catch nothing: an error ends its handler where it was raised, the steps
    // before it keep their effect, and it is shown here once the stack is back in the loop.
    QString message;
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &error) {
        message = QString::fromUtf8(error.what());
    } catch (...) {
        message = QStringLiteral("Erro desconhecido");
    }
    showError(message);
    return true;
}

void Application::showError(const QString &message)
{
    if (m_errorDisplay)
        m_errorDisplay(m_title, ErrorDisplayText(message));
}
