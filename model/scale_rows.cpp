#include "scale_rows.h"

#include "form_pattern.h"
#include "minor_keys.h"
#include "note_names.h"

#include <stdexcept>
#include <string>

namespace {

template<typename TextOf>
ScaleRow rowOf(ScaleForm form, TextOf textOf)
{
    ScaleRow row{};
    const FormPatternTable &pattern = FormPattern(form);
    for (std::size_t i = 0; i < pattern.size(); ++i)
        row[i] = {pattern[i].Column, textOf(pattern[i])};
    return row;
}

} // namespace

ScaleRow NoteRow(ScaleForm form, std::int32_t keyIndex)
{
    if (!IsKeyIndex(keyIndex))
        throw std::out_of_range("NoteRow: key index " + std::to_string(keyIndex)
                                + " is not a chosen key");
    return rowOf(form, [keyIndex](const FormPatternEntry &entry) {
        return NoteNames[static_cast<std::size_t>(keyIndex + entry.FifthOffset)];
    });
}

ScaleRow DegreeNameRow(ScaleForm form)
{
    return rowOf(form, [](const FormPatternEntry &entry) { return entry.DegreeName; });
}

ScaleRow DegreeNumberRow(ScaleForm form)
{
    return rowOf(form, [](const FormPatternEntry &entry) { return entry.DegreeNumber; });
}

ScaleRow NextHeaderRow(ScaleForm form, std::string_view headerCellText)
{
    return headerCellText == TonicName ? DegreeNumberRow(form) : DegreeNameRow(form);
}
