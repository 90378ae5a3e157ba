// What it costs this machine only to sleep and wake: a process that does nothing but wait on a
// condition variable with a deadline, as the savers' animation thread waits between steps, RATE
// times a second for SECONDS. Measured from outside, its CPU is the floor under any program
// that wakes as often.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>

int main(int argc, char** argv) {
    const double rate = argc == 3 ? std::atof(argv[1]) : 0;
    const double seconds = argc == 3 ? std::atof(argv[2]) : 0;
    if (rate <= 0 || rate > 100000 || seconds <= 0) {
        std::fprintf(stderr, "usage: wake-floor RATE SECONDS (wakes a second, wall time)\n");
        return 2;
    }
    using Clock = std::chrono::steady_clock;
    const auto period =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / rate));
    const auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                        std::chrono::duration<double>(seconds));
    std::mutex lock;
    std::condition_variable never;
    std::unique_lock held(lock);
    // Deadlines one period apart, so that the rate holds however late each wake comes.
    for (auto next = Clock::now() + period; next < end; next += period)
        never.wait_until(held, next, [] { return false; });
    return 0;
}
