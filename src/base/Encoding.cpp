#include "base/Encoding.h"

#include <array>
#include <cstdint>

namespace vantrel {

namespace {

// Code points of the Windows-1251 bytes 0x80..0xBF (0 = no character).
// 0xC0..0xFF are U+0410..U+044F in order.
constexpr std::array<std::uint16_t, 64> kUpperHalf{
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

bool toCp1251(char32_t c, char& byte) {
    if (c < 0x80) {
        byte = static_cast<char>(c);
        return true;
    }
    if (c >= 0x0410 && c <= 0x044F) {
        byte = static_cast<char>(0xC0 + (c - 0x0410));
        return true;
    }
    for (std::size_t j = 0; j < kUpperHalf.size(); ++j) {
        if (kUpperHalf[j] != 0 && kUpperHalf[j] == c) {
            byte = static_cast<char>(0x80 + j);
            return true;
        }
    }
    return false;
}

// Decodes one UTF-8 character at `pos`; false on a malformed, overlong or
// surrogate sequence.
bool decodeUtf8(std::string_view text, std::size_t& pos, char32_t& c) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    int extra;
    char32_t min;
    if (lead < 0x80) {
        c = lead;
        ++pos;
        return true;
    } else if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        min = 0x80;
        c = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        min = 0x800;
        c = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        min = 0x10000;
        c = lead & 0x07;
    } else {
        return false;
    }
    if (text.size() - pos <= static_cast<std::size_t>(extra)) {
        return false;
    }
    for (int j = 1; j <= extra; ++j) {
        const auto next = static_cast<unsigned char>(text[pos + static_cast<std::size_t>(j)]);
        if ((next & 0xC0) != 0x80) {
            return false;
        }
        c = (c << 6) | (next & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        return false;
    }
    pos += static_cast<std::size_t>(extra) + 1;
    return true;
}

}  // namespace

bool utf8ToCp1251(std::string_view utf8, std::string& out) {
    out.clear();
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        // Runs of ASCII (all digits, separators and line ends) go in one step.
        std::size_t end = pos;
        while (end < utf8.size() && static_cast<unsigned char>(utf8[end]) < 0x80) {
            ++end;
        }
        out.append(utf8.substr(pos, end - pos));
        pos = end;
        if (pos == utf8.size()) {
            break;
        }
        char32_t c;
        char byte;
        if (!decodeUtf8(utf8, pos, c) || !toCp1251(c, byte)) {
            return false;
        }
        out.push_back(byte);
    }
    return true;
}

bool isValidUtf8(std::string_view text) {
    std::size_t pos = 0;
    char32_t c;
    while (pos < text.size()) {
        if (static_cast<unsigned char>(text[pos]) < 0x80) {
            ++pos;
        } else if (!decodeUtf8(text, pos, c)) {
            return false;
        }
    }
    return true;
}

std::string cp1251ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char b : bytes) {
        const auto byte = static_cast<unsigned char>(b);
        char32_t c = byte;
        if (byte >= 0xC0) {
            c = 0x0410 + (byte - 0xC0);
        } else if (byte >= 0x80) {
            // The one unassigned byte (0x98) becomes the replacement character.
            c = kUpperHalf[byte - 0x80] != 0 ? kUpperHalf[byte - 0x80] : 0xFFFD;
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

tTextEncoding decodeWindowsText(std::string_view bytes, std::string& text) {
    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    if (bytes.substr(0, kBom.size()) == kBom) {
        bytes.remove_prefix(kBom.size());
        if (isValidUtf8(bytes)) {
            text.assign(bytes);
            return tTextEncoding::Utf8WithBom;
        }
    } else if (isValidUtf8(bytes)) {
        text.assign(bytes);
        return tTextEncoding::Utf8;
    }
    text = cp1251ToUtf8(bytes);
    return tTextEncoding::Cp1251;
}

}  // namespace vantrel
