#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/IClock.h"
#include "platform/IMessageQueues.h"

namespace platform {

class CMsgQueue;

// The named message queues of this process. Time-outs are phone milliseconds (the clock's speed
// applies).
class CMessageQueues : public IMessageQueues {
  public:
    explicit CMessageQueues(IClock& clock);
    ~CMessageQueues() override;

    std::shared_ptr<IMsgQueue> open(const std::string& name, const MsgQueueOptions& options) override;
    std::shared_ptr<IMsgQueue> find(const std::string& name) override;

  private:
    IClock& _clock;
    std::mutex _lock;
    std::map<std::string, std::weak_ptr<CMsgQueue>> _queues;
};

}  // namespace platform
