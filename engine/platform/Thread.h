#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

namespace platform {

// A thread with a message queue of its own. The queue exists before `start` returns, so a
// message posted to `id()` at once is never lost.
class Thread {
  public:
    Thread() = default;
    ~Thread() { join(); }
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Starts `body`; false if a thread is already running here or none could be created.
    bool start(std::function<void()> body);
    void join();

    uint32_t id() const { return threadId; }
    bool isRunning() const { return running && running->load(); }

  private:
    std::thread thread;
    uint32_t threadId = 0;
    std::shared_ptr<std::atomic<bool>> running;
};

}  // namespace platform
