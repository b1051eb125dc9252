#include "tests/support/jvm/stub/Behaviour.h"

#include <cerrno>
#include <cstdlib>

namespace stubjvm {
namespace {

std::string trim(const std::string& s) {
    size_t begin = s.find_first_not_of(" \t\r");
    if (begin == std::string::npos) return std::string();
    size_t end = s.find_last_not_of(" \t\r");
    return s.substr(begin, end - begin + 1);
}

// Splits "word rest of line" at the first blank.
void splitWord(const std::string& line, std::string* word, std::string* rest) {
    size_t blank = line.find_first_of(" \t");
    *word = line.substr(0, blank);
    *rest = blank == std::string::npos ? std::string() : trim(line.substr(blank));
}

bool parseNumber(const std::string& text, long* out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    long n = strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0') return false;
    *out = n;
    return true;
}

bool parseMainStep(const std::string& text, Step* step, std::string* problem) {
    std::string word, rest;
    splitWord(text, &word, &rest);
    if (word == "return" && rest.empty()) {
        step->kind = Step::Kind::Return;
    } else if (word == "throw") {
        step->kind = Step::Kind::Throw;
        step->hasText = !rest.empty();
        step->text = rest;
    } else if (word == "exit") {
        step->kind = Step::Kind::Exit;
        if (!parseNumber(rest, &step->number)) *problem = "exit needs a code";
    } else if (word == "wait-stop" && rest.empty()) {
        step->kind = Step::Kind::WaitStop;
    } else if (word == "sleep") {
        step->kind = Step::Kind::Sleep;
        if (!parseNumber(rest, &step->number) || step->number < 0) *problem = "sleep needs milliseconds";
    } else if (word == "print") {
        step->kind = Step::Kind::Print;
        step->hasText = true;
        step->text = rest;
    } else {
        *problem = "unknown main step \"" + text + "\"";
    }
    return problem->empty();
}

bool parseLine(const std::string& line, Behaviour* out, std::string* problem) {
    std::string word, rest;
    splitWord(line, &word, &rest);
    if (word == "create-fail") {
        long code = 0;
        if (!parseNumber(rest, &code) || code == 0) *problem = "create-fail needs a non-zero code";
        out->createFails = true;
        out->createResult = static_cast<int>(code);
    } else if (word == "main") {
        Step step;
        if (parseMainStep(rest, &step, problem)) out->mainSteps.push_back(step);
    } else if (word == "hide-class") {
        if (rest.empty() || rest.find_first_of(" \t") != std::string::npos) *problem = "hide-class needs one class name";
        else out->hiddenClasses.push_back(rest);
    } else if (word == "hide-method") {
        HiddenMethod m;
        std::string more;
        splitWord(rest, &m.className, &more);
        splitWord(more, &m.name, &m.signature);
        if (m.className.empty() || m.name.empty() || m.signature.empty() ||
            m.signature.find_first_of(" \t") != std::string::npos)
            *problem = "hide-method needs a class, a name and a signature";
        else out->hiddenMethods.push_back(m);
    } else {
        *problem = "unknown keyword \"" + word + "\"";
    }
    return problem->empty();
}

}  // namespace

bool parseBehaviour(const std::string& text, Behaviour* out, std::string* error) {
    *out = Behaviour();
    std::string body = text.rfind("\xEF\xBB\xBF", 0) == 0 ? text.substr(3) : text;
    size_t start = 0;
    int lineNumber = 0;
    while (start < body.size()) {
        size_t end = body.find('\n', start);
        if (end == std::string::npos) end = body.size();
        std::string line = trim(body.substr(start, end - start));
        start = end + 1;
        ++lineNumber;
        if (line.empty() || line[0] == '#') continue;
        std::string problem;
        if (!parseLine(line, out, &problem)) {
            *error = "line " + std::to_string(lineNumber) + ": " + problem;
            return false;
        }
    }
    return true;
}

}  // namespace stubjvm
