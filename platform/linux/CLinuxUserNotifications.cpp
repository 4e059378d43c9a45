#include "platform/linux/CLinuxUserNotifications.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>
#include <thread>

#include "platform/SystemTimeMillis.h"

extern char** environ;

// The D-Bus shapes of the service manager's transient-unit calls, as plain structures.
namespace platform::lnx::systemd_bus {

// (sv): one property of a unit.
struct Property {
    QString name;
    QDBusVariant value;
};
// (sa(sv)): an auxiliary unit started with the main one.
struct AuxUnit {
    QString name;
    QList<Property> properties;
};
// (ss) and (st): one timer setting (OnCalendar, OnActiveSec) with its value.
struct CalendarTimer {
    QString base;
    QString expression;
};
struct MonotonicTimer {
    QString base;
    qulonglong usec = 0;
};
// (sasb): one command line of ExecStart.
struct ExecCommand {
    QString path;
    QStringList argv;
    bool ignoreFailure = false;
};

QDBusArgument& operator<<(QDBusArgument& a, const Property& p) {
    a.beginStructure();
    a << p.name << p.value;
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, Property& p) {
    a.beginStructure();
    a >> p.name >> p.value;
    a.endStructure();
    return a;
}
QDBusArgument& operator<<(QDBusArgument& a, const AuxUnit& u) {
    a.beginStructure();
    a << u.name << u.properties;
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, AuxUnit& u) {
    a.beginStructure();
    a >> u.name >> u.properties;
    a.endStructure();
    return a;
}
QDBusArgument& operator<<(QDBusArgument& a, const CalendarTimer& t) {
    a.beginStructure();
    a << t.base << t.expression;
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, CalendarTimer& t) {
    a.beginStructure();
    a >> t.base >> t.expression;
    a.endStructure();
    return a;
}
QDBusArgument& operator<<(QDBusArgument& a, const MonotonicTimer& t) {
    a.beginStructure();
    a << t.base << t.usec;
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, MonotonicTimer& t) {
    a.beginStructure();
    a >> t.base >> t.usec;
    a.endStructure();
    return a;
}
QDBusArgument& operator<<(QDBusArgument& a, const ExecCommand& c) {
    a.beginStructure();
    a << c.path << c.argv << c.ignoreFailure;
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, ExecCommand& c) {
    a.beginStructure();
    a >> c.path >> c.argv >> c.ignoreFailure;
    a.endStructure();
    return a;
}

}  // namespace platform::lnx::systemd_bus

Q_DECLARE_METATYPE(platform::lnx::systemd_bus::Property)
Q_DECLARE_METATYPE(platform::lnx::systemd_bus::AuxUnit)
Q_DECLARE_METATYPE(platform::lnx::systemd_bus::CalendarTimer)
Q_DECLARE_METATYPE(platform::lnx::systemd_bus::MonotonicTimer)
Q_DECLARE_METATYPE(platform::lnx::systemd_bus::ExecCommand)

