#include "child_process.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

std::unique_ptr<ChildProcess> ChildProcess::start(const std::vector<std::string> &command,
                                                  const std::string &workingDirectory,
                                                  const Environment &environment)
{
    std::vector<char *> arguments;
    for (const std::string &argument : command)
        arguments.push_back(const_cast<char *>(argument.c_str()));
    arguments.push_back(nullptr);

    const pid_t pid = fork();
    if (pid == 0) {
        for (const auto &[name, value] : environment) {
            if (value.empty())
                unsetenv(name.c_str());
            else
                setenv(name.c_str(), value.c_str(), 1);
        }
        if (!workingDirectory.empty() && chdir(workingDirectory.c_str()) != 0)
            _exit(126);
        execvp(arguments[0], arguments.data());
        std::perror(arguments[0]);
        _exit(127);
    }
    return std::make_unique<ChildProcess>(pid);
}

ChildProcess::~ChildProcess()
{
    if (m_pid > 0 && !status()) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
}

std::optional<int> ChildProcess::status()
{
    if (!m_status && m_pid > 0) {
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid)
            m_status = status;
    }
    return m_status;
}

std::optional<int> ChildProcess::waitFor(Clock::duration limit)
{
    const auto deadline = Clock::now() + limit;
    while (!status() && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return m_status;
}
