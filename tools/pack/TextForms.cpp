#include "tools/pack/TextForms.h"

#include <cstdint>
#include <cstdio>

namespace {

bool isContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Length of the well-formed UTF-8 sequence at s[i] and its code point, or 0
// when the bytes there are not one (overlong forms and surrogates count as
// malformed, as in the Unicode standard's table of well-formed sequences).
size_t utf8Sequence(const std::string& s, size_t i, uint32_t& cp) {
    const unsigned char b0 = static_cast<unsigned char>(s[i]);
    size_t left = s.size() - i;
    if (b0 < 0x80) { cp = b0; return 1; }
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) { length = 2; cp = b0 & 0x1F; }
    else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3; cp = b0 & 0x0F;
        if (b0 == 0xE0) low = 0xA0;
        if (b0 == 0xED) high = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4; cp = b0 & 0x07;
        if (b0 == 0xF0) low = 0x90;
        if (b0 == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (left < length) return 0;
    const unsigned char b1 = static_cast<unsigned char>(s[i + 1]);
    if (b1 < low || b1 > high) return 0;
    cp = (cp << 6) | (b1 & 0x3F);
    for (size_t k = 2; k < length; ++k) {
        const unsigned char b = static_cast<unsigned char>(s[i + k]);
        if (!isContinuation(b)) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    return length;
}

void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

void appendUtf16(std::u16string& out, uint32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

bool isHighSurrogate(uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool isLowSurrogate(uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// Characters that a plain line must not hold: control characters, which
// would be invisible or break the line, and the characters that editors
// treat as line breaks or strip (U+2028, U+2029, the byte-order mark).
bool needsEscape(uint32_t cp) {
    return cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp <= 0x9F) || cp == 0x2028 || cp == 0x2029 ||
           cp == 0xFEFF;
}

// The escape of the few characters that have a short one; 0 otherwise.
char shortEscape(uint32_t cp) {
    switch (cp) {
    case '"': return '"';
    case '\\': return '\\';
    case '\n': return 'n';
    case '\r': return 'r';
    case '\t': return 't';
    default: return 0;
    }
}

void appendHexEscape(std::string& out, char kind, uint32_t value, int digits) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, digits == 2 ? "\\%c%02X" : "\\%c%04X", kind, value);
    out += buffer;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool readHex(const std::string& line, size_t at, int digits, uint32_t& value) {
    if (at + digits > line.size()) return false;
    value = 0;
    for (int k = 0; k < digits; ++k) {
        int d = hexDigit(line[at + k]);
        if (d < 0) return false;
        value = value * 16 + static_cast<uint32_t>(d);
    }
    return true;
}

// The shared reader of the quoted form.  `asText` selects what the result
// is made of: UTF-16 code units (messages) or bytes (everything else).
bool unquote(const std::string& line, size_t& pos, bool asText, std::string& bytes, std::u16string& units,
             std::string& error) {
    size_t i = pos + 1;  // behind the opening quote
    while (true) {
        if (i >= line.size()) {
            error = "missing closing double quote";
            return false;
        }
        const char c = line[i];
        if (c == '"') {
            pos = i + 1;
            return true;
        }
        if (c != '\\') {
            uint32_t cp = 0;
            size_t length = utf8Sequence(line, i, cp);
            if (asText) {
                if (!length) {
                    error = "text is not valid UTF-8 (write other code units as \\uXXXX)";
                    return false;
                }
                appendUtf16(units, cp);
            } else {
                if (!length) length = 1;  // a byte that is not UTF-8 is taken as it is
                bytes.append(line, i, length);
            }
            i += length;
            continue;
        }
        if (i + 1 >= line.size()) {
            error = "missing closing double quote";
            return false;
        }
        const char e = line[i + 1];
        uint32_t value = 0;
        if (e == 'x' || e == 'u') {
            const int digits = e == 'x' ? 2 : 4;
            if (!readHex(line, i + 2, digits, value)) {
                error = std::string("\\") + e + (digits == 2 ? " needs two hex digits" : " needs four hex digits");
                return false;
            }
            i += 2 + digits;
            if (asText) {
                units.push_back(static_cast<char16_t>(value));
            } else if (e == 'x') {
                bytes.push_back(static_cast<char>(value));
            } else if (isHighSurrogate(value) || isLowSurrogate(value)) {
                error = "\\u escapes a surrogate, which has no UTF-8 form (write bytes as \\xHH)";
                return false;
            } else {
                appendUtf8(bytes, value);
            }
            continue;
        }
        switch (e) {
        case '\\': value = '\\'; break;
        case '"': value = '"'; break;
        case 'n': value = '\n'; break;
        case 'r': value = '\r'; break;
        case 't': value = '\t'; break;
        default:
            error = std::string("unknown escape \\") + e + " (use \\\\ for a backslash)";
            return false;
        }
        if (asText) units.push_back(static_cast<char16_t>(value));
        else bytes.push_back(static_cast<char>(value));
        i += 2;
    }
}

}  // namespace

bool utf16FromUtf8(const std::string& utf8, std::u16string& out) {
    out.clear();
    for (size_t i = 0; i < utf8.size();) {
        uint32_t cp = 0;
        size_t length = utf8Sequence(utf8, i, cp);
        if (!length) return false;
        appendUtf16(out, cp);
        i += length;
    }
    return true;
}

std::string utf8FromUtf16(const std::u16string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t u = text[i];
        if (isHighSurrogate(u) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else {
            appendUtf8(out, isHighSurrogate(u) || isLowSurrogate(u) ? 0xFFFD : u);
        }
    }
    return out;
}

bool bytesArePlain(const std::string& bytes) {
    if (!bytes.empty() && (bytes.front() == ' ' || bytes.back() == ' ')) return false;
    for (size_t i = 0; i < bytes.size();) {
        uint32_t cp = 0;
        size_t length = utf8Sequence(bytes, i, cp);
        if (!length || needsEscape(cp)) return false;
        i += length;
    }
    return true;
}

bool textIsPlain(const std::u16string& text) {
    if (!text.empty() && (text.front() == u' ' || text.back() == u' ')) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t u = text[i];
        if (isHighSurrogate(u) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            ++i;
            continue;
        }
        if (isHighSurrogate(u) || isLowSurrogate(u) || needsEscape(u)) return false;
    }
    return true;
}

std::string quoteBytes(const std::string& bytes) {
    std::string out = "\"";
    for (size_t i = 0; i < bytes.size();) {
        uint32_t cp = 0;
        size_t length = utf8Sequence(bytes, i, cp);
        if (length && shortEscape(cp)) {
            out.push_back('\\');
            out.push_back(shortEscape(cp));
        } else if (length && !needsEscape(cp)) {
            out.append(bytes, i, length);
        } else {
            // Escaped byte by byte, so that \xHH always means one byte.
            if (!length) length = 1;
            for (size_t k = 0; k < length; ++k)
                appendHexEscape(out, 'x', static_cast<unsigned char>(bytes[i + k]), 2);
        }
        i += length;
    }
    out.push_back('"');
    return out;
}

std::string quoteText(const std::u16string& text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t u = text[i];
        if (isHighSurrogate(u) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (shortEscape(u)) {
            out.push_back('\\');
            out.push_back(shortEscape(u));
        } else if (isHighSurrogate(u) || isLowSurrogate(u) || needsEscape(u)) {
            appendHexEscape(out, 'u', u, 4);
        } else {
            appendUtf8(out, u);
        }
    }
    out.push_back('"');
    return out;
}

bool unquoteBytes(const std::string& line, size_t& pos, std::string& out, std::string& error) {
    std::u16string unused;
    out.clear();
    return unquote(line, pos, false, out, unused, error);
}

bool unquoteText(const std::string& line, size_t& pos, std::u16string& out, std::string& error) {
    std::string unused;
    out.clear();
    return unquote(line, pos, true, unused, out, error);
}
