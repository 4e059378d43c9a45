#include "platform/linux/CLinuxSoundSettings.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace platform::lnx {

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kWaveMax = 0xFFFF;
// How long the constructor's first connection may take.
constexpr int kProbeTimeoutMs = 1000;
// How often a wait looks at the server's answer.
constexpr auto kPoll = std::chrono::milliseconds(2);

const char* const kServerName = "sound server (PulseAudio or PipeWire's pulse service)";

bool isLeft(int p) {
    return p == PA_CHANNEL_POSITION_FRONT_LEFT || p == PA_CHANNEL_POSITION_REAR_LEFT ||
           p == PA_CHANNEL_POSITION_SIDE_LEFT || p == PA_CHANNEL_POSITION_FRONT_LEFT_OF_CENTER ||
           p == PA_CHANNEL_POSITION_TOP_FRONT_LEFT || p == PA_CHANNEL_POSITION_TOP_REAR_LEFT;
}

bool isRight(int p) {
    return p == PA_CHANNEL_POSITION_FRONT_RIGHT || p == PA_CHANNEL_POSITION_REAR_RIGHT ||
           p == PA_CHANNEL_POSITION_SIDE_RIGHT || p == PA_CHANNEL_POSITION_FRONT_RIGHT_OF_CENTER ||
           p == PA_CHANNEL_POSITION_TOP_FRONT_RIGHT || p == PA_CHANNEL_POSITION_TOP_REAR_RIGHT;
}

uint32_t toSink(uint32_t wave) {
    return static_cast<uint32_t>((static_cast<uint64_t>(wave) * PA_VOLUME_NORM + kWaveMax / 2) / kWaveMax);
}

uint32_t toWave(uint64_t sink) {
    return static_cast<uint32_t>(
        std::min<uint64_t>(kWaveMax, (sink * kWaveMax + PA_VOLUME_NORM / 2) / PA_VOLUME_NORM));
}

// Holds the main loop's lock for a scope.
class LoopLock {
  public:
    explicit LoopLock(pa_threaded_mainloop* loop) : _loop(loop) { pa_threaded_mainloop_lock(_loop); }
    ~LoopLock() { pa_threaded_mainloop_unlock(_loop); }
    LoopLock(const LoopLock&) = delete;
    LoopLock& operator=(const LoopLock&) = delete;

  private:
    pa_threaded_mainloop* _loop;
};

struct ServerAnswer {
    std::string sink;
};

struct SinkState {
    bool found = false;
    std::string name;
    std::vector<uint32_t> volumes;
    std::vector<int> positions;
    bool muted = false;
};

struct Outcome {
    bool success = false;
};

}  // namespace

struct CLinuxSoundSettings::Impl {
    explicit Impl(int timeout) : timeoutMs(timeout), loop(pa_threaded_mainloop_new()) {
        if (loop && pa_threaded_mainloop_start(loop) < 0) {
            pa_threaded_mainloop_free(loop);
            loop = nullptr;
        }
    }
    ~Impl() {
        if (!loop) {
            return;
        }
        {
            LoopLock lock(loop);
            dropContext();
        }
        pa_threaded_mainloop_stop(loop);
        pa_threaded_mainloop_free(loop);
    }
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    // With the loop locked.
    void dropContext() {
        if (context) {
            pa_context_set_state_callback(context, nullptr, nullptr);
            pa_context_disconnect(context);
            pa_context_unref(context);
            context = nullptr;
        }
    }

    // With the loop locked: lets the loop run until `done` or the deadline.
    template <typename Pred>
    bool waitUntil(Pred done, Clock::time_point deadline) {
        while (!done()) {
            if (Clock::now() >= deadline) {
                return false;
            }
            pa_threaded_mainloop_unlock(loop);
            std::this_thread::sleep_for(kPoll);
            pa_threaded_mainloop_lock(loop);
        }
        return true;
    }

