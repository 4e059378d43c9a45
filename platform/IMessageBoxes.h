#pragma once

#include <string>

namespace platform {

enum class BoxKind { Text, Error, Question };

inline constexpr int IDOK = 1;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// Message boxes shown to the user. Any thread may call; the call returns the user's answer
// (IDOK for a text or error box, IDYES or IDNO for a question).
class IMessageBoxes {
  public:
    virtual ~IMessageBoxes() = default;
    virtual int show(BoxKind kind, const std::string& text) = 0;
};

}  // namespace platform
