// The application's title, which captions the error display: derived from the program file's
// name, since the program sets no title of its own.
#pragma once

#include <QString>

// The file name without its directory, cut before its first ".", every character after the
// first in lower case and the first left as it is: "DEMO.EXE" gives "Demo".
QString ApplicationTitle(const QString &programFilePath);
