// Interim until the bus branch's XML messages are merged; removed at that merge.
#include <climits>
#include <cstdlib>
#include <sstream>

#include <pugixml.hpp>

#include "manager/xml_messages.h"
#include "platform/text.h"

namespace synchronization::manager {

namespace {
std::u16string Save(pugi::xml_document& doc) {
    std::ostringstream out;
    doc.save(out, "", pugi::format_indent);
    return platform::Widen(out.str());
}
bool Load(const std::u16string& text, pugi::xml_document& doc) {
    if (text.empty()) return false;
    const std::string narrow = platform::Narrow(text);
    return static_cast<bool>(doc.load_string(narrow.c_str()));
}
std::uint32_t Uid(pugi::xml_node root) { return root.attribute("uid").as_uint(); }
}  // namespace

std::u16string BuildLockRequest(const std::u16string& object, const std::u16string& uid,
                                bool read, std::uint32_t taskId) {
    if (object.empty() || uid.empty() || taskId == 0) return {};
    pugi::xml_document doc;
    auto root = doc.append_child("LockDescription");
    root.append_attribute("uid").set_value(taskId);
    root.append_child("ObjectLink")
        .append_child(pugi::node_pcdata)
        .set_value(platform::Narrow(object + u"/" + uid).c_str());
    root.append_child("Type").append_child(pugi::node_pcdata).set_value(read ? "read" : "write");
    return Save(doc);
}
std::u16string BuildUnlockRequest(std::uint32_t taskId, std::uint32_t cookie) {
    if (taskId == 0 || cookie == 0) return {};
    pugi::xml_document doc;
    auto root = doc.append_child("LockLink");
    root.append_attribute("uid").set_value(taskId);
    root.append_child("Cookie")
        .append_child(pugi::node_pcdata)
        .set_value(std::to_string(cookie).c_str());
    return Save(doc);
}
std::u16string BuildPauseRequest(const std::string& dataType, bool pause) {
    pugi::xml_document doc;
    auto root = doc.append_child("PauseSynchronization");
    root.append_child("DataType").append_child(pugi::node_pcdata).set_value(dataType.c_str());
    root.append_child("Action").append_child(pugi::node_pcdata).set_value(pause ? "Pause" : "Resume");
    return Save(doc);
}
bool ParseLockDescription(const std::u16string& text, std::u16string& object, std::u16string& uid,
                          bool& isWrite) {
    object.clear();
    uid.clear();
    isWrite = false;
    pugi::xml_document doc;
    if (!Load(text, doc)) return false;
    auto root = doc.child("LockDescription");
    if (!root) return false;
    std::string link = root.child_value("ObjectLink");
    if (link.empty()) return false;
    if (link[0] == '/') link.erase(0, 1);
    const auto slash = link.find('/');
    if (slash == std::string::npos) return false;
    object = platform::Widen(link.substr(0, slash));
    std::string tail = link.substr(slash + 1);
    uid = platform::Widen(tail.substr(0, tail.find('/')));
    const std::string type = root.child_value("Type");
    if (type.empty()) return false;
    isWrite = type == "write";
    return true;
}
bool ParseLockLink(const std::u16string& text, std::uint32_t& taskId, std::int32_t& cookie) {
    taskId = 0;
    cookie = 0;
    pugi::xml_document doc;
    if (!Load(text, doc)) return false;
    auto root = doc.child("LockLink");
    if (!root) return false;
    taskId = Uid(root);
    const std::string value = root.child_value("Cookie");
    if (value.empty()) return false;
    cookie = static_cast<std::int32_t>(std::strtol(value.c_str(), nullptr, 10));
    return true;
}
bool ParseLockStatus(const std::u16string& text, std::uint32_t& taskId, bool& locked,
                     bool& failed) {
    taskId = 0;
    locked = false;
    failed = true;
    pugi::xml_document doc;
    if (!Load(text, doc)) return false;
    auto root = doc.child("LockStatus");
    if (!root) return false;
    taskId = Uid(root);
    const std::string value = root.child_value("Status");
    if (value.empty()) return false;
    failed = value == "failed";
    locked = value == "locked";
    return true;
}

}  // namespace synchronization::manager
