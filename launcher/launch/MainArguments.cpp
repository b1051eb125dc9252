#include "launcher/launch/MainArguments.h"

#include "launcher/config/CommandLine.h"

namespace {

bool startsWith(const std::wstring& text, const wchar_t* prefix) {
    return text.compare(0, std::char_traits<wchar_t>::length(prefix), prefix) == 0;
}

const wchar_t* flag(bool on) { return on ? L"true" : L"false"; }

}  // namespace

std::vector<std::wstring> buildMainArguments(const MainArgumentInputs& inputs,
                                             const std::vector<std::wstring>& arguments) {
    std::vector<std::wstring> out;
    out.push_back(flag(inputs.guiApplication));
    out.push_back((inputs.moduleMode ? L"/" : L"") + inputs.mainClass);
    out.push_back(inputs.errorFile);
    out.push_back(inputs.outputFile);
    out.push_back(flag(inputs.flag106));
    if (!arguments.empty()) out.push_back(arguments[0]);
    splitCommandLine(inputs.fixedArguments.c_str(), out);
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::wstring& a = arguments[i];
        if (inputs.jArgumentsAreVmOptions && startsWith(a, L"-J")) continue;
        if (startsWith(a, L"-Dsun.locale.formatasdefault=")) continue;
        out.push_back(a);
    }
    return out;
}
