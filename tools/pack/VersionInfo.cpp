#include "tools/pack/VersionInfo.h"

#include <cctype>

namespace {

constexpr uint32_t kFixedSignature = 0xFEEF04BD;
constexpr uint32_t kFixedStructVersion = 0x00010000;
constexpr uint32_t kFlagsMask = 0x3F;        // VS_FFI_FILEFLAGSMASK
constexpr uint32_t kWindowsNt32 = 0x00040004;  // VOS_NT_WINDOWS32
constexpr uint32_t kApplication = 1;         // VFT_APP
constexpr uint16_t kBinary = 0;
constexpr uint16_t kText = 1;
constexpr uint16_t kTranslationLanguage = 0x0409;
constexpr uint16_t kTranslationCodePage = 1200;  // UTF-16
const char16_t* const kStringTableKey = u"040904B0";

struct FieldNames {
    VersionField field;
    const char* key;
    const char* setting;
};

const FieldNames kFields[kVersionFieldCount] = {
    {VersionField::CompanyName, "CompanyName", "company-name"},
    {VersionField::FileDescription, "FileDescription", "file-description"},
    {VersionField::FileVersion, "FileVersion", "file-version"},
    {VersionField::InternalName, "InternalName", "internal-name"},
    {VersionField::LegalCopyright, "LegalCopyright", "legal-copyright"},
    {VersionField::OriginalFilename, "OriginalFilename", "original-filename"},
    {VersionField::ProductName, "ProductName", "product-name"},
    {VersionField::ProductVersion, "ProductVersion", "product-version"},
};

std::u16string wide(const char* ascii) {
    std::u16string out;
    for (; *ascii; ++ascii) out.push_back(static_cast<char16_t>(*ascii));
    return out;
}

void append16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void append32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void appendText(std::vector<uint8_t>& b, const std::u16string& text) {
    for (char16_t c : text) append16(b, static_cast<uint16_t>(c));
    append16(b, 0);
}
void padTo4(std::vector<uint8_t>& b) {
    while (b.size() % 4) b.push_back(0);
}
uint16_t u16(const std::vector<uint8_t>& b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }
uint32_t u32(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint32_t>(u16(b, at)) | (static_cast<uint32_t>(u16(b, at + 2)) << 16);
}

// One node of the version tree: a length, the length of its value, its
// type, a key, the value and the children, each of the last three starting
// on a 32-bit boundary.  The length leaves out padding behind the node.
struct Node {
    std::u16string key;
    uint16_t type = kText;
    uint16_t valueLength = 0;  // in bytes for binary values, in characters for text
    std::vector<uint8_t> value;
    std::vector<Node> children;
};

void writeNode(std::vector<uint8_t>& out, const Node& node) {
    padTo4(out);
    const size_t start = out.size();
    append16(out, 0);  // the length, set below
    append16(out, node.valueLength);
    append16(out, node.type);
    appendText(out, node.key);
    padTo4(out);
    out.insert(out.end(), node.value.begin(), node.value.end());
    for (const Node& child : node.children) writeNode(out, child);
    const size_t length = out.size() - start;
    out[start] = static_cast<uint8_t>(length);
    out[start + 1] = static_cast<uint8_t>(length >> 8);
}

Node stringNode(const char* key, const std::u16string& value) {
    Node node;
    node.key = wide(key);
    node.valueLength = static_cast<uint16_t>(value.size() + 1);  // with the terminating NUL, as Windows counts
    appendText(node.value, value);
    return node;
}

std::vector<uint8_t> fixedInfo(const VersionInfo& info) {
    std::vector<uint8_t> b;
    append32(b, kFixedSignature);
    append32(b, kFixedStructVersion);
    for (const uint16_t* v : {info.fileVersion, info.productVersion}) {
        append32(b, (static_cast<uint32_t>(v[0]) << 16) | v[1]);
        append32(b, (static_cast<uint32_t>(v[2]) << 16) | v[3]);
    }
    append32(b, kFlagsMask);
    append32(b, 0);  // flags
    append32(b, kWindowsNt32);
    append32(b, kApplication);
    append32(b, 0);  // subtype
    append32(b, 0);  // date
    append32(b, 0);
    return b;
}

// A node read in place: offsets into the data.
struct NodeView {
    size_t start = 0, end = 0;  // end = start + length
    std::u16string key;
    uint16_t type = 0;
    size_t valueStart = 0, valueEnd = 0;  // the value, as far as it can be told
    size_t childrenStart = 0;
};

bool readNode(const std::vector<uint8_t>& data, size_t start, size_t limit, NodeView& node) {
    if (start + 6 > limit) return false;
    const size_t length = u16(data, start);
    if (length < 6 || start + length > limit) return false;
    node = NodeView();
    node.start = start;
    node.end = start + length;
    const uint16_t valueLength = u16(data, start + 2);
    node.type = u16(data, start + 4);
    size_t at = start + 6;
    for (;; at += 2) {
        if (at + 2 > node.end) return false;
        const uint16_t c = u16(data, at);
        if (c == 0) break;
        node.key.push_back(static_cast<char16_t>(c));
    }
    at = (at + 2 + 3) & ~static_cast<size_t>(3);
    node.valueStart = at < node.end ? at : node.end;
    const size_t valueBytes = node.type == kText ? 2u * valueLength : valueLength;
    node.valueEnd = node.valueStart + valueBytes < node.end ? node.valueStart + valueBytes : node.end;
    node.childrenStart = (node.valueEnd + 3) & ~static_cast<size_t>(3);
    return true;
}

std::vector<NodeView> childrenOf(const std::vector<uint8_t>& data, const NodeView& parent) {
    std::vector<NodeView> children;
    size_t at = parent.childrenStart;
    NodeView child;
    while (at < parent.end && readNode(data, at, parent.end, child)) {
        children.push_back(child);
        at = (child.end + 3) & ~static_cast<size_t>(3);
    }
    return children;
}

// A text value up to its NUL; some writers count its length in bytes, so
// the NUL decides rather than the stated length.
std::u16string textOf(const std::vector<uint8_t>& data, const NodeView& node) {
    std::u16string text;
    for (size_t at = node.valueStart; at + 2 <= node.end; at += 2) {
        const uint16_t c = u16(data, at);
        if (c == 0) break;
        text.push_back(static_cast<char16_t>(c));
    }
    return text;
}

void readFixed(const std::vector<uint8_t>& data, const NodeView& root, VersionInfo& out) {
    if (root.valueEnd - root.valueStart < 24 || u32(data, root.valueStart) != kFixedSignature) return;
    uint16_t* targets[2] = {out.fileVersion, out.productVersion};
    for (int k = 0; k < 2; ++k) {
        const uint32_t ms = u32(data, root.valueStart + 8 + 8 * k), ls = u32(data, root.valueStart + 12 + 8 * k);
        targets[k][0] = static_cast<uint16_t>(ms >> 16);
        targets[k][1] = static_cast<uint16_t>(ms);
        targets[k][2] = static_cast<uint16_t>(ls >> 16);
        targets[k][3] = static_cast<uint16_t>(ls);
    }
}

void readStrings(const std::vector<uint8_t>& data, const NodeView& table, VersionInfo& out) {
    for (const NodeView& s : childrenOf(data, table)) {
        for (const FieldNames& f : kFields) {
            if (s.key == wide(f.key)) {
                out.set(f.field, textOf(data, s));
                break;
            }
        }
    }
}

}  // namespace

