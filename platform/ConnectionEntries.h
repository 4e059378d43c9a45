#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/IConnectionManager.h"
#include "platform/IRegistry.h"

namespace platform {

// One phone-book entry as a connection manager sees it: its name, the destination network it
// serves (canonical text form) and whether its connection is up. A list of them is in phone-book
// order; the handle of an entry's active connection is its position plus 1.
struct ConnectionEntry {
    std::string name;
    std::string network;
    bool up = false;
};

// Tells whether the connection manager may use an entry, by its name.
using EntryEnabled = std::function<bool(const std::string& name)>;

// The entries' names, at most `room` of them: ERROR_BUFFER_TOO_SMALL, with the first `room` in
// `names`, when there are more.
Result ListEntryNames(const std::vector<ConnectionEntry>& entries, size_t room,
                      std::vector<std::string>& names);

// The connections of the entries that are up, each with its handle, at most `room` of them (then
// ERROR_BUFFER_TOO_SMALL, with the first `room`).
Result ListUpConnections(const std::vector<ConnectionEntry>& entries, size_t room,
                         std::vector<RasConnection>& connections);

// True when `url` is an http or https address with a host.
bool IsWebUrlWithHost(const std::string& url);

// The position of the entry a web address is reached through: the first entry that is up, else
// the first the connection manager may use (`enabled` is asked in order, up to the first yes);
// none when there is neither.
std::optional<size_t> EntryForUrl(const std::vector<ConnectionEntry>& entries, const EntryEnabled& enabled);

// How a request for `network` stands before anything is brought up: NOPATHTODESTINATION when no
// entry serves it, CONNECTIONDISABLED when the first that does may not be used, CONNECTED when it
// is up already, else UNKNOWN with `index` the entry to bring up. A CONNMGR_STATUS_* value.
uint32_t CheckEntryForNetwork(const std::vector<ConnectionEntry>& entries, const std::string& network,
                              const EntryEnabled& enabled, size_t& index);

// The destination network a request names, canonical; false when it names none.
bool RequestDestination(const ConnectionInfo& info, std::string& network);

// True when the entry whose provider key is `key` (under HKEY_LOCAL_MACHINE) has `value` 1.
bool EntryKeyEnabled(IRegistry& registry, const std::string& key, const char* value);

}  // namespace platform
