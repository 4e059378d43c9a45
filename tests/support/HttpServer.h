#pragma once

// A small HTTP server on 127.0.0.1 (Python's standard library, started and stopped by the test).
// It records every request as a line "PATH?QUERY|USER-AGENT" and answers with what the test set
// with `answer`: a status and a body, or silence (the request is held until the server stops,
// so the client's time-out is what ends it).

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "support/ChildProcess.h"

class HttpServer {
  public:
    explicit HttpServer(const std::filesystem::path& folder)
        : _requests(folder / "http_requests.txt"), _answer(folder / "http_answer.txt") {
        std::filesystem::path script = folder / "http_server.py";
        std::ofstream(script) << kScript;
        std::filesystem::path port = folder / "http_requests.txt.port";
        std::filesystem::remove(port);
        std::filesystem::remove(_requests);
        answer(200, "");
        _server = std::make_unique<ChildProcess>(
            "/usr/bin/python3", std::vector<std::string>{script.string(), _requests.string(), _answer.string()},
            std::map<std::string, std::string>{}, (folder / "http_server.out").string());
        WaitUntil([&] { return std::filesystem::exists(port) && std::filesystem::file_size(port) > 0; });
        std::ifstream(port) >> _port;
    }
    int port() const { return _port; }
    // The base address of the server, without a slash at the end.
    std::string url() const { return "http://127.0.0.1:" + std::to_string(_port); }
    // Every following request is answered with `status` and `body`.
    void answer(int status, const std::string& body) { write(std::to_string(status) + "\n" + body); }
    // Every following request gets no answer at all.
    void silent() { write("silent\n"); }
    // The requests received so far, oldest first, each "PATH?QUERY|USER-AGENT".
    std::vector<std::string> requests() const {
        std::ifstream in(_requests);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }

  private:
    void write(const std::string& text) {
        std::filesystem::path next = _answer.string() + ".new";
        std::ofstream(next) << text;
        std::filesystem::rename(next, _answer);
    }

    static constexpr const char* kScript = R"PY(
import http.server, sys, threading, time
out, answer = sys.argv[1], sys.argv[2]
lock = threading.Lock()

class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        with lock:
            with open(out, "a") as f:
                f.write(self.path + "|" + self.headers.get("User-Agent", "") + "\n")
        with open(answer) as f:
            first, _, body = f.read().partition("\n")
        if first == "silent":
            time.sleep(3600)
            return
        data = body.encode()
        self.send_response(int(first))
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def log_message(self, *args):
        pass

server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
server.daemon_threads = True
with open(out + ".port", "w") as f:
    f.write(str(server.server_address[1]))
server.serve_forever()
)PY";

    std::filesystem::path _requests;
    std::filesystem::path _answer;
    std::unique_ptr<ChildProcess> _server;
    int _port = 0;
};
