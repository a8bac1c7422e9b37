#include "watchdog.h"

#include <cstdio>
#include <cstdlib>

Watchdog::Watchdog(std::string step, std::chrono::seconds limit)
    : m_step(std::move(step)), m_thread(&Watchdog::watch, this, limit)
{ }

Watchdog::~Watchdog()
{
    {
        std::lock_guard lock(m_mutex);
        m_done = true;
    }
    m_finished.notify_all();
    m_thread.join();
}

void Watchdog::watch(std::chrono::seconds limit)
{
    std::unique_lock lock(m_mutex);
    if (m_finished.wait_for(lock, limit, [this] { return m_done; }))
        return;
    std::fprintf(stderr, "FAILED: \"%s\" still had not finished after %lld s: the program hangs\n",
                 m_step.c_str(), static_cast<long long>(limit.count()));
    std::fflush(stderr);
    std::_Exit(EXIT_FAILURE);
}
