#include "launcher/crash/variable_dump.h"

#include <algorithm>
#include <utility>

#include "launcher/crash/crash_support.h"
#include "launcher/crash/error_conversion.h"
#include "launcher/crash/format_value.h"

namespace kx::crash {

namespace {

constexpr const char* kNone = "{None}";

struct RegisteredModule {
    std::string name;
    VariableProvider provider;
};

std::vector<RegisteredModule>& registeredModules() {
    static std::vector<RegisteredModule> modules;
    return modules;
}

std::vector<RegisteredModule>::iterator findModule(const std::string& moduleName) {
    auto& modules = registeredModules();
    return std::find_if(modules.begin(), modules.end(),
                        [&](const RegisteredModule& m) { return m.name == moduleName; });
}

std::string entriesText(std::span<const Variable> variables) {
    std::string text;
    for (const Variable& variable : variables) {
        text += variable.render(0);
    }
    return text;
}

// A provider that fails yields one error entry in place of its module's variables.
std::string providedText(const VariableProvider& provider) {
    try {
        return entriesText(provider());
    } catch (const std::exception& e) {
        return formattingErrorEntry(asRuntimeError(e).number());
    }
}

std::string crashSupportText() {
    const CrashSupportState& state = modCrashSupport();
    const Variable fields[] = {
        Variable::of("qtrHasInitialised", state.qtrHasInitialised),
        Variable::of("qtrErrorNumber", state.qtrErrorNumber),
        Variable::of("qtrErrorDescription", state.qtrErrorDescription),
        Variable::of("qtrErrorLine", state.qtrErrorLine),
        Variable::of("qtrErrorSource", state.qtrErrorSource),
    };
    return entriesText(fields);
}

}  // namespace

void registerModuleVariables(const std::string& moduleName, VariableProvider provider) {
    auto& modules = registeredModules();
    const auto found = findModule(moduleName);
    if (!provider) {
        if (found != modules.end()) {
            modules.erase(found);
        }
    } else if (found != modules.end()) {
        found->provider = std::move(provider);
    } else {
        modules.push_back({moduleName, std::move(provider)});
    }
}

std::string variablesText(std::span<const Variable> variables) {
    return variables.empty() ? kNone : entriesText(variables);
}

std::string localsText(std::span<const Variable> locals) {
    if (locals.empty()) {
        return kNone;
    }
    std::vector<Variable> ordered(locals.begin(), locals.end());
    std::stable_partition(ordered.begin(), ordered.end(),
                          [](const Variable& v) { return v.isRecordPlaceholder(); });
    return entriesText(ordered);
}

std::string qtrModuleVariables(const std::string& moduleName) {
    const auto found = findModule(moduleName);
    if (found == registeredModules().end()) {
        return kNone;
    }
    const std::string text = providedText(found->provider);
    return text.empty() ? kNone : text;
}

std::string qtrGlobalVariables() {
    std::string text;
    for (const RegisteredModule& module : registeredModules()) {
        text += providedText(module.provider);
    }
    return text + crashSupportText();
}

std::string contextText(const std::string& locals, const std::string& module,
                        const std::string& global, const std::string& parameters) {
    return std::string("<Variables>\r\n<LocalVariables>\r\n") + locals +
           "</LocalVariables>\r\n<ModuleVariables>\r\n" + module +
           "</ModuleVariables>\r\n<GlobalVariables>\r\n" + global +
           "</GlobalVariables>\r\n</Variables>\r\n<Parameters>\r\n" + parameters + "</Parameters>";
}

}  // namespace kx::crash