    // With the loop locked: a ready connection, made anew when there is none. Empty on success.
    std::string connect(Clock::time_point deadline) {
        if (!loop) {
            return "the sound library's main loop did not start";
        }
        if (context && pa_context_get_state(context) == PA_CONTEXT_READY) {
            return {};
        }
        dropContext();
        context = pa_context_new(pa_threaded_mainloop_get_api(loop), "Zentrova");
        if (!context) {
            return "the sound library cannot make a connection";
        }
        if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            std::string why = pa_strerror(pa_context_errno(context));
            dropContext();
            return why;
        }
        bool settled = waitUntil(
            [&] {
                pa_context_state_t s = pa_context_get_state(context);
                return s == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(s);
            },
            deadline);
        if (!settled) {
            dropContext();
            return "no answer in time";
        }
        if (pa_context_get_state(context) != PA_CONTEXT_READY) {
            std::string why = pa_strerror(pa_context_errno(context));
            dropContext();
            return why;
        }
        return {};
    }

    // With the loop locked: waits for an operation; false when it did not end in time.
    bool finish(pa_operation* op, Clock::time_point deadline) {
        if (!op) {
            return false;
        }
        bool ended = waitUntil([&] { return pa_operation_get_state(op) != PA_OPERATION_RUNNING; }, deadline);
        if (!ended) {
            pa_operation_cancel(op);  // its callback is not called any more
        }
        pa_operation_unref(op);
        return ended;
    }

    // With the loop locked: the default sink. ERROR_SUCCESS, ERROR_TIMEOUT or `failure`.
    Result defaultSink(SinkState& sink, Clock::time_point deadline, Result failure) {
        std::string why = connect(deadline);
        if (!why.empty()) {
            setReason(why);
            return Clock::now() >= deadline ? ERROR_TIMEOUT : failure;
        }
        setReason({});
        ServerAnswer server;
        if (!finish(pa_context_get_server_info(context, &onServerInfo, &server), deadline)) {
            return lost(deadline, failure);
        }
        if (server.sink.empty()) {
            setReason("the server has no default sink");
            return failure;
        }
        if (!finish(pa_context_get_sink_info_by_name(context, server.sink.c_str(), &onSinkInfo, &sink),
                    deadline)) {
            return lost(deadline, failure);
        }
        if (!sink.found) {
            setReason("the default sink " + server.sink + " is gone");
            return failure;
        }
        return ERROR_SUCCESS;
    }

    // With the loop locked: the result of a request that did not complete.
    Result lost(Clock::time_point deadline, Result failure) {
        if (Clock::now() >= deadline) {
            // A server that stops answering gets a new connection at the next request.
            dropContext();
            return ERROR_TIMEOUT;
        }
        setReason(context ? pa_strerror(pa_context_errno(context)) : "the connection closed");
        return failure;
    }

    // With the loop locked: waits for a request that answers success or failure.
    Result confirm(pa_operation* op, Clock::time_point deadline, Outcome& outcome, Result failure) {
        if (!finish(op, deadline)) {
            return lost(deadline, failure);
        }
        return outcome.success ? ERROR_SUCCESS : failure;
    }

    static void onServerInfo(pa_context*, const pa_server_info* info, void* user) {
        auto* answer = static_cast<ServerAnswer*>(user);
        if (info && info->default_sink_name) {
            answer->sink = info->default_sink_name;
        }
    }
    static void onSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* user) {
        auto* sink = static_cast<SinkState*>(user);
        if (eol != 0 || !info) {
            return;
        }
        sink->found = true;
        sink->name = info->name ? info->name : "";
        sink->muted = info->mute != 0;
        sink->volumes.clear();
        sink->positions.clear();
        for (uint8_t c = 0; c < info->volume.channels && c < PA_CHANNELS_MAX; ++c) {
            sink->volumes.push_back(info->volume.values[c]);
            sink->positions.push_back(c < info->channel_map.channels ? info->channel_map.map[c]
                                                                     : PA_CHANNEL_POSITION_MONO);
        }
    }
    static void onSuccess(pa_context*, int success, void* user) {
        static_cast<Outcome*>(user)->success = success != 0;
    }

    Clock::time_point deadline() const { return Clock::now() + std::chrono::milliseconds(timeoutMs); }

    void setReason(const std::string& why) {
        std::lock_guard lock(reasonLock);
        reason = why.empty() ? std::string() : std::string(kServerName) + " not available: " + why;
    }

    int timeoutMs;
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;  // guarded by the loop's lock
    std::mutex requestLock;         // one request at a time
    mutable std::mutex reasonLock;
    std::string reason;
};

