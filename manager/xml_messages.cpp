#include "manager/xml_messages.h"

#include <cctype>
#include <cstring>
#include <pugixml.hpp>
#include <sstream>

#include "platform/text.h"

namespace synchronization::manager {

namespace {

// The service expects the declaration line, one element per line without indentation and line
// feeds only; pugixml's writer with an empty indent and format_indent alone gives exactly that.
std::u16string Write(const pugi::xml_document& document) {
    std::ostringstream out;
    document.save(out, "", pugi::format_indent, pugi::encoding_utf8);
    return platform::Widen(out.str());
}

void AppendTextChild(pugi::xml_node parent, const char* name, const char* text) {
    parent.append_child(name).append_child(pugi::node_pcdata).set_value(text);
}

// Magnitude of the digits after blanks and sign, saturated just beyond 32 bits; false when the
// number is negative.
std::uint64_t ReadMagnitude(const char* text, bool& negative) {
    negative = false;
    if (text == nullptr) {
        return 0;
    }
    while (*text != '\0' && std::isspace(static_cast<unsigned char>(*text))) {
        ++text;
    }
    if (*text == '+' || *text == '-') {
        negative = (*text == '-');
        ++text;
    }
    constexpr std::uint64_t kSaturated = 0x1FFFFFFFFull;
    std::uint64_t value = 0;
    while (*text >= '0' && *text <= '9') {
        value = value * 10 + static_cast<std::uint64_t>(*text - '0');
        if (value > kSaturated) {
            value = kSaturated;
        }
        ++text;
    }
    return value;
}

// Parses the 8-bit form of an event and finds its root; false when either fails.
bool LoadRoot(const std::u16string& text, const char* rootName, pugi::xml_document& document,
              pugi::xml_node& root) {
    if (text.empty()) {
        return false;
    }
    const std::string narrow = platform::Narrow(text);
    if (!document.load_buffer(narrow.data(), narrow.size(), pugi::parse_default,
                              pugi::encoding_utf8)) {
        return false;
    }
    root = document.child(rootName);
    return static_cast<bool>(root);
}

}  // namespace

std::uint32_t ReadUnsignedDecimal(const char* text) {
    bool negative = false;
    const std::uint64_t magnitude = ReadMagnitude(text, negative);
    if (magnitude > 0xFFFFFFFFull) {
        return 0xFFFFFFFFu;
    }
    const auto value = static_cast<std::uint32_t>(magnitude);
    // A negative number wraps as in unsigned arithmetic: -1 reads as 4294967295.
    return negative ? static_cast<std::uint32_t>(0u - value) : value;
}

std::int32_t ReadSignedDecimal(const char* text) {
    bool negative = false;
    const std::uint64_t magnitude = ReadMagnitude(text, negative);
    if (negative) {
        return magnitude >= 0x80000000ull ? INT32_MIN : -static_cast<std::int32_t>(magnitude);
    }
    return magnitude >= 0x7FFFFFFFull ? INT32_MAX : static_cast<std::int32_t>(magnitude);
}

std::string JoinObjectLink(const std::u16string& object, const std::u16string& uid) {
    try {
        if (object.empty() || uid.empty()) {
            return {};
        }
        return platform::Narrow(object + u"/" + uid);
    } catch (...) {
        return {};
    }
}

bool SplitObjectLink(const std::string& link, std::u16string& object, std::u16string& uid) {
    try {
        object.clear();
        uid.clear();
        if (link.empty()) {
            return false;
        }
        const std::size_t start = link[0] == '/' ? 1 : 0;
        const std::size_t slash = link.find('/', start);
        if (slash == std::string::npos) {
            return false;
        }
        const std::size_t uidEnd = link.find('/', slash + 1);
        const std::string objectPart = link.substr(start, slash - start);
        const std::string uidPart = link.substr(
            slash + 1, uidEnd == std::string::npos ? std::string::npos : uidEnd - slash - 1);
        object = platform::Widen(objectPart);
        uid = platform::Widen(uidPart);
        return true;
    } catch (...) {
        object.clear();
        uid.clear();
        return false;
    }
}

std::u16string BuildLockRequest(const std::u16string& object, const std::u16string& uid, bool read,
                                std::uint32_t taskId) {
    try {
        if (object.empty() || uid.empty() || taskId == 0) {
            return {};
        }
        const std::string link = JoinObjectLink(object, uid);
        if (link.empty()) {
            return {};
        }
        pugi::xml_document document;
        pugi::xml_node root = document.append_child(kLockDescription);
        root.append_attribute(kUid).set_value(static_cast<unsigned int>(taskId));
        AppendTextChild(root, kObjectLink, link.c_str());
        AppendTextChild(root, kType, read ? kRead : kWrite);
        return Write(document);
    } catch (...) {
        return {};
    }
}

std::u16string BuildUnlockRequest(std::uint32_t taskId, std::uint32_t cookie) {
    try {
        if (taskId == 0 || cookie == 0) {
            return {};
        }
        pugi::xml_document document;
        pugi::xml_node root = document.append_child(kLockLink);
        root.append_attribute(kUid).set_value(static_cast<unsigned int>(taskId));
        AppendTextChild(root, kCookie, std::to_string(cookie).c_str());
        return Write(document);
    } catch (...) {
        return {};
    }
}

std::u16string BuildPauseRequest(const std::string& dataType, bool pause) {
    try {
        pugi::xml_document document;
        pugi::xml_node root = document.append_child(kPauseSynchronization);
        AppendTextChild(root, kDataType, dataType.c_str());
        AppendTextChild(root, kAction, pause ? kPause : kResume);
        return Write(document);
    } catch (...) {
        return {};
    }
}

bool ParseLockDescription(const std::u16string& text, std::u16string& object, std::u16string& uid,
                          bool& isWrite) {
    object.clear();
    uid.clear();
    isWrite = false;
    try {
        pugi::xml_document document;
        pugi::xml_node root;
        if (!LoadRoot(text, kLockDescription, document, root)) {
            return false;
        }
        const char* link = root.child(kObjectLink).child_value();
        if (*link == '\0' || !SplitObjectLink(link, object, uid)) {
            return false;
        }
        const char* type = root.child(kType).child_value();
        if (*type == '\0') {
            return false;
        }
        isWrite = std::strcmp(type, kWrite) == 0;
        return true;
    } catch (...) {
        return false;
    }
}

bool ParseLockLink(const std::u16string& text, std::uint32_t& taskId, std::int32_t& cookie) {
    taskId = 0;
    cookie = 0;
    try {
        pugi::xml_document document;
        pugi::xml_node root;
        if (!LoadRoot(text, kLockLink, document, root)) {
            return false;
        }
        taskId = ReadUnsignedDecimal(root.attribute(kUid).value());
        const char* value = root.child(kCookie).child_value();
        if (*value == '\0') {
            return false;
        }
        cookie = ReadSignedDecimal(value);
        return true;
    } catch (...) {
        return false;
    }
}

bool ParseLockStatus(const std::u16string& text, std::uint32_t& taskId, bool& locked,
                     bool& failed) {
    taskId = 0;
    locked = false;
    failed = true;
    try {
        pugi::xml_document document;
        pugi::xml_node root;
        if (!LoadRoot(text, kLockStatus, document, root)) {
            return false;
        }
        taskId = ReadUnsignedDecimal(root.attribute(kUid).value());
        const char* status = root.child(kStatus).child_value();
        if (*status == '\0') {
            return false;
        }
        failed = std::strcmp(status, kFailed) == 0;
        locked = std::strcmp(status, kLocked) == 0;
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace synchronization::manager
