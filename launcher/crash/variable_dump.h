#pragma once
// The texts of the variable dump: locals, module variables, global variables, parameters, and the
// context text that carries them to the error library.
//
// The launcher's module-level state is not known here: each module that has module-level
// variables registers a provider that lists them (in declaration order) at start-up, on the
// launcher's thread. The global text is every registered module's list, in the order of
// registration, followed by the five error fields of the crash capture itself.

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "launcher/crash/variable.h"

namespace kx::crash {

using VariableProvider = std::function<std::vector<Variable>()>;

// Registers (or replaces, keeping its place) the variables of `moduleName`. An empty provider
// removes the module.
void registerModuleVariables(const std::string& moduleName, VariableProvider provider);

// The entries of `variables` in their order; "{None}" when there are none.
std::string variablesText(std::span<const Variable> variables);

// The locals text: the record placeholders first, then the other locals, each group in its
// declaration order; "{None}" when there are none.
std::string localsText(std::span<const Variable> locals);

// The module text of a procedure of `moduleName`: its registered variables, or "{None}" for a
// module without module-level variables.
std::string qtrModuleVariables(const std::string& moduleName);

// The global text: all registered modules' variables, then the crash capture's error fields.
std::string qtrGlobalVariables();

// The context text handed to the error library: the <Variables> block (locals, module, global)
// followed by the <Parameters> block; nothing after the last tag.
std::string contextText(const std::string& locals, const std::string& module,
                        const std::string& global, const std::string& parameters);

}  // namespace kx::crash
