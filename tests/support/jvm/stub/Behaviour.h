// The behaviour file of the stub jvm.dll (jvm.behaviour beside the DLL):
// what JNI_CreateJavaVM and the launcher class's main do.  See README.md.
#pragma once
#include <string>
#include <vector>

namespace stubjvm {

struct Step {
    enum class Kind { Return, Throw, Exit, WaitStop, Sleep, Print };
    Kind kind = Kind::Return;
    std::string text;   // Throw: the message (hasText false: none); Print: the line
    bool hasText = false;
    long number = 0;    // Exit: the code; Sleep: milliseconds
};

struct HiddenMethod {
    std::string className;
    std::string name;
    std::string signature;
};

struct Behaviour {
    bool createFails = false;
    int createResult = 0;
    std::vector<Step> mainSteps;  // run in order; none means return
    std::vector<std::string> hiddenClasses;
    std::vector<HiddenMethod> hiddenMethods;
};

// Parses the UTF-8 text of a behaviour file; on a bad line returns false
// and describes it in *error ("line 3: ...").
bool parseBehaviour(const std::string& text, Behaviour* out, std::string* error);

}  // namespace stubjvm