namespace platform::lnx {

namespace {

using namespace systemd_bus;

const QString kPath = QStringLiteral("/org/freedesktop/systemd1");
const QString kManager = QStringLiteral("org.freedesktop.systemd1.Manager");
const QString kUnit = QStringLiteral("org.freedesktop.systemd1.Unit");
const char* const kNoSuchUnit = "org.freedesktop.systemd1.NoSuchUnit";
const char* const kUnitExists = "org.freedesktop.systemd1.UnitExists";
const char* const kUnknownMethod = "org.freedesktop.DBus.Error.UnknownMethod";
constexpr int kProbeTimeoutMs = 1000;
// How many handles a new trigger tries when the manager already has units of those names
// (another home of the same user may use them).
constexpr int kNameAttempts = 16;
// How long a new timer is watched for the manager refusing it (a wake-up it may not arm).
constexpr auto kSettleTime = std::chrono::milliseconds(1000);
constexpr auto kSettlePoll = std::chrono::milliseconds(20);
// A clock this close to the system's local time is the system clock: timers may then follow
// the calendar, which also holds across a suspend.
constexpr int64_t kSameClockMs = 2000;

void registerTypes() {
    static std::once_flag once;
    std::call_once(once, [] {
        qDBusRegisterMetaType<Property>();
        qDBusRegisterMetaType<QList<Property>>();
        qDBusRegisterMetaType<AuxUnit>();
        qDBusRegisterMetaType<QList<AuxUnit>>();
        qDBusRegisterMetaType<CalendarTimer>();
        qDBusRegisterMetaType<QList<CalendarTimer>>();
        qDBusRegisterMetaType<MonotonicTimer>();
        qDBusRegisterMetaType<QList<MonotonicTimer>>();
        qDBusRegisterMetaType<ExecCommand>();
        qDBusRegisterMetaType<QList<ExecCommand>>();
    });
}

template <typename T>
Property property(const char* name, const T& value) {
    return {QString::fromLatin1(name), QDBusVariant(QVariant::fromValue(value))};
}

std::string errorText(const QDBusMessage& reply) {
    return reply.errorName().toStdString() + ": " + reply.errorMessage().toStdString();
}

// A SYSTEMTIME stored as its eight fields, two bytes each, low byte first.
std::vector<uint8_t> packTime(const SYSTEMTIME& t) {
    const uint16_t fields[] = {t.wYear, t.wMonth,  t.wDayOfWeek, t.wDay,
                               t.wHour, t.wMinute, t.wSecond,    t.wMilliseconds};
    std::vector<uint8_t> out;
    for (uint16_t f : fields) {
        out.push_back(static_cast<uint8_t>(f & 0xFF));
        out.push_back(static_cast<uint8_t>(f >> 8));
    }
    return out;
}

bool unpackTime(const std::vector<uint8_t>& data, SYSTEMTIME& t) {
    if (data.size() != 16) {
        return false;
    }
    uint16_t* fields[] = {&t.wYear, &t.wMonth,  &t.wDayOfWeek, &t.wDay,
                          &t.wHour, &t.wMinute, &t.wSecond,    &t.wMilliseconds};
    for (size_t i = 0; i < 8; ++i) {
        *fields[i] = static_cast<uint16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    }
    return true;
}

// The system's own local time now, in the clock's units.
int64_t systemLocalMillis() {
    auto now = std::chrono::system_clock::now();
    std::time_t secs = std::chrono::system_clock::to_time_t(now);
    struct tm local {};
    localtime_r(&secs, &local);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    return (static_cast<int64_t>(timegm(&local)) * 1000) + ms;
}

// The program's own settings for the started program: the ZENTROVA_ variables of this process
// (its home, its backend), and the linux backend when none is named.
QStringList programEnvironment() {
    QStringList env;
    bool backend = false;
    for (char** e = environ; e && *e; ++e) {
        if (std::strncmp(*e, "ZENTROVA_", 9) == 0) {
            env << QString::fromLocal8Bit(*e);
            backend = backend || std::strncmp(*e, "ZENTROVA_BACKEND=", 17) == 0;
        }
    }
    if (!backend) {
        env << QStringLiteral("ZENTROVA_BACKEND=linux");
    }
    return env;
}

// An error of the bus rather than of the manager: nobody answered for the service.
bool isUnreachable(const QDBusMessage& reply) {
    const QString name = reply.errorName();
    return name.startsWith(QLatin1String("org.freedesktop.DBus.Error.Spawn.")) ||
           name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
           name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner") ||
           name == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
           name == QLatin1String("org.freedesktop.DBus.Error.Timeout") ||
           name == QLatin1String("org.freedesktop.DBus.Error.TimedOut") ||
           name == QLatin1String("org.freedesktop.DBus.Error.NoServer") ||
           name == QLatin1String("org.freedesktop.DBus.Error.Disconnected");
}

std::string entryKey(uint32_t handle) {
    return std::string(CLinuxUserNotifications::kIndexKey) + "\\" + std::to_string(handle);
}

}  // namespace

CLinuxUserNotifications::CLinuxUserNotifications(CDBusThread& bus, IRegistry& registry, IClock& clock)
    : _bus(bus), _registry(registry), _clock(clock) {
    registerTypes();
    QDBusMessage reply =
        _bus.call(CDBusThread::Bus::Session, kService, kPath, QStringLiteral("org.freedesktop.DBus.Peer"),
                  QStringLiteral("Ping"), {}, kProbeTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        _unavailable = std::string("systemd user manager (") + kService +
                       " on the session bus) not available: " + errorText(reply);
    }
}

std::string CLinuxUserNotifications::unavailableReason() const {
    std::lock_guard lock(_reasonLock);
    return _unavailable;
}

std::string CLinuxUserNotifications::unitName(uint32_t handle, const char* suffix) {
    return kUnitPrefix + std::to_string(handle) + suffix;
}

std::optional<uint32_t> CLinuxUserNotifications::handleOfUnit(const std::string& unit) {
    const std::string prefix = kUnitPrefix;
    const std::string suffix = ".timer";
    if (unit.size() <= prefix.size() + suffix.size() || unit.compare(0, prefix.size(), prefix) != 0 ||
        unit.compare(unit.size() - suffix.size(), suffix.size(), suffix) != 0) {
        return std::nullopt;
    }
    std::string digits = unit.substr(prefix.size(), unit.size() - prefix.size() - suffix.size());
    if (digits.size() > 10 || (digits.size() > 1 && digits[0] == '0') ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    uint64_t value = std::stoull(digits);
    if (value == 0 || value > UINT32_MAX) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}

int64_t CLinuxUserNotifications::localMillisOf(const SYSTEMTIME& t) {
    return SystemTimeToMillis(t);
}

std::string CLinuxUserNotifications::calendarText(const SYSTEMTIME& time) {
    int64_t ms = localMillisOf(time);
    std::time_t secs = static_cast<std::time_t>((ms + 999) / 1000);
    struct tm tm {};
    gmtime_r(&secs, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    return text;
}

QDBusMessage CLinuxUserNotifications::manager(const QString& member, const QList<QVariant>& arguments,
                                              int timeoutMs) {
    QDBusMessage reply =
        _bus.call(CDBusThread::Bus::Session, kService, kPath, kManager, member, arguments, timeoutMs);
    std::lock_guard lock(_reasonLock);
    if (reply.type() != QDBusMessage::ErrorMessage) {
        _unavailable.clear();
    } else if (isUnreachable(reply)) {
        _unavailable = std::string("systemd user manager (") + kService +
                       " on the session bus) not available: " + errorText(reply);
    }
    return reply;
}

std::optional<std::set<std::string>> CLinuxUserNotifications::pendingTimers() {
    QDBusMessage reply = manager(QStringLiteral("ListUnitsByPatterns"),
                                 {QStringList{}, QStringList{QString::fromLatin1(kUnitPrefix) + "*.timer"}});
    if (reply.type() == QDBusMessage::ErrorMessage && reply.errorName() == QLatin1String(kUnknownMethod)) {
        // Managers before the pattern listing: every unit, ours picked out below.
        reply = manager(QStringLiteral("ListUnits"));
    }
    if (reply.type() == QDBusMessage::ErrorMessage || reply.arguments().isEmpty()) {
        return std::nullopt;
    }
    std::set<std::string> timers;
    const QDBusArgument list = reply.arguments().at(0).value<QDBusArgument>();
    list.beginArray();
    while (!list.atEnd()) {
        QString name, description, load, active, sub, following, jobType;
        QDBusObjectPath path, jobPath;
        uint jobId = 0;
        list.beginStructure();
        list >> name >> description >> load >> active >> sub >> following >> path >> jobId >> jobType >>
            jobPath;
        list.endStructure();
        // A failed or stopped timer will not fire any more: it is not pending.
        if (handleOfUnit(name.toStdString()) && active != QLatin1String("failed") &&
            active != QLatin1String("inactive")) {
            timers.insert(name.toStdString());
        }
    }
    list.endArray();
    return timers;
}

bool CLinuxUserNotifications::readEntry(uint32_t handle, UserNotificationTrigger& out) {
    const std::string key = entryKey(handle);
    UserNotificationTrigger t;
    std::vector<uint8_t> start, end;
    if (_registry.getDword(RegRoot::CurrentUser, key, "Type", t.type) != ERROR_SUCCESS ||
        _registry.getDword(RegRoot::CurrentUser, key, "Event", t.event) != ERROR_SUCCESS ||
        _registry.getString(RegRoot::CurrentUser, key, "Application", t.application) != ERROR_SUCCESS ||
        _registry.getString(RegRoot::CurrentUser, key, "Arguments", t.arguments) != ERROR_SUCCESS ||
        _registry.getBinary(RegRoot::CurrentUser, key, "Start", start) != ERROR_SUCCESS ||
        _registry.getBinary(RegRoot::CurrentUser, key, "End", end) != ERROR_SUCCESS ||
        !unpackTime(start, t.start) || !unpackTime(end, t.end)) {
        return false;
    }
    out = std::move(t);
    return true;
}

bool CLinuxUserNotifications::writeEntry(uint32_t handle, const UserNotificationTrigger& t) {
    const std::string key = entryKey(handle);
    bool ok = _registry.setDword(RegRoot::CurrentUser, key, "Type", t.type) == ERROR_SUCCESS &&
              _registry.setDword(RegRoot::CurrentUser, key, "Event", t.event) == ERROR_SUCCESS &&
              _registry.setString(RegRoot::CurrentUser, key, "Application", t.application) == ERROR_SUCCESS &&
              _registry.setString(RegRoot::CurrentUser, key, "Arguments", t.arguments) == ERROR_SUCCESS &&
              _registry.setBinary(RegRoot::CurrentUser, key, "Start", packTime(t.start)) == ERROR_SUCCESS &&
              _registry.setBinary(RegRoot::CurrentUser, key, "End", packTime(t.end)) == ERROR_SUCCESS;
    if (!ok) {
        _registry.deleteKey(RegRoot::CurrentUser, key);
    }
    return ok;
}

void CLinuxUserNotifications::dropEntry(uint32_t handle) {
    _registry.deleteKey(RegRoot::CurrentUser, entryKey(handle));
}

uint32_t CLinuxUserNotifications::nextHandle() {
    uint32_t next = 1;
    _registry.getDword(RegRoot::CurrentUser, kIndexKey, "Next", next);
    if (next == 0) {
        next = 1;  // the counter wrapped around: 0 is no handle
    }
    while (_registry.keyExists(RegRoot::CurrentUser, entryKey(next))) {
        next = next == UINT32_MAX ? 1 : next + 1;
    }
    _registry.setDword(RegRoot::CurrentUser, kIndexKey, "Next", next == UINT32_MAX ? 1 : next + 1);
    return next;
}

std::map<uint32_t, UserNotificationTrigger> CLinuxUserNotifications::entries() {
    std::map<uint32_t, UserNotificationTrigger> out;
    std::vector<std::string> keys;
    if (_registry.enumSubKeys(RegRoot::CurrentUser, kIndexKey, keys) != ERROR_SUCCESS) {
        return out;
    }
    std::optional<std::set<std::string>> pending = pendingTimers();
    for (const std::string& key : keys) {
        std::optional<uint32_t> handle = handleOfUnit(kUnitPrefix + key + ".timer");
        if (!handle) {
            continue;
        }
        UserNotificationTrigger t;
        if (!readEntry(*handle, t)) {
            continue;
        }
        if (pending && !pending->count(unitName(*handle, ".timer"))) {
            dropEntry(*handle);  // it fired, or was stopped outside the program
            continue;
        }
        out.emplace(*handle, std::move(t));
    }
    return out;
}

std::string CLinuxUserNotifications::startUnits(uint32_t handle, const UserNotificationTrigger& trigger,
                                                bool wake, std::string& errorName) {
    const QString timer = QString::fromStdString(unitName(handle, ".timer"));
    const QString service = QString::fromStdString(unitName(handle, ".service"));
    const QString description = QStringLiteral("Zentrova wake-up %1").arg(handle);

    QList<Property> timerProps;
    timerProps << property("Description", description);
    const int64_t now = _clock.localMillis();
    const int64_t due = localMillisOf(trigger.start) - now;
    const bool systemClock = _clock.speed() == 1.0 && std::llabs(now - systemLocalMillis()) < kSameClockMs;
    if (due > 0 && systemClock) {
        timerProps << property("OnCalendar",
                               QList<CalendarTimer>{{QStringLiteral("OnCalendar"),
                                                     QString::fromStdString(calendarText(trigger.start))}});
    } else {
        // Due already, or a clock of its own: so long from now in real time (at least a moment,
        // as a zero would arm nothing).
        auto wait = due > 0 ? _clock.realDuration(static_cast<uint32_t>(std::min<int64_t>(due, UINT32_MAX)))
                            : std::chrono::nanoseconds(0);
        qulonglong usec = std::max<qulonglong>(
            1000,
            static_cast<qulonglong>(std::chrono::duration_cast<std::chrono::microseconds>(wait).count()));
        timerProps << property("OnActiveSec", QList<MonotonicTimer>{{QStringLiteral("OnActiveSec"), usec}});
    }
    timerProps << property("AccuracyUSec", qulonglong(1000000)) << property("RemainAfterElapse", false);
    if (wake) {
        timerProps << property("WakeSystem", true);
    }

    QStringList argv{QString::fromStdString(trigger.application)};
    if (!trigger.arguments.empty()) {
        argv << QString::fromStdString(trigger.arguments);
    }
    QList<Property> serviceProps;
    serviceProps << property("Description", description)
                 << property("ExecStart",
                             QList<ExecCommand>{{QString::fromStdString(trigger.application), argv, false}})
                 << property("Environment", programEnvironment())
                 // The program goes on after the start, as a program of the user's session.
                 << property("Type", QStringLiteral("exec"))
                 << property("CollectMode", QStringLiteral("inactive-or-failed"));
    QList<AuxUnit> aux{{service, serviceProps}};

    QDBusMessage reply =
        manager(QStringLiteral("StartTransientUnit"),
                {timer, QStringLiteral("fail"), QVariant::fromValue(timerProps), QVariant::fromValue(aux)});
    if (reply.type() == QDBusMessage::ErrorMessage) {
        errorName = reply.errorName().toStdString();
        return errorText(reply);
    }
    errorName.clear();
    return {};
}

bool CLinuxUserNotifications::timerFailed(uint32_t handle) {
    const QString timer = QString::fromStdString(unitName(handle, ".timer"));
    QDBusMessage reply = manager(QStringLiteral("GetUnit"), {timer}, kProbeTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage || reply.arguments().isEmpty()) {
        return false;  // gone already (it fired), or a manager that does not say
    }
    const QString path = reply.arguments().at(0).value<QDBusObjectPath>().path();
    auto until = std::chrono::steady_clock::now() + kSettleTime;
    while (std::chrono::steady_clock::now() < until) {
        QVariant state =
            _bus.property(CDBusThread::Bus::Session, kService, path, kUnit, QStringLiteral("ActiveState"));
        if (!state.isValid()) {
            return false;
        }
        const QString s = state.toString();
        if (s == QLatin1String("failed")) {
            return true;
        }
        if (s == QLatin1String("active")) {
            return false;
        }
        std::this_thread::sleep_for(kSettlePoll);
    }
    return false;
}

uint32_t CLinuxUserNotifications::setUserNotification(const UserNotificationTrigger& trigger) {
    if (trigger.type != CNT_TIME || trigger.application.empty()) {
        return 0;
    }
    std::lock_guard lock(_lock);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        uint32_t handle = nextHandle();
        bool wake = _wakePermitted.load();
        std::string errorName;
        std::string error = startUnits(handle, trigger, wake, errorName);
        if (error.empty() && wake && timerFailed(handle)) {
            // The manager may not arm a wake-up timer (no CAP_WAKE_ALARM for the user): take the
            // failed timer away and arm the next one without waking the machine.
            _wakePermitted = false;
            const QString timer = QString::fromStdString(unitName(handle, ".timer"));
            manager(QStringLiteral("StopUnit"), {timer, QStringLiteral("replace")});
            manager(QStringLiteral("ResetFailedUnit"), {timer});
            std::cerr << "notifications: the service manager may not wake the machine; "
                         "wake-ups fire only while it runs\n";
            continue;
        }
        if (errorName == kUnitExists) {
            continue;  // a unit of that name belongs to someone else: try the next handle
        }
        if (!error.empty()) {
            std::cerr << "notifications: cannot start " << unitName(handle, ".timer") << ": " << error
                      << '\n';
            return 0;
        }
        if (!writeEntry(handle, trigger)) {
            manager(QStringLiteral("StopUnit"),
                    {QString::fromStdString(unitName(handle, ".timer")), QStringLiteral("replace")});
            return 0;
        }
        return handle;
    }
    return 0;
}

bool CLinuxUserNotifications::clearUserNotification(uint32_t handle) {
    std::lock_guard lock(_lock);
    UserNotificationTrigger t;
    if (!readEntry(handle, t)) {
        return false;
    }
    QDBusMessage reply =
        manager(QStringLiteral("StopUnit"),
                {QString::fromStdString(unitName(handle, ".timer")), QStringLiteral("replace")});
    if (reply.type() == QDBusMessage::ErrorMessage) {
        if (reply.errorName() == QLatin1String(kNoSuchUnit)) {
            dropEntry(handle);  // it fired already: no trigger had that handle any more
        }
        return false;
    }
    dropEntry(handle);
    return true;
}

std::vector<uint32_t> CLinuxUserNotifications::getUserNotificationHandles() {
    std::lock_guard lock(_lock);
    std::vector<uint32_t> handles;
    for (const auto& [handle, trigger] : entries()) {
        handles.push_back(handle);
    }
    return handles;
}

bool CLinuxUserNotifications::getUserNotification(uint32_t handle, UserNotificationTrigger& out) {
    std::lock_guard lock(_lock);
    auto all = entries();
    auto it = all.find(handle);
    if (it == all.end()) {
        return false;
    }
    out = it->second;
    return true;
}

}  // namespace platform::lnx
