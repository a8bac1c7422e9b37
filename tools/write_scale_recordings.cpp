#include "write_scale_recordings.h"

#include "minor_keys.h"
#include "recording_names.h"
#include "scale_recording.h"

#include <fstream>
#include <stdexcept>

namespace {

void writeFile(const std::filesystem::path &path, const std::vector<std::uint8_t> &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

} // namespace

std::vector<std::string> WriteScaleRecordings(const std::filesystem::path &folder)
{
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error)
        throw std::runtime_error("cannot create " + folder.string() + ": " + error.message());

    std::vector<std::string> names;
    for (std::int32_t keyIndex = LowestKeyIndex; keyIndex <= HighestKeyIndex; ++keyIndex) {
        for (ScaleForm form : ScaleForms) {
            const std::optional<std::string> name = RecordingName(keyIndex, form);
            if (!name)
                throw std::logic_error("no recording name for key index "
                                       + std::to_string(keyIndex));
            writeFile(folder / *name, ScaleRecordingFile(keyIndex, form));
            names.push_back(*name);
        }
    }
    return names;
}