const char* versionFieldKey(VersionField field) { return kFields[static_cast<size_t>(field)].key; }
const char* versionFieldSetting(VersionField field) { return kFields[static_cast<size_t>(field)].setting; }

bool operator==(const VersionInfo& a, const VersionInfo& b) {
    for (int i = 0; i < 4; ++i)
        if (a.fileVersion[i] != b.fileVersion[i] || a.productVersion[i] != b.productVersion[i]) return false;
    for (size_t i = 0; i < kVersionFieldCount; ++i)
        if (a.present[i] != b.present[i] || (a.present[i] && a.text[i] != b.text[i])) return false;
    return true;
}

bool parseVersionNumbers(const std::string& text, uint16_t (&out)[4], std::string& error) {
    for (uint16_t& v : out) v = 0;
    size_t part = 0, start = 0;
    while (true) {
        const size_t dot = text.find('.', start);
        const std::string number = text.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        if (part == 4) {
            error = "has more than four parts";
            return false;
        }
        if (number.empty()) {
            error = "has an empty part";
            return false;
        }
        uint32_t value = 0;
        for (char c : number) {
            if (!std::isdigit(static_cast<unsigned char>(c))) {
                error = "has the part \"" + number + "\", which is not a number";
                return false;
            }
            if (value <= 65535) value = value * 10 + static_cast<uint32_t>(c - '0');
        }
        if (value > 65535) {
            error = "has a part above 65535";
            return false;
        }
        out[part++] = static_cast<uint16_t>(value);
        if (dot == std::string::npos) return true;
        start = dot + 1;
    }
}

std::vector<uint8_t> writeVersionResource(const VersionInfo& info) {
    Node table;
    table.key = kStringTableKey;
    for (const FieldNames& f : kFields)
        if (info.has(f.field)) table.children.push_back(stringNode(f.key, info.get(f.field)));
    Node strings;
    strings.key = u"StringFileInfo";
    strings.children.push_back(table);

    Node translation;
    translation.key = u"Translation";
    translation.type = kBinary;
    translation.valueLength = 4;
    append16(translation.value, kTranslationLanguage);
    append16(translation.value, kTranslationCodePage);
    Node variables;
    variables.key = u"VarFileInfo";
    variables.children.push_back(translation);

    Node root;
    root.key = u"VS_VERSION_INFO";
    root.type = kBinary;
    root.value = fixedInfo(info);
    root.valueLength = static_cast<uint16_t>(root.value.size());
    root.children = {strings, variables};
    std::vector<uint8_t> out;
    writeNode(out, root);
    return out;
}

bool readVersionResource(const std::vector<uint8_t>& data, VersionInfo& out) {
    out = VersionInfo();
    NodeView root;
    if (!readNode(data, 0, data.size(), root) || root.key != u"VS_VERSION_INFO") return false;
    readFixed(data, root, out);
    for (const NodeView& child : childrenOf(data, root)) {
        if (child.key != u"StringFileInfo") continue;
        const std::vector<NodeView> tables = childrenOf(data, child);
        if (!tables.empty()) readStrings(data, tables[0], out);
        break;
    }
    return true;
}

void setVersionResource(std::vector<Resource>& resources, const VersionInfo& info) {
    removeResourceType(resources, kVersionResource);
    Resource r;
    r.type = ResourceId::of(kVersionResource);
    r.name = ResourceId::of(1);
    r.language = ResourceId::of(kEnglishUs);
    r.data = writeVersionResource(info);
    resources.push_back(std::move(r));
    normalizeResources(resources);
}

bool firstVersionResource(const std::vector<Resource>& resources, VersionInfo& out) {
    for (const Resource& r : resources)
        if (r.type == ResourceId::of(kVersionResource)) return readVersionResource(r.data, out);
    return false;
}
