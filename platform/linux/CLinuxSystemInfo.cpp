#include "platform/linux/CLinuxSystemInfo.h"

#include <sys/utsname.h>

#include <cctype>
#include <fstream>
#include <sstream>

namespace platform::lnx {

namespace {

// A small file's text without the spaces, line breaks and NULs around it.
std::string readTrimmed(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return {};
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto blank = [](unsigned char c) { return c == '\0' || std::isspace(c); };
    while (!text.empty() && blank(static_cast<unsigned char>(text.back()))) {
        text.pop_back();
    }
    size_t start = 0;
    while (start < text.size() && blank(static_cast<unsigned char>(text[start]))) {
        ++start;
    }
    return text.substr(start);
}

// Firmware fill-ins that name nothing.
bool isPlaceholder(const std::string& text) {
    for (const char* filler : {"To be filled by O.E.M.", "System Product Name", "Default string", "None"}) {
        if (text == filler) {
            return true;
        }
    }
    return text.empty();
}

bool readNumber(const std::string& text, size_t& pos, uint32_t& out) {
    size_t start = pos;
    uint64_t value = 0;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])) && pos - start < 9) {
        value = value * 10 + static_cast<uint64_t>(text[pos] - '0');
        ++pos;
    }
    out = static_cast<uint32_t>(value);
    return pos > start;
}

}  // namespace

CLinuxSystemInfo::CLinuxSystemInfo(std::filesystem::path root) : _root(std::move(root)) {}

std::string CLinuxSystemInfo::osReleaseValue(const std::string& text, const std::string& name) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.compare(0, name.size() + 1, name + "=") != 0) {
            continue;
        }
        std::string value = line.substr(name.size() + 1);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front()) {
            std::string plain;
            for (size_t i = 1; i + 1 < value.size(); ++i) {
                if (value[i] == '\\' && i + 2 < value.size()) {
                    ++i;
                }
                plain += value[i];
            }
            return plain;
        }
        return value;
    }
    return {};
}

bool CLinuxSystemInfo::parseRelease(const std::string& release, uint32_t& major, uint32_t& minor) {
    size_t pos = 0;
    major = minor = 0;
    if (!readNumber(release, pos, major)) {
        return false;
    }
    if (pos < release.size() && release[pos] == '.') {
        ++pos;
        readNumber(release, pos, minor);
    }
    return true;
}

Result CLinuxSystemInfo::oemInfo(std::string& text) {
    text.clear();
    const std::filesystem::path dmi = _root / "sys/class/dmi/id";
    std::string product = readTrimmed(dmi / "product_name");
    if (!isPlaceholder(product)) {
        std::string vendor = readTrimmed(dmi / "sys_vendor");
        text = isPlaceholder(vendor) || product.compare(0, vendor.size(), vendor) == 0
                   ? product
                   : vendor + " " + product;
        return ERROR_SUCCESS;
    }
    for (const char* model : {"proc/device-tree/model", "sys/firmware/devicetree/base/model"}) {
        std::string name = readTrimmed(_root / model);
        if (!isPlaceholder(name)) {
            text = name;
            return ERROR_SUCCESS;
        }
    }
    for (const char* file : {"etc/os-release", "usr/lib/os-release"}) {
        std::ifstream in(_root / file);
        if (!in) {
            continue;
        }
        std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::string pretty = osReleaseValue(all, "PRETTY_NAME");
        if (!pretty.empty()) {
            text = pretty;
            return ERROR_SUCCESS;
        }
    }
    return ERROR_NOT_FOUND;
}

Result CLinuxSystemInfo::osVersion(uint32_t& major, uint32_t& minor) {
    major = minor = 0;
    std::string release = readTrimmed(_root / "proc/sys/kernel/osrelease");
    if (release.empty()) {
        struct utsname name {};
        if (::uname(&name) == 0) {
            release = name.release;
        }
    }
    return parseRelease(release, major, minor) ? ERROR_SUCCESS : ERROR_READ_FAULT;
}

void CLinuxSystemInfo::messageBeep(uint32_t /*type*/) {}

}  // namespace platform::lnx
