// The errors that the application's error display was asked to show during a test. While a
// ShownErrors lives, errors are kept in it; otherwise an error shown fails the running test.
#pragma once

#include <QString>

#include <vector>

struct ShownError
{
    QString title;
    QString text;
};

class ShownErrors
{
public:
    ShownErrors();
    ~ShownErrors();
    ShownErrors(const ShownErrors &) = delete;
    ShownErrors &operator=(const ShownErrors &) = delete;

    std::vector<ShownError> errors;
};

// Installs the display that fails the running test; the state between tests.
void FailOnShownErrors();