CLinuxSoundSettings::CLinuxSoundSettings(IRegistry& registry, int timeoutMs)
    : _impl(std::make_unique<Impl>(timeoutMs)), _registry(registry) {
    if (!_impl->loop) {
        _impl->setReason("the sound library's main loop did not start");
        return;
    }
    std::lock_guard request(_impl->requestLock);
    LoopLock lock(_impl->loop);
    _impl->setReason(
        _impl->connect(Clock::now() + std::chrono::milliseconds(std::min(timeoutMs, kProbeTimeoutMs))));
}

CLinuxSoundSettings::~CLinuxSoundSettings() = default;

std::string CLinuxSoundSettings::unavailableReason() const {
    std::lock_guard lock(_impl->reasonLock);
    return _impl->reason;
}

std::vector<uint32_t> CLinuxSoundSettings::sinkVolumes(uint32_t wave, const std::vector<int>& positions) {
    const uint32_t left = wave & kWaveMax;
    // A single level (nothing in the high word) is the volume of every channel.
    const uint32_t right = (wave >> 16) == 0 ? left : wave >> 16;
    std::vector<uint32_t> out;
    for (int p : positions) {
        out.push_back(toSink(isLeft(p) ? left : isRight(p) ? right : (left + right + 1) / 2));
    }
    return out;
}

uint32_t CLinuxSoundSettings::waveVolume(const std::vector<uint32_t>& volumes,
                                         const std::vector<int>& positions) {
    uint64_t left = 0, right = 0, all = 0;
    size_t lefts = 0, rights = 0;
    for (size_t i = 0; i < volumes.size() && i < positions.size(); ++i) {
        all += volumes[i];
        if (isLeft(positions[i])) {
            left += volumes[i];
            ++lefts;
        } else if (isRight(positions[i])) {
            right += volumes[i];
            ++rights;
        }
    }
    const size_t n = std::min(volumes.size(), positions.size());
    if (n == 0) {
        return 0;
    }
    // A side without channels of its own (a mono sink) reads as the mean of them all.
    uint32_t l = toWave(lefts ? (left + lefts / 2) / lefts : (all + n / 2) / n);
    uint32_t r = toWave(rights ? (right + rights / 2) / rights : (all + n / 2) / n);
    return l | (r << 16);
}

uint32_t CLinuxSoundSettings::profileOf(bool muted, uint32_t stored) {
    if (muted) {
        return stored == SND_SOUNDTYPE_VIBRATE ? SND_SOUNDTYPE_VIBRATE : SND_SOUNDTYPE_NONE;
    }
    return stored == SND_SOUNDTYPE_FILE ? SND_SOUNDTYPE_FILE : SND_SOUNDTYPE_ON;
}

Result CLinuxSoundSettings::getSound(uint32_t event, SoundFileInfo& info) {
    info = SoundFileInfo{};
    if (event != SND_EVENT_ALL) {
        return ERROR_INVALID_PARAMETER;
    }
    SinkState sink;
    {
        std::lock_guard request(_impl->requestLock);
        if (!_impl->loop) {
            return ERROR_READ_FAULT;
        }
        LoopLock lock(_impl->loop);
        if (Result r = _impl->defaultSink(sink, _impl->deadline(), ERROR_READ_FAULT); r != ERROR_SUCCESS) {
            return r;
        }
    }
    uint32_t stored = SND_SOUNDTYPE_ON;
    std::string file;
    _registry.getDword(RegRoot::CurrentUser, kProfileKey, "Type", stored);
    _registry.getString(RegRoot::CurrentUser, kProfileKey, "File", file);
    info.soundType = profileOf(sink.muted, stored);
    if (info.soundType == SND_SOUNDTYPE_FILE) {
        info.fileName = file;
    }
    return ERROR_SUCCESS;
}

