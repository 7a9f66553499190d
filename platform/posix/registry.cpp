#include "platform/registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/posix/utf8.h"

// The console build's registry: a text file in the format of a Windows registry export, so that
// the same fixture serves both builds and value types keep their meaning. The file is read at
// every opening of a key (a snapshot per key handle) and rewritten as a whole, through a
// temporary file and a rename, when a value is written or deleted. Lines this reader does not
// understand are skipped when reading and kept verbatim when rewriting.

namespace platform {

namespace {

constexpr const char* kDefaultFile = "/etc/sundra-synchronizer/registry.reg";
constexpr const char* kHeader = "Windows Registry Editor Version 5.00";
constexpr const char* kRoot = "HKEY_LOCAL_MACHINE";

std::string RegistryFilePath() {
    // Read at every use: tests and the demo point it elsewhere while the process runs.
    const char* path = std::getenv("SUNDRA_REGISTRY_FILE");
    return (path && *path) ? std::string(path) : std::string(kDefaultFile);
}

// Key paths and value names compare like the registry compares them: without regard to case.
// Only ASCII letters are folded; that covers every name this program uses.
char16_t FoldUnit(char16_t unit) {
    return (unit >= u'a' && unit <= u'z') ? static_cast<char16_t>(unit - u'a' + u'A') : unit;
}

std::u16string Fold(const std::u16string& text) {
    std::u16string folded(text);
    for (auto& unit : folded) unit = FoldUnit(unit);
    return folded;
}

std::u16string TrimKeyPath(const std::u16string& path) {
    std::u16string key = path;
    while (!key.empty() && key.back() == u'\\') key.pop_back();
    while (!key.empty() && key.front() == u'\\') key.erase(0, 1);
    return key;
}

std::u16string NormalizeKeyPath(const std::u16string& path) { return Fold(TrimKeyPath(path)); }

// ---------------------------------------------------------------------------------------------
// The file's model.

enum class EntryKind { Other, Value, DeletedValue };

struct Entry {
    EntryKind kind = EntryKind::Other;
    std::string raw;  // the lines as in the file, joined by '\n'
    std::u16string name;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
};

struct Section {
    std::string header;         // the raw header line
    bool localMachine = false;  // a key under HKEY_LOCAL_MACHINE
    bool deletesKey = false;    // "[-HKEY_...]"
    std::u16string key;         // normalized key path below HKEY_LOCAL_MACHINE
    std::vector<Entry> entries;
};

struct RegFile {
    std::vector<std::string> prelude;  // header and whatever precedes the first section
    std::vector<Section> sections;
};

std::string TrimLeft(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    return text.substr(i);
}

std::string Trim(const std::string& text) {
    std::string out = TrimLeft(text);
    while (!out.empty() && (out.back() == ' ' || out.back() == '\t')) out.pop_back();
    return out;
}

bool StartsWithNoCase(const std::string& text, std::size_t at, const char* prefix) {
    for (std::size_t i = 0; prefix[i]; ++i) {
        if (at + i >= text.size()) return false;
        char a = text[at + i];
        char b = prefix[i];
        if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
        if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 'a' + 'A');
        if (a != b) return false;
    }
    return true;
}

// A quoted text with the export's two escapes, \\ and \". Advances `at` past the closing quote.
std::optional<std::string> ParseQuoted(const std::string& line, std::size_t& at) {
    if (at >= line.size() || line[at] != '"') return std::nullopt;
    std::string out;
    for (std::size_t i = at + 1; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            at = i + 1;
            return out;
        }
        if (c == '\\') {
            if (i + 1 >= line.size()) return std::nullopt;
            const char next = line[++i];
            if (next != '\\' && next != '"') return std::nullopt;
            out.push_back(next);
        } else {
            out.push_back(c);
        }
    }
    return std::nullopt;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::uint32_t> ParseHexNumber(const std::string& text) {
    if (text.empty() || text.size() > 8) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : text) {
        const int digit = HexDigit(c);
        if (digit < 0) return std::nullopt;
        value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    return value;
}

std::optional<std::vector<std::uint8_t>> ParseHexBytes(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    const std::string all = Trim(text);
    if (all.empty()) return bytes;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = all.find(',', start);
        const std::string token =
            Trim(all.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (token.empty() || token.size() > 2) return std::nullopt;
        int value = 0;
        for (char c : token) {
            const int digit = HexDigit(c);
            if (digit < 0) return std::nullopt;
            value = value * 16 + digit;
        }
        bytes.push_back(static_cast<std::uint8_t>(value));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return bytes;
}

// One logical value line ("Name"=data), continuation lines already joined.
bool ParseValue(const std::string& line, Entry& entry) {
    std::size_t at = 0;
    std::u16string name;
    if (line[0] == '@') {
        at = 1;  // the key's default value: the empty name
    } else {
        auto quoted = ParseQuoted(line, at);
        if (!quoted) return false;
        name = posix::Utf8ToUtf16(*quoted);
    }
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
    if (at >= line.size() || line[at] != '=') return false;
    ++at;
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;

    entry.name = name;
    if (at < line.size() && line[at] == '"') {
        auto text = ParseQuoted(line, at);
        if (!text || !Trim(line.substr(at)).empty()) return false;
        entry.kind = EntryKind::Value;
        entry.type = kRegSz;
        entry.data = RegistryStringData(posix::Utf8ToUtf16(*text), true);
        return true;
    }
    if (Trim(line.substr(at)) == "-") {
        entry.kind = EntryKind::DeletedValue;
        return true;
    }
    if (StartsWithNoCase(line, at, "dword:")) {
        auto value = ParseHexNumber(Trim(line.substr(at + 6)));
        if (!value) return false;
        entry.kind = EntryKind::Value;
        entry.type = kRegDword;
        entry.data = {static_cast<std::uint8_t>(*value), static_cast<std::uint8_t>(*value >> 8),
                      static_cast<std::uint8_t>(*value >> 16),
                      static_cast<std::uint8_t>(*value >> 24)};
        return true;
    }
    if (StartsWithNoCase(line, at, "hex")) {
        at += 3;
        std::uint32_t type = kRegBinary;
        if (at < line.size() && line[at] == '(') {
            const std::size_t close = line.find(')', at);
            if (close == std::string::npos) return false;
            auto number = ParseHexNumber(line.substr(at + 1, close - at - 1));
            if (!number) return false;
            type = *number;
            at = close + 1;
        }
        if (at >= line.size() || line[at] != ':') return false;
        auto bytes = ParseHexBytes(line.substr(at + 1));
        if (!bytes) return false;
        entry.kind = EntryKind::Value;
        entry.type = type;
        entry.data = std::move(*bytes);
        return true;
    }
    return false;
}

bool IsHexValue(const std::string& line) {
    // The data part of a value line starts with hex: or hex(N):, the only forms that continue
    // onto further lines.
    std::size_t at = 0;
    if (line[0] == '@') {
        at = 1;
    } else if (!ParseQuoted(line, at)) {
        return false;
    }
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
    if (at >= line.size() || line[at] != '=') return false;
    ++at;
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
    return StartsWithNoCase(line, at, "hex");
}

std::string DecodeFileText(const std::string& bytes) {
    // regedit itself exports UTF-16LE with a byte-order mark; editors write UTF-8.
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        std::u16string wide;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                 (static_cast<unsigned char>(bytes[i + 1]) << 8)));
        }
        return posix::Utf16ToUtf8(wide);
    }
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return bytes.substr(3);
    return bytes;
}

