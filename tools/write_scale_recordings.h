// Writes the 45 recordings, three forms for each of the fifteen keys, into one folder under
// the names the players open.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Creates the folder if needed and writes every recording, replacing files of the same name.
// Returns the names written, in key order and form order; throws std::runtime_error naming the
// file when one cannot be written.
std::vector<std::string> WriteScaleRecordings(const std::filesystem::path &folder);