Result CLinuxSoundSettings::setSound(uint32_t event, const SoundFileInfo& info, bool /*suppressUi*/) {
    // The server shows nothing of its own when the mute changes: suppressing it changes nothing.
    if (event != SND_EVENT_ALL || info.soundType > SND_SOUNDTYPE_NONE ||
        (info.soundType == SND_SOUNDTYPE_FILE && info.fileName.empty())) {
        return ERROR_INVALID_PARAMETER;
    }
    const bool mute = info.soundType == SND_SOUNDTYPE_VIBRATE || info.soundType == SND_SOUNDTYPE_NONE;
    {
        std::lock_guard request(_impl->requestLock);
        if (!_impl->loop) {
            return ERROR_WRITE_FAULT;
        }
        LoopLock lock(_impl->loop);
        auto deadline = _impl->deadline();
        SinkState sink;
        if (Result r = _impl->defaultSink(sink, deadline, ERROR_WRITE_FAULT); r != ERROR_SUCCESS) {
            return r;
        }
        Outcome outcome;
        pa_operation* op = pa_context_set_sink_mute_by_name(_impl->context, sink.name.c_str(), mute ? 1 : 0,
                                                            &Impl::onSuccess, &outcome);
        if (Result r = _impl->confirm(op, deadline, outcome, ERROR_WRITE_FAULT); r != ERROR_SUCCESS) {
            return r;
        }
    }
    Result r = _registry.setDword(RegRoot::CurrentUser, kProfileKey, "Type", info.soundType);
    if (r == ERROR_SUCCESS) {
        r = _registry.setString(RegRoot::CurrentUser, kProfileKey, "File",
                                info.soundType == SND_SOUNDTYPE_FILE ? info.fileName : std::string());
    }
    return r;
}

Result CLinuxSoundSettings::setWaveVolume(uint32_t volume) {
    std::lock_guard request(_impl->requestLock);
    if (!_impl->loop) {
        return ERROR_WRITE_FAULT;
    }
    LoopLock lock(_impl->loop);
    auto deadline = _impl->deadline();
    SinkState sink;
    if (Result r = _impl->defaultSink(sink, deadline, ERROR_WRITE_FAULT); r != ERROR_SUCCESS) {
        return r;
    }
    std::vector<uint32_t> volumes = sinkVolumes(volume, sink.positions);
    pa_cvolume cv;
    pa_cvolume_init(&cv);
    cv.channels = static_cast<uint8_t>(volumes.size());
    for (size_t i = 0; i < volumes.size(); ++i) {
        cv.values[i] = volumes[i];
    }
    Outcome outcome;
    pa_operation* op = pa_context_set_sink_volume_by_name(_impl->context, sink.name.c_str(), &cv,
                                                          &Impl::onSuccess, &outcome);
    return _impl->confirm(op, deadline, outcome, ERROR_WRITE_FAULT);
}

Result CLinuxSoundSettings::getWaveVolume(uint32_t& volume) {
    volume = 0;
    std::lock_guard request(_impl->requestLock);
    if (!_impl->loop) {
        return ERROR_READ_FAULT;
    }
    LoopLock lock(_impl->loop);
    SinkState sink;
    if (Result r = _impl->defaultSink(sink, _impl->deadline(), ERROR_READ_FAULT); r != ERROR_SUCCESS) {
        return r;
    }
    volume = waveVolume(sink.volumes, sink.positions);
    return ERROR_SUCCESS;
}

}  // namespace platform::lnx
