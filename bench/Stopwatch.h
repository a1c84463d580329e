#pragma once

#include <chrono>
#include <ctime>

namespace kelm {

// Wall-clock time and the calling thread's processor time (user and system, page faults
// included) since it was started. The screens fill and paint on one thread, so its processor
// time is what a fill costs even when other programs share the processors.
class Stopwatch
{
public:
    struct Reading
    {
        double wall = 0;
        double cpu = 0;
    };

    Stopwatch() { restart(); }

    void restart()
    {
        m_wall = std::chrono::steady_clock::now();
        m_cpu = threadSeconds();
    }
    Reading elapsed() const
    {
        return {std::chrono::duration<double>(std::chrono::steady_clock::now() - m_wall).count(),
                threadSeconds() - m_cpu};
    }

private:
    static double threadSeconds()
    {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
    }

    std::chrono::steady_clock::time_point m_wall;
    double m_cpu = 0;
};

} // namespace kelm
