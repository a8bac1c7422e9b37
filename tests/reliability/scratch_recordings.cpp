#include "scratch_recordings.h"

#include "minor_keys.h"
#include "recording_names.h"
#include "scale_form.h"

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> AllNames()
{
    std::vector<std::string> names;
    for (std::int32_t keyIndex = LowestKeyIndex; keyIndex <= HighestKeyIndex; ++keyIndex) {
        for (ScaleForm form : ScaleForms)
            names.push_back(*RecordingName(keyIndex, form));
    }
    return names;
}

} // namespace

ScratchRecordings::ScratchRecordings() : m_previous(fs::current_path())
{
    std::random_device random;
    m_folder = fs::temp_directory_path() / ("quarvelo-scratch-" + std::to_string(random()));
    fs::create_directories(m_folder);
    restoreAll();
    fs::current_path(m_folder);
}

ScratchRecordings::~ScratchRecordings()
{
    std::error_code ignored;
    fs::current_path(m_previous, ignored);
    fs::remove_all(m_folder, ignored);
}

std::vector<char> ScratchRecordings::original(const std::string &name)
{
    std::ifstream in(fs::path(QUARVELO_RECORDINGS_DIR) / name, std::ios::binary);
    if (!in)
        throw std::runtime_error("no generated recording " + name);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void ScratchRecordings::restoreAll()
{
    for (const std::string &name : AllNames())
        write(name, original(name));
}

void ScratchRecordings::removeAll()
{
    for (const std::string &name : AllNames())
        remove(name);
}

void ScratchRecordings::remove(const std::string &name)
{
    fs::remove_all(path(name));
}

void ScratchRecordings::write(const std::string &name, const std::vector<char> &bytes)
{
    remove(name);
    std::ofstream out(path(name), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path(name).string());
}
