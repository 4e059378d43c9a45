#pragma once

#include <cstdint>

// Result codes of the platform services. The numbers are those of the phone's operating system,
// so that callers written against it (tables, managers) keep their error handling and messages.
namespace platform {

using Result = long;

inline constexpr Result ERROR_SUCCESS = 0;
inline constexpr Result ERROR_FILE_NOT_FOUND = 2;
inline constexpr Result ERROR_PATH_NOT_FOUND = 3;
inline constexpr Result ERROR_ACCESS_DENIED = 5;
inline constexpr Result ERROR_INVALID_HANDLE = 6;
inline constexpr Result ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr Result ERROR_INVALID_DATA = 13;
inline constexpr Result ERROR_OUTOFMEMORY = 14;
inline constexpr Result ERROR_WRITE_FAULT = 29;
inline constexpr Result ERROR_READ_FAULT = 30;
inline constexpr Result ERROR_NOT_SUPPORTED = 50;
inline constexpr Result ERROR_ALREADY_EXISTS = 183;
inline constexpr Result ERROR_INVALID_PARAMETER = 87;
inline constexpr Result ERROR_DISK_FULL = 112;
inline constexpr Result ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr Result ERROR_BAD_PATHNAME = 161;
inline constexpr Result ERROR_MORE_DATA = 234;
inline constexpr Result ERROR_NO_MORE_ITEMS = 259;
inline constexpr Result ERROR_TIMEOUT = 1460;
inline constexpr Result ERROR_PIPE_NOT_CONNECTED = 233;
inline constexpr Result ERROR_BADDB = 1009;
inline constexpr Result ERROR_KEY_DELETED = 1018;
inline constexpr Result ERROR_BAD_LENGTH = 24;
inline constexpr Result ERROR_SEEK = 25;
inline constexpr Result ERROR_SHARING_VIOLATION = 32;
inline constexpr Result ERROR_DUP_NAME = 52;
inline constexpr Result ERROR_NO_DATA = 232;
inline constexpr Result ERROR_NOT_FOUND = 1168;
inline constexpr Result ERROR_NOT_READY = 21;
inline constexpr Result ERROR_GEN_FAILURE = 31;
inline constexpr Result ERROR_SERVICE_NOT_ACTIVE = 1062;
inline constexpr Result ERROR_CONNECTION_REFUSED = 1225;
// Remote access: the caller's room for entries or connections is too small.
inline constexpr Result ERROR_BUFFER_TOO_SMALL = 603;
// The general failure of the component services (the connection manager's only mapping failure).
inline constexpr Result E_FAIL = static_cast<int32_t>(0x80004005u);

}  // namespace platform
