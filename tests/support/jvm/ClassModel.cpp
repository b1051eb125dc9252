// The classes the fake JVM knows, read from `javap -s -p` listings: each
// class header gives the name, the superclass and the interfaces; each
// member line is followed by a "descriptor:" line with its JNI signature.
#include <cstdio>
#include <set>

#include "tests/support/jvm/Internal.h"

extern const char kFakeJniGeneratedModel[];  // generated at build time

namespace fakejni {
namespace internal {
namespace {

std::map<std::string, ClassInfo>& classes() {
    static std::map<std::string, ClassInfo> all;
    return all;
}

std::set<const void*>& methodIds() {
    static std::set<const void*> ids;
    return ids;
}

std::set<const void*>& fieldIds() {
    static std::set<const void*> ids;
    return ids;
}

bool& modelLoaded() {
    static bool loaded = false;
    return loaded;
}

std::string jniName(const std::string& dotted) {
    std::string out = dotted;
    for (char& c : out)
        if (c == '.') c = '/';
    return out;
}

// Removes generic type arguments: "java.util.List<? extends T> x" ->
// "java.util.List x".
std::string withoutGenerics(const std::string& text) {
    std::string out;
    int depth = 0;
    for (char c : text) {
        if (c == '<') ++depth;
        else if (c == '>') --depth;
        else if (depth == 0) out += c;
    }
    return out;
}

std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> out;
    std::string word;
    for (char c : text) {
        if (c == ' ' || c == ',' || c == '\t') {
            if (!word.empty()) out.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty()) out.push_back(word);
    return out;
}

bool hasWord(const std::vector<std::string>& ws, const char* w) {
    for (const std::string& x : ws)
        if (x == w) return true;
    return false;
}

// "public abstract class p.q.Base extends p.q.Root implements java.lang.Runnable {"
bool parseClassHeader(const std::string& line, ClassInfo* out) {
    std::vector<std::string> ws = words(withoutGenerics(line.substr(0, line.size() - 1)));
    size_t i = 0;
    while (i < ws.size() && ws[i] != "class" && ws[i] != "interface") ++i;
    if (i + 1 >= ws.size()) return false;
    out->isInterface = ws[i] == "interface";
    out->isAbstract = out->isInterface || hasWord(std::vector<std::string>(ws.begin(), ws.begin() + i), "abstract");
    out->name = jniName(ws[i + 1]);
    std::vector<std::string>* target = nullptr;
    std::vector<std::string> extends;
    for (size_t k = i + 2; k < ws.size(); ++k) {
        if (ws[k] == "extends") target = &extends;
        else if (ws[k] == "implements") target = &out->interfaces;
        else if (target) target->push_back(jniName(ws[k]));
    }
    if (out->isInterface) {
        out->interfaces.insert(out->interfaces.end(), extends.begin(), extends.end());
        out->superName = "java/lang/Object";
    } else if (!extends.empty()) {
        out->superName = extends[0];
    } else if (out->name != "java/lang/Object") {
        out->superName = "java/lang/Object";
    }
    return true;
}

struct PendingMember {
    bool isMethod = false;
    std::string name;
    bool isStatic = false;
    bool isNative = false;
    bool isAbstract = false;
    bool skip = false;  // the static initialiser
};

// "  public static native int add0(int, java.lang.String);"
PendingMember parseMemberLine(const std::string& line, const std::string& classDotted) {
    PendingMember m;
    std::string text = line;
    while (!text.empty() && (text.back() == ';' || text.back() == ' ')) text.pop_back();
    if (text.find("static {}") != std::string::npos) {
        m.skip = true;
        return m;
    }
    size_t paren = text.find('(');
    m.isMethod = paren != std::string::npos;
    std::vector<std::string> ws = words(withoutGenerics(m.isMethod ? text.substr(0, paren) : text));
    if (ws.empty()) {
        m.skip = true;
        return m;
    }
    m.name = ws.back();
    if (m.isMethod && m.name == classDotted) m.name = "<init>";
    m.isStatic = hasWord(ws, "static");
    m.isNative = hasWord(ws, "native");
    m.isAbstract = hasWord(ws, "abstract");
    return m;
}

std::string trimRight(std::string s) {
    while (!s.empty() && (s.back() == '\r' || s.back() == ' ')) s.pop_back();
    return s;
}

void registerIds(const ClassInfo& c) {
    for (const MethodInfo& m : c.methods) methodIds().insert(&m);
    for (const FieldInfo& f : c.fields) fieldIds().insert(&f);
}

bool isPrimitiveLetter(char c) { return std::string("ZBCSIJFD").find(c) != std::string::npos; }

// Array classes are made on demand, like the JVM does, once the element
// type is known.
ClassInfo* arrayClass(const std::string& name) {
    std::string element = name.substr(1);
    if (element.empty()) return nullptr;
    if (element.size() == 1) {
        if (!isPrimitiveLetter(element[0])) return nullptr;
    } else if (element[0] == 'L') {
        if (element.back() != ';' || !lookupClass(element.substr(1, element.size() - 2))) return nullptr;
    } else if (element[0] != '[' || !lookupClass(element)) {
        return nullptr;
    }
    ClassInfo& c = classes()[name];
    if (c.name.empty()) {
        c.name = name;
        c.superName = "java/lang/Object";
        c.interfaces = {"java/lang/Cloneable", "java/io/Serializable"};
        c.isArray = true;
    }
    return &c;
}

bool sameMember(const MethodInfo& m, const std::string& name, const std::string& sig) {
    return !m.hidden && m.name == name && m.signature == sig;
}

const MethodInfo* declaredMethod(const ClassInfo* c, const std::string& name, const std::string& sig) {
    for (const MethodInfo& m : c->methods)
        if (sameMember(m, name, sig)) return &m;
    return nullptr;
}

const MethodInfo* methodInInterfaces(const ClassInfo* c, const std::string& name, const std::string& sig,
                                     int depth) {
    if (depth > 64) return nullptr;
    for (const std::string& i : c->interfaces) {
        const ClassInfo* ic = classIncludingHidden(i);
        if (!ic) continue;
        if (const MethodInfo* m = declaredMethod(ic, name, sig)) return m;
        if (const MethodInfo* m = methodInInterfaces(ic, name, sig, depth + 1)) return m;
    }
    return nullptr;
}

bool implementsInterface(const ClassInfo* c, const std::string& target, int depth) {
    if (depth > 64) return false;
    for (const std::string& i : c->interfaces) {
        if (i == target) return true;
        const ClassInfo* ic = classIncludingHidden(i);
        if (ic && implementsInterface(ic, target, depth + 1)) return true;
    }
    return false;
}

}  // namespace

std::string dottedName(const std::string& name) {
    std::string out = name;
    for (char& c : out)
        if (c == '/') c = '.';
    return out;
}

namespace {

// Reads a listing line by line: a class header opens a class, member lines
// and their "descriptor:" lines fill it, "}" stores it.
struct ListingReader {
    ClassInfo current;
    bool inClass = false;
    bool inModule = false;
    bool sawClass = false;
    PendingMember member;
    bool haveMember = false;

