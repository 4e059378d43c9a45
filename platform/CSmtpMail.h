#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// One mail sent to an SMTP server through libcurl. The URL names the server: "smtp://host:port"
// (plain, or STARTTLS when `startTls` asks for it) or "smtps://host:port" (TLS from the start).
// Certificates are verified. Header texts are single lines: line breaks in the sender, the
// recipients or the subject are refused, never passed on into the message's header.
class CSmtpMail {
  public:
    static constexpr long kConnectTimeoutSeconds = 10;
    static constexpr long kTransferTimeoutSeconds = 60;

    struct Server {
        std::string url;
        std::string user;  // empty: no login
        std::string password;
        bool startTls = false;  // smtp:// only: require STARTTLS before anything is sent
    };

    struct Mail {
        std::string from;
        std::vector<std::string> to;
        std::string subject;
        std::string body;
    };

    // Sends `mail` through `server`. False with `problem` set (the server's or libcurl's words)
    // when it was refused, the server could not be reached, or the mail cannot be written.
    static bool Send(const Server& server, const Mail& mail, std::string& problem);

    // The message as sent: header lines (Date, From, To, Subject, MIME headers), a blank line,
    // the body; every line ends with CR LF. False (and `problem`) for a header text that would
    // break the header.
    static bool Compose(const Mail& mail, const std::string& date, std::string& message,
                        std::string& problem);

    // A header text in the encoded-word form of RFC 2047 when it is not plain ASCII.
    static std::string EncodeHeaderText(const std::string& text);
};

}  // namespace platform
