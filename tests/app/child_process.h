// A process started by a whole-program test, stopped if it is still running when the test is
// done with it, so that a failed run leaves nothing behind.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

class ChildProcess
{
public:
    using Clock = std::chrono::steady_clock;
    using Environment = std::vector<std::pair<std::string, std::string>>;

    // Runs command[0] with the rest as its arguments, in workingDirectory when it is not empty,
    // with the test's environment plus (or replaced by) the given variables; a variable given
    // an empty value is removed.
    static std::unique_ptr<ChildProcess> start(const std::vector<std::string> &command,
                                               const std::string &workingDirectory = {},
                                               const Environment &environment = {});

    explicit ChildProcess(pid_t pid) : m_pid(pid) { }
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    pid_t pid() const { return m_pid; }

    // The wait status once the process has ended, without waiting for it.
    std::optional<int> status();
    // Waits at most that long for the process to end.
    std::optional<int> waitFor(Clock::duration limit);

private:
    pid_t m_pid;
    std::optional<int> m_status;
};
