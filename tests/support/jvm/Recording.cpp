// The record: one UTF-8 line per event, kept in memory for test programs and
// handed to a sink (the stub jvm.dll writes it to its record file).  Also
// the text conversions that recording and the string functions share, and
// the loud failure of everything the fake does not model.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "tests/support/jvm/Internal.h"

namespace fakejni {
namespace internal {
namespace {

std::vector<std::string>& recordLines() {
    static std::vector<std::string> lines;
    return lines;
}

void (*&recordSink())(const std::string&) {
    static void (*sink)(const std::string&) = nullptr;
    return sink;
}

// Arrays are shown element by element up to this many elements.
const size_t kMaxShownElements = 1024;
// Nested arrays and constructor arguments are shown to this depth.
const int kMaxDepth = 4;

void appendUtf8(uint32_t codePoint, std::string* out) {
    if (codePoint < 0x80) {
        *out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        *out += static_cast<char>(0xC0 | (codePoint >> 6));
        *out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        *out += static_cast<char>(0xE0 | (codePoint >> 12));
        *out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        *out += static_cast<char>(0xF0 | (codePoint >> 18));
        *out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        *out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

bool isHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void appendEscape(unsigned unit, std::string* out) {
    char buffer[8];
    snprintf(buffer, sizeof buffer, "\\u%04X", unit & 0xFFFF);
    *out += buffer;
}

const char* primitiveName(char type) {
    switch (type) {
        case 'Z': return "boolean";
        case 'B': return "byte";
        case 'C': return "char";
        case 'S': return "short";
        case 'I': return "int";
        case 'J': return "long";
        case 'F': return "float";
        case 'D': return "double";
        default: return "?";
    }
}

std::string renderPrimitive(char type, const jvalue& v) {
    char buffer[64];
    switch (type) {
        case 'Z': return v.z ? "true" : "false";
        case 'B': snprintf(buffer, sizeof buffer, "%d", v.b); break;
        case 'C': snprintf(buffer, sizeof buffer, "%u", v.c); break;
        case 'S': snprintf(buffer, sizeof buffer, "%d", v.s); break;
        case 'I': snprintf(buffer, sizeof buffer, "%d", v.i); break;
        case 'J': snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(v.j)); break;
        case 'F': snprintf(buffer, sizeof buffer, "%g", v.f); break;
        case 'D': snprintf(buffer, sizeof buffer, "%g", v.d); break;
        default: return "void";
    }
    return buffer;
}

jvalue primitiveAt(const Object* array, size_t index) {
    jvalue v{};
    memcpy(&v, array->data.data() + index * elementSize(array->elementType), elementSize(array->elementType));
    return v;
}

std::string renderAt(const Object* obj, int depth);

std::string renderArray(const Object* array, int depth) {
    std::string elementName = array->elementType == 'L' ? array->cls->name.substr(1) : primitiveName(array->elementType);
    if (elementName.size() > 2 && elementName[0] == 'L') elementName = elementName.substr(1, elementName.size() - 2);
    std::string out = elementName + "[" + std::to_string(array->length) + "]{";
    if (depth >= kMaxDepth) return out + "...}";
    size_t shown = array->length < kMaxShownElements ? array->length : kMaxShownElements;
    for (size_t i = 0; i < shown; ++i) {
        if (i) out += ", ";
        out += array->elementType == 'L' ? renderAt(array->elements[i], depth + 1)
                                         : renderPrimitive(array->elementType, primitiveAt(array, i));
    }
    if (shown < array->length) out += ", ...(" + std::to_string(array->length - shown) + " more)";
    return out + "}";
}

std::string renderSlotAt(const Slot& slot, int depth) {
    return slot.type == 'L' ? renderAt(slot.obj, depth) : renderPrimitive(slot.type, slot.prim);
}

std::string renderAt(const Object* obj, int depth) {
    if (!obj) return "null";
    switch (obj->kind) {
        case ObjectKind::String: return quoteText(obj->text);
        case ObjectKind::Class: return renderClass(obj->represented);
        case ObjectKind::Array: return renderArray(obj, depth);
        case ObjectKind::Plain: break;
    }
    std::string out = obj->cls->name + "(";
    if (depth >= kMaxDepth) return out + "...)";
    if (obj->constructor) {
        for (size_t i = 0; i < obj->constructorArgs.size(); ++i) {
            if (i) out += ", ";
            out += renderSlotAt(obj->constructorArgs[i], depth + 1);
        }
    } else if (obj->hasMessage) {
        out += quoteText(obj->message);
    }
    return out + ")";
}

}  // namespace

void record(const std::string& line) {
    std::lock_guard<std::recursive_mutex> guard(lock());
    recordLines().push_back(line);
    if (recordSink()) recordSink()(line);
}

std::string quoteText(const std::wstring& text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        switch (c) {
            case L'\\': out += "\\\\"; continue;
            case L'"': out += "\\\""; continue;
            case L'\n': out += "\\n"; continue;
            case L'\r': out += "\\r"; continue;
            case L'\t': out += "\\t"; continue;
            case L'\0': out += "\\0"; continue;
            default: break;
        }
        if (c < 0x20 || c == 0x7F) {
            appendEscape(c, &out);
        } else if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            appendUtf8(0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00), &out);
            ++i;
        } else if (isHighSurrogate(c) || isLowSurrogate(c)) {
            appendEscape(c, &out);  // a lone surrogate has no UTF-8 form
        } else {
            appendUtf8(c, &out);
        }
    }
    return out + "\"";
}

