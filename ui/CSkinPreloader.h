#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <pugixml.hpp>

// Reads the skin file and decodes the panel's images on a thread of its own while the program
// opens its database and starts its managers, so that the main window, built next, finds the
// skin parsed and its images in the button image cache. Whatever the thread has not done by
// then, the window does itself, as without it.
class CSkinPreloader {
  public:
    // Where the skin and its images are is read here, on the calling thread (the settings and the
    // screen size); `firstImages` are decoded first, then every image of the skin's window element
    // for the current orientation.
    explicit CSkinPreloader(std::vector<std::string> firstImages);
    // Waits for the thread (a few milliseconds of decoding at most).
    ~CSkinPreloader();
    CSkinPreloader(const CSkinPreloader&) = delete;
    CSkinPreloader& operator=(const CSkinPreloader&) = delete;

    // Waits until the skin file is read and hands a well-formed document over to the skin manager
    // for its next Initialize (on the window's thread). The images go on decoding.
    void OfferSkin();

  private:
    void Run();

    std::string _path;
    std::string _directory;
    std::string _windowPath;
    std::vector<std::string> _images;
    std::mutex _lock;
    std::condition_variable _read;
    bool _done = false;
    std::unique_ptr<pugi::xml_document> _document;
    std::thread _thread;
};
