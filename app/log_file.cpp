#include "app/log_file.h"

#include <filesystem>
#include <string>

namespace application {

bool LogFile::Open(const std::u16string& path) {
    try {
        // Binary mode: the line break is written as CR LF by hand on every platform.
        stream_.open(std::filesystem::path(path), std::ios::out | std::ios::binary | std::ios::app);
        return stream_.is_open();
    } catch (...) {
        return false;
    }
}

bool LogFile::WriteLine(const std::u16string& text) {
    if (!stream_.is_open()) return false;
    try {
        std::string bytes;
        bytes.reserve(text.size() + 2);
        bool storable = true;
        for (char16_t unit : text) {
            if (unit > 0xFF) {
                storable = false;
                break;
            }
            bytes.push_back(static_cast<char>(unit));
        }
        if (storable) bytes += "\r\n";
        stream_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        stream_.flush();
        return storable && stream_.good();
    } catch (...) {
        return false;
    }
}

bool LogFile::Close() {
    if (!stream_.is_open()) return false;
    try {
        stream_.close();
        return !stream_.fail();
    } catch (...) {
        return false;
    }
}

}  // namespace application
