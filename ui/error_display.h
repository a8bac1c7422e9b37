// How an error that escaped an event handler is shown to the user: the text rule of the
// display and the modal message box that shows it.
#pragma once

#include <QString>

#include <functional>

// Shows one error: the caption and the text, already completed by ErrorDisplayText.
using ErrorDisplay = std::function<void(const QString &title, const QString &text)>;

// The message as the display shows it: a "." is appended when the message is not empty and
// its last character's code lies above that of "." itself, so "x" and "b:" get one while
// "x.", "x!", "a)" and "a " stay as they are.
QString ErrorDisplayText(const QString &message);

// The default display: a message box with the stop icon and one OK button, modal to the whole
// program; afterwards the window that was active before is activated again.
void ShowErrorMessageBox(const QString &title, const QString &text);
