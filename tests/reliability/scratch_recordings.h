// A working directory of its own for one test: copies of the 45 generated recordings that the
// test may damage, remove or replace, made the current directory (the program looks for its
// recordings there by bare name) and removed again afterwards.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

class ScratchRecordings
{
public:
    ScratchRecordings();
    ~ScratchRecordings();
    ScratchRecordings(const ScratchRecordings &) = delete;
    ScratchRecordings &operator=(const ScratchRecordings &) = delete;

    const std::filesystem::path &folder() const { return m_folder; }
    std::filesystem::path path(const std::string &name) const { return m_folder / name; }

    // The generated recording of that name, as the build wrote it.
    static std::vector<char> original(const std::string &name);

    // Puts back every recording, replacing whatever stands under its name.
    void restoreAll();
    void removeAll();
    // Removes whatever stands under the name: file, link, FIFO or folder.
    void remove(const std::string &name);
    void write(const std::string &name, const std::vector<char> &bytes);

private:
    std::filesystem::path m_folder;
    std::filesystem::path m_previous;
};