    bool openClass(const std::string& line) {
        if (line.rfind("module ", 0) == 0 || line.find(" module ") != std::string::npos) {
            inModule = true;  // module-info has no classes
            return true;
        }
        current = ClassInfo();
        if (!parseClassHeader(line, &current)) {
            fprintf(stderr, "fake JNI: not a javap class header: %s\n", line.c_str());
            return false;
        }
        inClass = true;
        haveMember = false;
        return true;
    }

    // A class already known keeps its first description.
    void closeClass() {
        if (inClass && !classes().count(current.name)) {
            ClassInfo& stored = classes()[current.name];
            stored = std::move(current);
            for (MethodInfo& m : stored.methods) m.owner = &stored;
            for (FieldInfo& f : stored.fields) f.owner = &stored;
            registerIds(stored);
        }
        sawClass = sawClass || inClass;
        inClass = false;
        inModule = false;
    }

    bool addDescriptor(const std::string& sig) {
        if (!haveMember) {
            fprintf(stderr, "fake JNI: javap descriptor without member in %s\n", current.name.c_str());
            return false;
        }
        haveMember = false;
        if (member.skip) return true;
        if (member.isMethod) {
            MethodInfo m;
            m.name = member.name;
            m.signature = sig;
            m.isStatic = member.isStatic;
            m.isNative = member.isNative;
            m.isAbstract = member.isAbstract;
            current.methods.push_back(m);
        } else {
            FieldInfo f;
            f.name = member.name;
            f.signature = sig;
            f.isStatic = member.isStatic;
            current.fields.push_back(f);
        }
        return true;
    }

