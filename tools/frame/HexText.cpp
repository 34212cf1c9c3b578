#include "HexText.h"

#include <cctype>

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isSeparator(char c) {
    return std::isspace(static_cast<unsigned char>(c)) || c == ',' || c == ':';
}

bool hasHexPrefix(const std::string& text, std::size_t at) {
    return at + 1 < text.size() && text[at] == '0' && (text[at + 1] == 'x' || text[at + 1] == 'X');
}

bool parseDigits(const std::string& text, std::size_t from, int base, uint32_t max, uint32_t& value) {
    if (from >= text.size())
        return false;
    uint64_t result = 0;
    for (std::size_t i = from; i < text.size(); ++i) {
        const int digit = hexValue(text[i]);
        if (digit < 0 || digit >= base)
            return false;
        result = result * base + digit;
        if (result > max)
            return false;
    }
    value = static_cast<uint32_t>(result);
    return true;
}

}  // namespace

bool parseHexBytes(const std::string& text, std::vector<uint8_t>& bytes, std::string& error) {
    bytes.clear();
    std::size_t i = 0;
    while (i < text.size()) {
        if (isSeparator(text[i])) {
            ++i;
            continue;
        }
        // One group of digits up to the next separator.
        std::size_t start = hasHexPrefix(text, i) ? i + 2 : i;
        std::size_t end = start;
        while (end < text.size() && !isSeparator(text[end]))
            ++end;
        if (end == start) {
            error = "\"0x\" without digits at column " + std::to_string(i + 1);
            return false;
        }
        if ((end - start) % 2 != 0) {
            error = "odd number of hexadecimal digits in \"" + text.substr(i, end - i) + "\"";
            return false;
        }
        for (std::size_t at = start; at < end; at += 2) {
            const int high = hexValue(text[at]);
            const int low = hexValue(text[at + 1]);
            if (high < 0 || low < 0) {
                const std::size_t bad = high < 0 ? at : at + 1;
                error = "not a hexadecimal digit at column " + std::to_string(bad + 1);
                return false;
            }
            bytes.push_back(static_cast<uint8_t>(high << 4 | low));
        }
        i = end;
    }
    return true;
}

std::string formatHexBytes(const uint8_t* bytes, std::size_t length) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(length * 3);
    for (std::size_t i = 0; i < length; ++i) {
        if (i > 0)
            text += ' ';
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

bool parseNumber(const std::string& text, uint32_t max, uint32_t& value) {
    if (hasHexPrefix(text, 0))
        return parseDigits(text, 2, 16, max, value);
    return parseDigits(text, 0, 10, max, value);
}

bool parseHexNumber(const std::string& text, uint32_t max, uint32_t& value) {
    return parseDigits(text, hasHexPrefix(text, 0) ? 2 : 0, 16, max, value);
}
