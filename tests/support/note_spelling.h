// Reads a Portuguese note name the way a musician does, independently of the program's
// tables: the letter it names and the pitch class it sounds ("Fá #" is F sharp: letter 3,
// pitch class 6). Tests check the program's notes and recordings against it.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

struct NoteSpelling
{
    int letter; // 0 = Dó ... 6 = Si
    int pitchClass; // 0 = C ... 11 = B
};

inline NoteSpelling SpellNote(std::string_view text)
{
    struct Syllable
    {
        std::string_view name;
        int letter;
        int pitchClass;
    };
    static constexpr Syllable syllables[] = {{"Dó", 0, 0}, {"Ré", 1, 2},  {"Mi", 2, 4},
                                             {"Fá", 3, 5}, {"Sol", 4, 7}, {"Lá", 5, 9},
                                             {"Si", 6, 11}};
    for (const Syllable &syllable : syllables) {
        if (!text.starts_with(syllable.name))
            continue;
        const std::string_view accidental = text.substr(syllable.name.size());
        int shift = 0;
        if (accidental == " b")
            shift = -1;
        else if (accidental == " #")
            shift = 1;
        else if (accidental == " ##")
            shift = 2;
        else if (!accidental.empty())
            break;
        return {syllable.letter, (syllable.pitchClass + shift + 12) % 12};
    }
    throw std::invalid_argument("not a note name: \"" + std::string(text) + '"');
}
