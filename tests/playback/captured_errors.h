// Errors that escaped a posted call during a test, oldest first.
#pragma once

#include <string>
#include <vector>

std::vector<std::string> &CapturedErrors();
