// The catalogue of the 15 minor keys offered by the key list, and the mapping from a list
// position to the position of the key's tonic in NoteNames (the KeyIndex).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

struct MinorKey
{
    std::int32_t ListPosition;
    std::string_view KeyCaption;
    std::int32_t KeyIndex;
};

// The lowest and highest KeyIndex a chosen key can have; KeyIndex minus NaturalKeyIndex is the
// signed number of accidentals in the key signature (sharps positive).
inline constexpr std::int32_t LowestKeyIndex = 4;
inline constexpr std::int32_t HighestKeyIndex = 18;
inline constexpr std::int32_t NaturalKeyIndex = 11;

// Sharp keys first by rising number of sharps, then flat keys by rising number of flats.
inline constexpr std::array<MinorKey, 15> MinorKeys{{
    {0, "Lá Menor - Nenhuma Alteração", 11},
    {1, "Mi Menor - 1 Sustenido", 12},
    {2, "Si Menor - 2 Sustenidos", 13},
    {3, "Fá # Menor - 3 Sustenidos", 14},
    {4, "Dó # Menor - 4 Sustenidos", 15},
    {5, "Sol # Menor - 5 Sustenidos", 16},
    {6, "Ré # Menor - 6 Sustenidos", 17},
    {7, "Lá # Menor - 7 Sustenidos", 18},
    {8, "Ré Menor - 1 Bemol", 10},
    {9, "Sol Menor - 2 Bemóis", 9},
    {10, "Dó Menor - 3 Bemóis", 8},
    {11, "Fá Menor - 4 Bemóis", 7},
    {12, "Si b Menor - 5 Bemóis", 6},
    {13, "Mi b Menor - 6 Bemóis", 5},
    {14, "Lá b Menor - 7 Bemóis", 4},
}};

constexpr bool IsKeyIndex(std::int32_t keyIndex)
{
    return keyIndex >= LowestKeyIndex && keyIndex <= HighestKeyIndex;
}

// The key that a list position selects, or no value for any position outside 0..14 (the list
// reports -1 when no entry is current); such a position is no error, it simply chooses no key.
constexpr std::optional<std::int32_t> KeyIndexForPosition(std::int32_t position)
{
    if (position >= 0 && position <= 7)
        return NaturalKeyIndex + position;
    if (position >= 8 && position <= 14)
        return HighestKeyIndex - position;
    return std::nullopt;
}
