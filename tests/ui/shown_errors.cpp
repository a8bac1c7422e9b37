#include "shown_errors.h"

#include "application.h"

#include <gtest/gtest.h>

namespace {

Application &App()
{
    return *static_cast<Application *>(QCoreApplication::instance());
}

} // namespace

ShownErrors::ShownErrors()
{
    App().setErrorDisplay([this](const QString &title, const QString &text) {
        errors.push_back({title, text});
    });
}

ShownErrors::~ShownErrors()
{
    FailOnShownErrors();
}

void FailOnShownErrors()
{
    App().setErrorDisplay([](const QString &title, const QString &text) {
        ADD_FAILURE() << "unexpected error shown: " << title.toStdString() << ": "
                      << text.toStdString();
    });
}