    bool readLine(const std::string& line) {
        if (line.empty() || line.rfind("Compiled from", 0) == 0 || line.rfind("Warning", 0) == 0) return true;
        if (!inClass && !inModule && line.back() == '{') return openClass(line);
        if (line == "}") {
            closeClass();
            return true;
        }
        if (!inClass) return true;
        const std::string tag = "    descriptor: ";
        if (line.rfind(tag, 0) == 0) return addDescriptor(line.substr(tag.size()));
        if (line.rfind("  ", 0) == 0 && line.rfind("   ", 0) != 0) {
            member = parseMemberLine(line.substr(2), dottedName(current.name));
            haveMember = true;
        }
        return true;
    }
};

}  // namespace

bool addJavapClasses(const std::string& text) {
    ListingReader reader;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        if (!reader.readLine(trimRight(text.substr(start, end - start)))) return false;
        start = end + 1;
    }
    if (reader.inClass) {
        fprintf(stderr, "fake JNI: javap listing ends inside class %s\n", reader.current.name.c_str());
        return false;
    }
    return reader.sawClass;
}

void ensureModelLoaded() {
    if (modelLoaded()) return;
    modelLoaded() = true;
    if (!addJavapClasses(kFakeJniGeneratedModel)) fatal("the generated class model could not be read");
}

ClassInfo* classIncludingHidden(const std::string& name) {
    ensureModelLoaded();
    if (!name.empty() && name[0] == '[') return arrayClass(name);
    auto it = classes().find(name);
    return it == classes().end() ? nullptr : &it->second;
}

ClassInfo* lookupClass(const std::string& name) {
    ClassInfo* c = classIncludingHidden(name);
    return c && !c->hidden ? c : nullptr;
}

const ClassInfo* superclassOf(const ClassInfo* c) {
    return c->superName.empty() ? nullptr : classIncludingHidden(c->superName);
}

// Array types: primitive elements must match exactly, reference elements
// must be assignable.
static bool arrayAssignable(const ClassInfo* from, const ClassInfo* to) {
    std::string fe = from->name.substr(1);
    std::string te = to->name.substr(1);
    if (fe.size() == 1 || te.size() == 1) return fe == te;
    const ClassInfo* f = classIncludingHidden(fe[0] == 'L' ? fe.substr(1, fe.size() - 2) : fe);
    const ClassInfo* t = classIncludingHidden(te[0] == 'L' ? te.substr(1, te.size() - 2) : te);
    return f && t && isAssignable(f, t);
}

bool isAssignable(const ClassInfo* from, const ClassInfo* to) {
    if (from == to || to->name == "java/lang/Object") return true;
    if (from->isArray) {
        if (to->isArray) return arrayAssignable(from, to);
        return to->name == "java/lang/Cloneable" || to->name == "java/io/Serializable";
    }
    for (const ClassInfo* c = from; c; c = superclassOf(c)) {
        if (c->name == to->name || implementsInterface(c, to->name, 0)) return true;
        // A superclass outside the model still counts by its name.
        if (c->superName == to->name) return true;
    }
    return false;
}

const MethodInfo* findMethod(const ClassInfo* c, const std::string& name, const std::string& sig, bool wantStatic) {
    const MethodInfo* found = nullptr;
    if (name == "<init>") {
        found = declaredMethod(c, name, sig);
    } else {
        for (const ClassInfo* k = c; k && !found; k = superclassOf(k)) found = declaredMethod(k, name, sig);
        if (!found) found = methodInInterfaces(c, name, sig, 0);
    }
    if (!found || found->isStatic != wantStatic) return nullptr;
    return found;
}

const FieldInfo* findField(const ClassInfo* c, const std::string& name, const std::string& sig, bool wantStatic) {
    for (const ClassInfo* k = c; k; k = superclassOf(k))
        for (const FieldInfo& f : k->fields)
            if (!f.hidden && f.name == name && f.signature == sig) return f.isStatic == wantStatic ? &f : nullptr;
    return nullptr;
}

const MethodInfo* resolveVirtual(const ClassInfo* c, const MethodInfo* m) {
    if (m->isStatic || m->name == "<init>") return m;
    for (const ClassInfo* k = c; k; k = superclassOf(k)) {
        const MethodInfo* candidate = declaredMethod(k, m->name, m->signature);
        if (candidate && !candidate->isStatic && !candidate->isAbstract) return candidate;
    }
    return m;
}

bool isKnownMethodId(const void* id) { return methodIds().count(id) != 0; }

bool isKnownFieldId(const void* id) { return fieldIds().count(id) != 0; }

void clearModel() {
    for (auto& entry : classes()) {
        entry.second.hidden = false;
        entry.second.statics.clear();
        entry.second.classObject = nullptr;
        for (MethodInfo& m : entry.second.methods) m.hidden = false;
        for (FieldInfo& f : entry.second.fields) f.hidden = false;
    }
}

bool splitParameters(const std::string& sig, std::vector<std::string>* params, std::string* returnType) {
    if (sig.empty() || sig[0] != '(') return false;
    size_t i = 1;
    params->clear();
    while (i < sig.size() && sig[i] != ')') {
        size_t begin = i;
        while (i < sig.size() && sig[i] == '[') ++i;
        if (i >= sig.size()) return false;
        if (sig[i] == 'L') {
            size_t semi = sig.find(';', i);
            if (semi == std::string::npos) return false;
            i = semi + 1;
        } else if (isPrimitiveLetter(sig[i])) {
            ++i;
        } else {
            return false;
        }
        params->push_back(sig.substr(begin, i - begin));
    }
    if (i >= sig.size()) return false;
    *returnType = sig.substr(i + 1);
    return !returnType->empty();
}

}  // namespace internal
}  // namespace fakejni
