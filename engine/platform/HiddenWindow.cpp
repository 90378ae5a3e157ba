#include "engine/platform/HiddenWindow.h"

#include <map>
#include <mutex>

#include "engine/platform/MessageQueue.h"

namespace platform {
namespace {

struct WindowEntry {
    std::string className;
    HiddenWindow::Procedure procedure = nullptr;
    uint32_t ownerThread = 0;
};

std::mutex registryMutex;
std::map<std::string, HiddenWindow::Procedure> classes;
std::map<uint32_t, WindowEntry> windows;
uint32_t nextWindow = 1;

}  // namespace

bool HiddenWindow::registerClass(const std::string& className, Procedure procedure) {
    if (!procedure) return false;
    std::lock_guard lock(registryMutex);
    return classes.emplace(className, procedure).second;
}

bool HiddenWindow::unregisterClass(const std::string& className) {
    std::lock_guard lock(registryMutex);
    for (const auto& [handle, entry] : windows) {
        if (entry.className == className) return false;
    }
    return classes.erase(className) == 1;
}

uint32_t HiddenWindow::create(const std::string& className) {
    MessageQueue::forCurrentThread();
    std::lock_guard lock(registryMutex);
    auto found = classes.find(className);
    if (found == classes.end()) return 0;
    uint32_t handle = nextWindow++;
    windows[handle] = {className, found->second, MessageQueue::currentThreadId()};
    return handle;
}

bool HiddenWindow::destroy(uint32_t window) {
    std::lock_guard lock(registryMutex);
    auto found = windows.find(window);
    if (found == windows.end() || found->second.ownerThread != MessageQueue::currentThreadId()) {
        return false;
    }
    windows.erase(found);
    return true;
}

bool HiddenWindow::post(uint32_t window, uint32_t id, uint64_t wParam, int64_t lParam) {
    uint32_t owner = 0;
    {
        std::lock_guard lock(registryMutex);
        auto found = windows.find(window);
        if (found == windows.end()) return false;
        owner = found->second.ownerThread;
    }
    Message message;
    message.id = id;
    message.wParam = wParam;
    message.lParam = lParam;
    message.window = window;
    return MessageQueue::post(owner, message);
}

int64_t HiddenWindow::dispatch(const Message& message) {
    Procedure procedure = nullptr;
    {
        std::lock_guard lock(registryMutex);
        auto found = windows.find(message.window);
        if (found == windows.end()) return 0;
        procedure = found->second.procedure;
    }
    return procedure(message.window, message.id, message.wParam, message.lParam);
}

}  // namespace platform
