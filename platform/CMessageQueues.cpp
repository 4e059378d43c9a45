#include "platform/CMessageQueues.h"

#include "platform/CMsgQueue.h"

namespace platform {

CMessageQueues::CMessageQueues(IClock& clock) : _clock(clock) {}

CMessageQueues::~CMessageQueues() {
    // Ends may outlive this object (and the clock after it): close every live queue so that
    // waiting readers and writers wake up and nothing touches the clock any more.
    std::lock_guard lock(_lock);
    for (auto& [name, weak] : _queues) {
        if (auto queue = weak.lock()) {
            queue->close();
        }
    }
    _queues.clear();
}

std::shared_ptr<IMsgQueue> CMessageQueues::open(const std::string& name, const MsgQueueOptions& options) {
    std::lock_guard lock(_lock);
    if (auto it = _queues.find(name); it != _queues.end()) {
        if (auto queue = it->second.lock()) {
            // Another end of the same queue; its size limits are those it was created with.
            return queue;
        }
    }
    // Forget queues whose ends are all gone.
    std::erase_if(_queues, [](const auto& entry) { return entry.second.expired(); });
    auto queue = std::make_shared<CMsgQueue>(name, options, _clock);
    _queues[name] = queue;
    return queue;
}

std::shared_ptr<IMsgQueue> CMessageQueues::find(const std::string& name) {
    std::lock_guard lock(_lock);
    auto it = _queues.find(name);
    if (it == _queues.end()) {
        return nullptr;
    }
    return it->second.lock();
}

}  // namespace platform
