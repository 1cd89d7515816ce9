#include "launcher/startup/launcher_state.h"

#include <vector>

#include "launcher/crash/variable.h"
#include "launcher/crash/variable_dump.h"
#include "platform/runtime/run_time_error.h"

namespace kx::rowset {

namespace {

// What the dump needs of a row set or stream: its type name. The dump never calls members.
class TypeNameOnly final : public Dispatch {
  public:
    explicit TypeNameOnly(std::string typeName) : typeName_(std::move(typeName)) {}
    std::string typeName() const override { return typeName_; }
    Variant invoke(std::string_view, InvokeKind, std::vector<Variant>&) override {
        throw RuntimeError(vberr::kObjectDoesntSupportMember);
    }

  private:
    std::string typeName_;
};

template <typename T>
Variant objectOrNothing(const std::shared_ptr<T>& object, const char* typeName) {
    return object ? Variant::object(std::make_shared<TypeNameOnly>(typeName)) : Variant::nothing();
}

}  // namespace

Variant toVariant(const std::shared_ptr<Recordset>& recordset) {
    return objectOrNothing(recordset, "Recordset");
}

Variant toVariant(const std::shared_ptr<Stream>& stream) {
    return objectOrNothing(stream, "Stream");
}

}  // namespace kx::rowset

namespace kx::launcher {

Module1State& Module1() {
    static Module1State state;
    return state;
}

ModRegistryState& modRegistry() {
    static ModRegistryState state;
    return state;
}

void resetLauncherState() {
    Module1() = Module1State{};
    modRegistry() = ModRegistryState{};
}

namespace {

using crash::Variable;

std::vector<Variable> module1Variables() {
    const Module1State& s = Module1();
#define KX_MODULE1_DUMP(type, name) Variable::of(#name, s.name),
#define KX_MODULE1_PLACEHOLDER(type, name) Variable::externalRecord(#name),
    return {KX_MODULE1_FIELDS(KX_MODULE1_DUMP, KX_MODULE1_PLACEHOLDER)};
#undef KX_MODULE1_DUMP
#undef KX_MODULE1_PLACEHOLDER
}

std::vector<Variable> modRegistryVariables() {
    return {Variable::of("HasAdmin", modRegistry().HasAdmin)};
}

}  // namespace

void registerLauncherStateDump() {
    crash::registerModuleVariables("Module1", module1Variables);
    crash::registerModuleVariables("modRegistry", modRegistryVariables);
}

}  // namespace kx::launcher
