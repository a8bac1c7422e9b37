#include "recording_names.h"

#include "minor_keys.h"

#include <array>

namespace {

// One stem per KeyIndex from LowestKeyIndex: accents dropped, "Bem" for a flat, "Sus" for a sharp.
constexpr std::array<std::string_view, 15> Stems{
    "La Bem", "Mi Bem", "Si Bem", "Fa",     "Do",      "Sol",    "Re",     "La",
    "Mi",     "Si",     "Fa Sus", "Do Sus", "Sol Sus", "Re Sus", "La Sus",
};

} // namespace

std::optional<std::string_view> RecordingStem(std::int32_t keyIndex)
{
    if (!IsKeyIndex(keyIndex))
        return std::nullopt;
    return Stems[static_cast<std::size_t>(keyIndex - LowestKeyIndex)];
}

std::string_view RecordingSuffix(ScaleForm form)
{
    switch (form) {
    case ScaleForm::Harmonica:
        return " Harm.MID";
    case ScaleForm::Melodica:
        return " Mel.MID";
    case ScaleForm::Primitiva:
        break;
    }
    return " Prim.MID";
}

std::optional<std::string> RecordingName(std::int32_t keyIndex, ScaleForm form)
{
    const auto stem = RecordingStem(keyIndex);
    if (!stem)
        return std::nullopt;
    return std::string(*stem) + std::string(RecordingSuffix(form));
}
