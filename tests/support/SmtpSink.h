#pragma once

// A small SMTP server on 127.0.0.1 (Python's standard library, started and stopped by the test):
// it takes every mail and appends it to a file, or, in refusing mode, refuses every recipient.

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "support/ChildProcess.h"

class SmtpSink {
  public:
    SmtpSink(const std::filesystem::path& folder, bool refuse) : _mails(folder / "mails.txt") {
        std::filesystem::path script = folder / "smtp_sink.py";
        std::ofstream(script) << kScript;
        std::filesystem::path port = folder / "mails.txt.port";
        std::filesystem::remove(port);
        _server = std::make_unique<ChildProcess>(
            "/usr/bin/python3",
            std::vector<std::string>{script.string(), _mails.string(), refuse ? "refuse" : "accept"},
            std::map<std::string, std::string>{}, (folder / "smtp_sink.out").string());
        WaitUntil([&] { return std::filesystem::exists(port) && std::filesystem::file_size(port) > 0; });
        std::ifstream(port) >> _port;
    }
    int port() const { return _port; }
    std::string url() const { return "smtp://127.0.0.1:" + std::to_string(_port); }
    // Every mail received so far: envelope lines, then the message, then a line "=====".
    std::string mails() const {
        std::ifstream in(_mails);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

  private:
    static constexpr const char* kScript = R"PY(
import socketserver, sys
out, mode = sys.argv[1], sys.argv[2]

class Session(socketserver.StreamRequestHandler):
    def reply(self, text):
        self.wfile.write((text + "\r\n").encode())
        self.wfile.flush()

    def handle(self):
        self.reply("220 sink ready")
        sender, recipients = "", []
        for raw in self.rfile:
            line = raw.decode("utf-8", "replace").rstrip("\r\n")
            word = line.upper()
            if word.startswith(("EHLO", "HELO")):
                self.reply("250 sink")
            elif word.startswith("MAIL FROM:"):
                sender = line[10:].strip()
                self.reply("250 ok")
            elif word.startswith("RCPT TO:"):
                if mode == "refuse":
                    self.reply("550 no mail accepted here")
                else:
                    recipients.append(line[8:].strip())
                    self.reply("250 ok")
            elif word == "DATA":
                self.reply("354 go on")
                data = []
                for part in self.rfile:
                    if part in (b".\r\n", b".\n"):
                        break
                    data.append(part[1:] if part.startswith(b"..") else part)
                with open(out, "ab") as f:
                    f.write(("FROM " + sender + "\nTO " + " ".join(recipients) + "\n").encode())
                    f.write(b"".join(data).replace(b"\r\n", b"\n") + b"=====\n")
                self.reply("250 queued")
                sender, recipients = "", []
            elif word == "QUIT":
                self.reply("221 bye")
                return
            elif word in ("RSET", "NOOP"):
                self.reply("250 ok")
            else:
                self.reply("502 not here")

socketserver.TCPServer.allow_reuse_address = True
server = socketserver.TCPServer(("127.0.0.1", 0), Session)
with open(out + ".port", "w") as f:
    f.write(str(server.server_address[1]))
server.serve_forever()
)PY";

    std::filesystem::path _mails;
    std::unique_ptr<ChildProcess> _server;
    int _port = 0;
};