RegFile Parse(const std::string& fileBytes) {
    const std::string text = DecodeFileText(fileBytes);
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }

    RegFile file;
    Section* current = nullptr;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string trimmed = Trim(lines[i]);
        if (!trimmed.empty() && trimmed[0] == '[' && trimmed.back() == ']') {
            Section section;
            section.header = lines[i];
            std::string inner = trimmed.substr(1, trimmed.size() - 2);
            if (!inner.empty() && inner[0] == '-') {
                section.deletesKey = true;
                inner.erase(0, 1);
            }
            const std::size_t slash = inner.find('\\');
            const std::string root = inner.substr(0, slash);
            if (root.size() == std::char_traits<char>::length(kRoot) &&
                StartsWithNoCase(root, 0, kRoot)) {
                section.localMachine = true;
                section.key = NormalizeKeyPath(posix::Utf8ToUtf16(
                    slash == std::string::npos ? std::string() : inner.substr(slash + 1)));
            }
            file.sections.push_back(std::move(section));
            current = &file.sections.back();
            continue;
        }
        if (!current) {
            file.prelude.push_back(lines[i]);
            continue;
        }
        Entry entry;
        entry.raw = lines[i];
        if (!trimmed.empty() && (trimmed[0] == '"' || trimmed[0] == '@')) {
            std::string logical = trimmed;
            if (IsHexValue(logical)) {
                while (!logical.empty() && logical.back() == '\\' && i + 1 < lines.size()) {
                    logical.pop_back();
                    ++i;
                    entry.raw += '\n';
                    entry.raw += lines[i];
                    logical += Trim(lines[i]);
                }
            }
            if (!ParseValue(logical, entry)) entry.kind = EntryKind::Other;
        }
        current->entries.push_back(std::move(entry));
    }
    return file;
}

enum class ReadStatus { Ok, Missing, Failed };

