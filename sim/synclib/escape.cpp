#include "sim/synclib/escape.h"

#include <cstdio>

namespace sundra::synclib {

std::string EscapeForJournal(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    for (char16_t unit : text) {
        if (unit == u'\\') {
            out += "\\\\";
        } else if (unit == u'\n') {
            out += "\\n";
        } else if (unit == u'\r') {
            out += "\\r";
        } else if (unit == u'\t') {
            out += "\\t";
        } else if (unit >= 0x20 && unit < 0x7F) {
            out.push_back(static_cast<char>(unit));
        } else {
            char buffer[8];
            if (unit < 0x100) {
                std::snprintf(buffer, sizeof buffer, "\\x%02X", static_cast<unsigned>(unit));
            } else {
                std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(unit));
            }
            out += buffer;
        }
    }
    return out;
}

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads exactly `digits` hex digits at text[pos]; -1 when they are not there.
long ReadHex(const std::string& text, std::size_t pos, int digits) {
    if (pos + static_cast<std::size_t>(digits) > text.size()) return -1;
    long value = 0;
    for (int i = 0; i < digits; ++i) {
        const int v = HexValue(text[pos + static_cast<std::size_t>(i)]);
        if (v < 0) return -1;
        value = value * 16 + v;
    }
    return value;
}

}  // namespace

std::u16string UnescapeScenarioText(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c != '\\' || i + 1 >= text.size()) {
            out.push_back(static_cast<char16_t>(c));
            continue;
        }
        const char next = text[i + 1];
        long value = -1;
        std::size_t consumed = 1;
        switch (next) {
            case 'n':
                value = '\n';
                break;
            case 'r':
                value = '\r';
                break;
            case 't':
                value = '\t';
                break;
            case '0':
                value = 0;
                break;
            case '\\':
                value = '\\';
                break;
            case 'x':
                value = ReadHex(text, i + 2, 2);
                consumed = 3;
                break;
            case 'u':
                value = ReadHex(text, i + 2, 4);
                consumed = 5;
                break;
            default:
                break;
        }
        if (value < 0) {
            // Not an escape: the backslash stands for itself.
            out.push_back(u'\\');
            continue;
        }
        out.push_back(static_cast<char16_t>(value));
        i += consumed;
    }
    return out;
}

std::u16string EscapeXml(const std::u16string& text) {
    std::u16string out;
    for (char16_t unit : text) {
        switch (unit) {
            case u'&':
                out += u"&amp;";
                break;
            case u'<':
                out += u"&lt;";
                break;
            case u'>':
                out += u"&gt;";
                break;
            case u'"':
                out += u"&quot;";
                break;
            default:
                out.push_back(unit);
                break;
        }
    }
    return out;
}

std::u16string AsciiToU16(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    for (char c : text) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace sundra::synclib
