// The demo catalog's component "KXDemo.Greeting": installed as a type-1 row, so the launcher
// puts it in place and registers it; the demo application then creates it by its ProgID.

#include <memory>
#include <string>

#include "platform/com/component_server.h"
#include "platform/runtime/run_time_error.h"

namespace {

class Greeting final : public kx::Dispatch {
  public:
    std::string typeName() const override { return "Greeting"; }

    kx::Variant invoke(std::string_view member, kx::InvokeKind kind,
                       std::vector<kx::Variant>& args) override {
        if (kx::sameMemberName(member, "Text") && kind != kx::InvokeKind::PropertyPut &&
            args.empty()) {
            return kx::Variant("Hello from the registered demo component.");
        }
        kx::raiseError(kx::vberr::kObjectDoesntSupportMember);
    }
};

std::shared_ptr<kx::Dispatch> createGreeting() {
    return std::make_shared<Greeting>();
}

const kx::com::ComponentClass kClasses[] = {{"KXDemo.Greeting",
                                             "{5B0E7C1A-3D2F-4A8B-9C61-2E7F4D8A1B35}",
                                             "KX Vantor demo component", &createGreeting}};

}  // namespace

KX_COMPONENT_ENTRY_POINTS(kClasses)