ReadStatus ReadFile(const std::string& path, std::string& content) {
    content.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return (errno == ENOENT || errno == ENOTDIR) ? ReadStatus::Missing : ReadStatus::Failed;
    }
    char buffer[8192];
    while (true) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            ::close(fd);
            return ReadStatus::Failed;
        }
        if (got == 0) break;
        content.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return ReadStatus::Ok;
}

struct StoredValue {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
};

// The values of one key as an import of the file would leave them: later lines win, "-" entries
// and [-key] sections delete.
std::map<std::u16string, StoredValue> ValuesOf(const RegFile& file, const std::u16string& key) {
    std::map<std::u16string, StoredValue> values;
    for (const auto& section : file.sections) {
        if (!section.localMachine || section.key != key) continue;
        if (section.deletesKey) {
            values.clear();
            continue;
        }
        for (const auto& entry : section.entries) {
            if (entry.kind == EntryKind::Value) {
                values[Fold(entry.name)] = StoredValue{entry.type, entry.data};
            } else if (entry.kind == EntryKind::DeletedValue) {
                values.erase(Fold(entry.name));
            }
        }
    }
    return values;
}

// ---------------------------------------------------------------------------------------------
// Writing.

std::string EscapeQuoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

// The text of REG_SZ data when it has the plain form "text": one terminator at the end, nothing
// that a quoted text cannot carry. Anything else keeps its exact bytes as hex(1).
std::optional<std::u16string> PlainText(const std::vector<std::uint8_t>& data) {
    if (data.size() < 2 || data.size() % 2 != 0) return std::nullopt;
    std::u16string text;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
        text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    }
    if (text.back() != 0) return std::nullopt;
    text.pop_back();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit < 0x20 || unit == 0x7F) return std::nullopt;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) {
                return std::nullopt;
            }
            ++i;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return std::nullopt;
        }
    }
    return text;
}

std::string FormatValue(const std::u16string& name, std::uint32_t type,
                        const std::vector<std::uint8_t>& data) {
    std::string line = name.empty() ? std::string("@") : EscapeQuoted(posix::Utf16ToUtf8(name));
    line += '=';
    if (type == kRegSz) {
        if (auto text = PlainText(data)) return line + EscapeQuoted(posix::Utf16ToUtf8(*text));
    }
    char buffer[32];
    if (type == kRegDword && data.size() == 4) {
        const std::uint32_t value = data[0] | (data[1] << 8) | (data[2] << 16) |
                                    (static_cast<std::uint32_t>(data[3]) << 24);
        std::snprintf(buffer, sizeof buffer, "dword:%08x", value);
        return line + buffer;
    }
    if (type == kRegBinary) {
        line += "hex:";
    } else {
        std::snprintf(buffer, sizeof buffer, "hex(%x):", type);
        line += buffer;
    }
    // Wrapped like regedit's own exports: lines of at most about 80 characters.
    std::size_t column = line.size();
    for (std::size_t i = 0; i < data.size(); ++i) {
        std::snprintf(buffer, sizeof buffer, "%02x", data[i]);
        line += buffer;
        column += 2;
        if (i + 1 < data.size()) {
            line += ',';
            ++column;
            if (column > 76) {
                line += "\\\n  ";
                column = 2;
            }
        }
    }
    return line;
}

std::string Serialize(const RegFile& file) {
    std::string out;
    for (const auto& line : file.prelude) out += line + "\n";
    for (const auto& section : file.sections) {
        out += section.header + "\n";
        for (const auto& entry : section.entries) out += entry.raw + "\n";
    }
    return out;
}

bool WriteFileAtomically(const std::string& path, const std::string& content) {
    mode_t mode = 0644;
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0) mode = existing.st_mode & 07777;

    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    bool ok = true;
    std::size_t written = 0;
    while (ok && written < content.size()) {
        const ssize_t n = ::write(fd, content.data() + written, content.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
        } else {
            written += static_cast<std::size_t>(n);
        }
    }
    ok = ok && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

// Writers of this process take turns, so that two read-modify-write rounds do not lose each
// other's value.
std::mutex& WriteLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

bool LoadForChange(const std::string& path, RegFile& file) {
    std::string content;
    switch (ReadFile(path, content)) {
        case ReadStatus::Failed:
            return false;
        case ReadStatus::Missing:
            file.prelude = {kHeader, ""};
            return true;
        case ReadStatus::Ok:
            file = Parse(content);
            if (file.prelude.empty() && file.sections.empty()) file.prelude = {kHeader, ""};
            return true;
    }
    return false;
}

struct KeySnapshot {
    std::map<std::u16string, StoredValue> values;
};

KeySnapshot* AsSnapshot(void* handle) { return static_cast<KeySnapshot*>(handle); }

}  // namespace

