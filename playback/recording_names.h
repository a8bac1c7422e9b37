// The names of the 45 recordings, three per key: the key's stem followed by the form's suffix.
// The names are fixed ASCII texts handed to the sound system without a directory.
#pragma once

#include "scale_form.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The stem of a key's recordings ("La Bem", "Sol Sus"), or no value for a KeyIndex no key has.
std::optional<std::string_view> RecordingStem(std::int32_t keyIndex);

std::string_view RecordingSuffix(ScaleForm form);

// The recording of a form in a key; no value for a KeyIndex no key has.
std::optional<std::string> RecordingName(std::int32_t keyIndex, ScaleForm form);