std::string render(const Object* obj) { return renderAt(obj, 0); }
std::string render(const Slot& slot) { return renderSlotAt(slot, 0); }
std::string renderClass(const ClassInfo* cls) { return cls ? "class " + cls->name : "null"; }

std::string renderMethod(const MethodInfo* m) {
    return m ? m->owner->name + "." + m->name + m->signature : "null";
}

std::string renderField(const FieldInfo* f) {
    return f ? f->owner->name + "." + f->name + ":" + f->signature : "null";
}

std::string toUtf8(const std::wstring& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            appendUtf8(0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00), &out);
            ++i;
        } else if (isHighSurrogate(c) || isLowSurrogate(c)) {
            appendUtf8(0xFFFD, &out);
        } else {
            appendUtf8(c, &out);
        }
    }
    return out;
}

// Standard UTF-8 (and the modified form, which only differs in how NUL and
// supplementary characters are written); a byte that does not start a valid
// sequence stands for itself.
static std::wstring decodeUtf8(const unsigned char* p, size_t n) {
    std::wstring out;
    size_t i = 0;
    while (i < n) {
        unsigned char b = p[i];
        auto cont = [&](size_t k) { return i + k < n && (p[i + k] & 0xC0) == 0x80; };
        if (b < 0x80) {
            out += static_cast<wchar_t>(b);
            i += 1;
        } else if ((b & 0xE0) == 0xC0 && cont(1)) {
            out += static_cast<wchar_t>(((b & 0x1F) << 6) | (p[i + 1] & 0x3F));
            i += 2;
        } else if ((b & 0xF0) == 0xE0 && cont(1) && cont(2)) {
            out += static_cast<wchar_t>(((b & 0x0F) << 12) | ((p[i + 1] & 0x3F) << 6) | (p[i + 2] & 0x3F));
            i += 3;
        } else if ((b & 0xF8) == 0xF0 && cont(1) && cont(2) && cont(3)) {
            uint32_t cp = ((b & 0x07) << 18) | ((p[i + 1] & 0x3F) << 12) | ((p[i + 2] & 0x3F) << 6) | (p[i + 3] & 0x3F);
            cp -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (cp >> 10));
            out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
            i += 4;
        } else {
            out += static_cast<wchar_t>(b);
            i += 1;
        }
    }
    return out;
}

std::wstring fromUtf8(const std::string& text) {
    return decodeUtf8(reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

std::wstring fromModifiedUtf8(const char* text) {
    return decodeUtf8(reinterpret_cast<const unsigned char*>(text), strlen(text));
}

std::string toModifiedUtf8(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        if (c == 0) out += "\xC0\x80";
        else appendUtf8(static_cast<uint32_t>(c), &out);  // surrogates one by one
    }
    return out;
}

void writeStderr(const std::string& utf8) {
    HANDLE h = GetStdHandle(STD_ERROR_HANDLE);
    if (!h || h == INVALID_HANDLE_VALUE) return;
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(h, &mode)) {
        std::wstring wide = fromUtf8(utf8);
        WriteConsoleW(h, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        WriteFile(h, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    }
}

void fatal(const std::string& message) {
    record("fatal\t" + message);
    writeStderr("fake JNI: " + message + "\n");
    abort();
}

void unimplemented(const char* function) {
    record(std::string("unimplemented\t") + function);
    writeStderr(std::string("fake JNI: unimplemented JNI function ") + function + " called\n");
    abort();
}

}  // namespace internal

std::vector<std::string> records() {
    std::lock_guard<std::recursive_mutex> guard(internal::lock());
    return internal::recordLines();
}

void clearRecords() {
    std::lock_guard<std::recursive_mutex> guard(internal::lock());
    internal::recordLines().clear();
}

void setRecordSink(void (*sink)(const std::string& line)) {
    std::lock_guard<std::recursive_mutex> guard(internal::lock());
    internal::recordSink() = sink;
}

std::string quote(const std::wstring& text) { return internal::quoteText(text); }

}  // namespace fakejni
