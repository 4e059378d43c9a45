#include "platform/CSmtpMail.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>

#include "platform/CCurlLibrary.h"

namespace platform {

namespace {

bool isSingleLine(const std::string& text) {
    return text.find_first_of("\r\n") == std::string::npos;
}

// An address as the envelope takes it: no blanks, brackets or control characters.
bool isPlainAddress(const std::string& address) {
    if (address.empty()) {
        return false;
    }
    return std::none_of(address.begin(), address.end(), [](char c) {
        auto u = static_cast<unsigned char>(c);
        return u <= 0x20 || u == 0x7F || c == '<' || c == '>' || c == ',' || c == ';';
    });
}

std::string base64(const std::string& in) {
    static constexpr char kTable[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 2 < in.size(); i += 3) {
        uint32_t v = (static_cast<uint8_t>(in[i]) << 16) | (static_cast<uint8_t>(in[i + 1]) << 8) |
                     static_cast<uint8_t>(in[i + 2]);
        out += kTable[(v >> 18) & 63];
        out += kTable[(v >> 12) & 63];
        out += kTable[(v >> 6) & 63];
        out += kTable[v & 63];
    }
    if (i + 1 == in.size()) {
        uint32_t v = static_cast<uint8_t>(in[i]) << 16;
        out += kTable[(v >> 18) & 63];
        out += kTable[(v >> 12) & 63];
        out += "==";
    } else if (i + 2 == in.size()) {
        uint32_t v = (static_cast<uint8_t>(in[i]) << 16) | (static_cast<uint8_t>(in[i + 1]) << 8);
        out += kTable[(v >> 18) & 63];
        out += kTable[(v >> 12) & 63];
        out += kTable[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

// The body with every line ending as CR LF.
std::string crlfLines(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    if (out.size() < 2 || out.compare(out.size() - 2, 2, "\r\n") != 0) {
        out += "\r\n";
    }
    return out;
}

std::string rfc2822Date() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    ::gmtime_r(&now, &tm);
    char buf[64];
    std::strftime(buf, sizeof buf, "%a, %d %b %Y %H:%M:%S +0000", &tm);
    return buf;
}

struct Upload {
    const std::string* data;
    size_t offset = 0;
};

size_t readUpload(char* buffer, size_t size, size_t count, void* user) {
    auto* upload = static_cast<Upload*>(user);
    size_t room = size * count;
    size_t left = upload->data->size() - upload->offset;
    size_t n = std::min(room, left);
    std::memcpy(buffer, upload->data->data() + upload->offset, n);
    upload->offset += n;
    return n;
}

}  // namespace

std::string CSmtpMail::EncodeHeaderText(const std::string& text) {
    bool plain = std::all_of(text.begin(), text.end(), [](char c) {
        auto u = static_cast<unsigned char>(c);
        return u >= 0x20 && u < 0x7F;
    });
    if (plain) {
        return text;
    }
    return "=?UTF-8?B?" + base64(text) + "?=";
}

bool CSmtpMail::Compose(const Mail& mail, const std::string& date, std::string& message,
                        std::string& problem) {
    if (!isPlainAddress(mail.from)) {
        problem = "the sender address is not a plain address: '" + mail.from + "'";
        return false;
    }
    if (mail.to.empty()) {
        problem = "the mail has no recipients";
        return false;
    }
    for (const std::string& to : mail.to) {
        if (!isPlainAddress(to)) {
            problem = "not a plain mail address: '" + to + "'";
            return false;
        }
    }
    if (!isSingleLine(mail.subject)) {
        problem = "the subject holds a line break";
        return false;
    }
    std::string to;
    for (const std::string& address : mail.to) {
        to += (to.empty() ? "" : ", ") + address;
    }
    message = "Date: " + date + "\r\n";
    message += "From: " + mail.from + "\r\n";
    message += "To: " + to + "\r\n";
    message += "Subject: " + EncodeHeaderText(mail.subject) + "\r\n";
    message += "MIME-Version: 1.0\r\n";
    message += "Content-Type: text/plain; charset=UTF-8\r\n";
    message += "Content-Transfer-Encoding: 8bit\r\n";
    message += "\r\n";
    message += crlfLines(mail.body);
    return true;
}

bool CSmtpMail::Send(const Server& server, const Mail& mail, std::string& problem) {
    const bool secure = server.url.rfind("smtps://", 0) == 0;
    if (!secure && server.url.rfind("smtp://", 0) != 0) {
        problem = "not an SMTP address: '" + server.url + "' (smtp:// or smtps://)";
        return false;
    }
    std::string message;
    if (!Compose(mail, rfc2822Date(), message, problem)) {
        return false;
    }
    const CCurlLibrary* lib = CCurlLibrary::Get(problem);
    if (!lib) {
        return false;
    }
    std::unique_ptr<CURL, decltype(lib->easy_cleanup)> curl(lib->easy_init(), lib->easy_cleanup);
    if (!curl) {
        problem = "libcurl could not start a transfer";
        return false;
    }
    struct curl_slist* rcpt = nullptr;
    for (const std::string& to : mail.to) {
        rcpt = lib->slist_append(rcpt, ("<" + to + ">").c_str());
    }
    std::unique_ptr<curl_slist, decltype(lib->slist_free_all)> recipients(rcpt, lib->slist_free_all);
    const std::string from = "<" + mail.from + ">";
    Upload upload{&message};
    char error[CURL_ERROR_SIZE] = {};
    CURL* c = curl.get();
    lib->easy_setopt(c, CURLOPT_URL, server.url.c_str());
    lib->easy_setopt(c, CURLOPT_MAIL_FROM, from.c_str());
    lib->easy_setopt(c, CURLOPT_MAIL_RCPT, recipients.get());
    lib->easy_setopt(c, CURLOPT_READFUNCTION, readUpload);
    lib->easy_setopt(c, CURLOPT_READDATA, &upload);
    lib->easy_setopt(c, CURLOPT_UPLOAD, 1L);
    lib->easy_setopt(c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(message.size()));
    lib->easy_setopt(c, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    lib->easy_setopt(c, CURLOPT_TIMEOUT, kTransferTimeoutSeconds);
    lib->easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    lib->easy_setopt(c, CURLOPT_ERRORBUFFER, error);
    lib->easy_setopt(c, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    if (!secure && server.startTls) {
        lib->easy_setopt(c, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
    }
    if (!server.user.empty()) {
        lib->easy_setopt(c, CURLOPT_USERNAME, server.user.c_str());
        lib->easy_setopt(c, CURLOPT_PASSWORD, server.password.c_str());
    }
    CURLcode rc = lib->easy_perform(c);
    if (rc != CURLE_OK) {
        long response = 0;
        lib->easy_getinfo(c, CURLINFO_RESPONSE_CODE, &response);
        problem = error[0] ? error : lib->easy_strerror(rc);
        if (response > 0) {
            problem += " (server answered " + std::to_string(response) + ")";
        }
        return false;
    }
    return true;
}

}  // namespace platform
