// Turns a hang into a failure: if the watched step has not finished when the limit passes, the
// whole test program ends with a message naming the step, rather than stalling the suite. The
// limit is a bound on a wait, far above what the step needs; nothing about its duration is
// judged.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

class Watchdog
{
public:
    Watchdog(std::string step, std::chrono::seconds limit);
    ~Watchdog();
    Watchdog(const Watchdog &) = delete;
    Watchdog &operator=(const Watchdog &) = delete;

private:
    void watch(std::chrono::seconds limit);

    std::string m_step;
    std::mutex m_mutex;
    std::condition_variable m_finished;
    bool m_done = false;
    std::thread m_thread;
};
