#include "minor_keys.h"
#include "recording_names.h"

#include <gtest/gtest.h>
#include <set>

namespace {

TEST(RecordingNames, NamesOfTheEdgeKeys)
{
    struct Case
    {
        std::int32_t keyIndex;
        std::array<std::string, 3> names;
    };
    const Case cases[] = {
        {4, {"La Bem Prim.MID", "La Bem Harm.MID", "La Bem Mel.MID"}},
        {7, {"Fa Prim.MID", "Fa Harm.MID", "Fa Mel.MID"}},
        {10, {"Re Prim.MID", "Re Harm.MID", "Re Mel.MID"}},
        {11, {"La Prim.MID", "La Harm.MID", "La Mel.MID"}},
        {16, {"Sol Sus Prim.MID", "Sol Sus Harm.MID", "Sol Sus Mel.MID"}},
        {18, {"La Sus Prim.MID", "La Sus Harm.MID", "La Sus Mel.MID"}},
    };
    for (const Case &c : cases) {
        for (std::size_t form = 0; form < ScaleForms.size(); ++form)
            EXPECT_EQ(RecordingName(c.keyIndex, ScaleForms[form]), c.names[form]);
    }
}

TEST(RecordingNames, FortyFiveDistinctPlainAsciiNamesAndNoneOutsideTheKeys)
{
    std::set<std::string> names;
    for (const MinorKey &key : MinorKeys) {
        for (ScaleForm form : ScaleForms) {
            const std::string name = RecordingName(key.KeyIndex, form).value();
            for (unsigned char c : name)
                EXPECT_TRUE(c >= 0x20 && c < 0x7F) << name;
            EXPECT_TRUE(name.ends_with(".MID")) << name;
            names.insert(name);
        }
    }
    EXPECT_EQ(names.size(), 45u);
    for (std::int32_t keyIndex : {-1, 0, 3, 19, 23})
        EXPECT_FALSE(RecordingStem(keyIndex).has_value()) << keyIndex;
}

} // namespace
