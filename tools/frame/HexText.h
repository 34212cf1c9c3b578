#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Hexadecimal text as typed or pasted by people: "FD 02 04", "fd0204", "0xFD 0x02 0x04" all read
// the same. Whitespace, ',' and ':' separate; a "0x" prefix is allowed before each group.
bool parseHexBytes(const std::string& text, std::vector<uint8_t>& bytes, std::string& error);

// "FD 02 04 ..." (upper case, one blank between bytes).
std::string formatHexBytes(const uint8_t* bytes, std::size_t length);

// A decimal or 0x-prefixed hexadecimal number no larger than max.
bool parseNumber(const std::string& text, uint32_t max, uint32_t& value);
// Plain hexadecimal (optional 0x prefix) no larger than max.
bool parseHexNumber(const std::string& text, uint32_t max, uint32_t& value);