RegistryKey RegistryKey::OpenForRead(const std::u16string& keyPath) {
    try {
        std::string content;
        auto snapshot = std::make_unique<KeySnapshot>();
        switch (ReadFile(RegistryFilePath(), content)) {
            case ReadStatus::Failed:
                return RegistryKey();
            case ReadStatus::Missing:
                // Like a key that RegCreateKeyExW has just created: there, but without values.
                break;
            case ReadStatus::Ok:
                snapshot->values = ValuesOf(Parse(content), NormalizeKeyPath(keyPath));
                break;
        }
        RegistryKey key;
        key.handle_ = snapshot.release();
        return key;
    } catch (...) {
        return RegistryKey();
    }
}

bool RegistryKey::QueryTypeAndSize(const std::u16string& valueName, std::uint32_t& type,
                                   std::uint32_t& size) const {
    if (!handle_) return false;
    const auto& values = AsSnapshot(handle_)->values;
    auto found = values.find(Fold(valueName));
    if (found == values.end()) return false;
    type = found->second.type;
    size = static_cast<std::uint32_t>(found->second.data.size());
    return true;
}

bool RegistryKey::QueryData(const std::u16string& valueName, std::uint32_t& type,
                            std::vector<std::uint8_t>& data) const {
    if (!handle_) return false;
    const auto& values = AsSnapshot(handle_)->values;
    auto found = values.find(Fold(valueName));
    if (found == values.end()) return false;
    type = found->second.type;
    data = found->second.data;
    return true;
}

void RegistryKey::Close() noexcept {
    delete AsSnapshot(handle_);
    handle_ = nullptr;
}

bool WriteRegistryValue(const std::u16string& keyPath, const std::u16string& valueName,
                        std::uint32_t type, const std::vector<std::uint8_t>& data) {
    try {
        std::lock_guard<std::mutex> guard(WriteLock());
        const std::string path = RegistryFilePath();
        RegFile file;
        if (!LoadForChange(path, file)) return false;

        const std::u16string key = NormalizeKeyPath(keyPath);
        const std::u16string name = Fold(valueName);
        Entry fresh;
        fresh.kind = EntryKind::Value;
        fresh.raw = FormatValue(valueName, type, data);
        fresh.name = valueName;
        fresh.type = type;
        fresh.data = data;

        // The value's last mention decides its state: replace it in place, so the file keeps
        // its order and its comments.
        Entry* last = nullptr;
        Section* lastSection = nullptr;
        for (auto& section : file.sections) {
            if (!section.localMachine || section.key != key) continue;
            lastSection = &section;
            if (section.deletesKey) {
                last = nullptr;
                continue;
            }
            for (auto& entry : section.entries) {
                if (entry.kind != EntryKind::Other && Fold(entry.name) == name) last = &entry;
            }
        }
        if (last) {
            *last = std::move(fresh);
        } else if (lastSection && !lastSection->deletesKey) {
            // After the section's last value, before the blank lines that separate it.
            auto& entries = lastSection->entries;
            auto at = entries.end();
            while (at != entries.begin() && Trim((at - 1)->raw).empty()) --at;
            entries.insert(at, std::move(fresh));
        } else {
            if (!file.sections.empty()) {
                auto& previous = file.sections.back().entries;
                if (previous.empty() || !Trim(previous.back().raw).empty()) {
                    previous.push_back(Entry{});
                }
            } else if (!file.prelude.empty() && !Trim(file.prelude.back()).empty()) {
                file.prelude.push_back("");
            }
            Section section;
            section.header =
                std::string("[") + kRoot + "\\" + posix::Utf16ToUtf8(TrimKeyPath(keyPath)) + "]";
            section.localMachine = true;
            section.key = key;
            section.entries.push_back(std::move(fresh));
            section.entries.push_back(Entry{});
            file.sections.push_back(std::move(section));
        }
        return WriteFileAtomically(path, Serialize(file));
    } catch (...) {
        return false;
    }
}

bool DeleteRegistryValue(const std::u16string& keyPath, const std::u16string& valueName) {
    try {
        std::lock_guard<std::mutex> guard(WriteLock());
        const std::string path = RegistryFilePath();
        std::string content;
        if (ReadFile(path, content) != ReadStatus::Ok) return false;
        RegFile file = Parse(content);
        const std::u16string key = NormalizeKeyPath(keyPath);
        const std::u16string name = Fold(valueName);
        if (ValuesOf(file, key).count(name) == 0) return false;
        for (auto& section : file.sections) {
            if (!section.localMachine || section.key != key) continue;
            auto& entries = section.entries;
            for (auto it = entries.begin(); it != entries.end();) {
                if (it->kind != EntryKind::Other && Fold(it->name) == name) {
                    it = entries.erase(it);
                } else {
                    ++it;
                }
            }
        }
        return WriteFileAtomically(path, Serialize(file));
    } catch (...) {
        return false;
    }
}

}  // namespace platform
