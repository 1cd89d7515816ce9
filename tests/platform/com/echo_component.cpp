// The test component "KXTest.Echo": a class with no members of its own, for tests of how
// component libraries are registered, loaded and created.

#include <memory>
#include <string>

#include "platform/com/component_server.h"
#include "platform/runtime/run_time_error.h"

namespace {

class Echo : public kx::Dispatch {
  public:
    std::string typeName() const override { return "Echo"; }

    kx::Variant invoke(std::string_view, kx::InvokeKind, std::vector<kx::Variant>&) override {
        kx::raiseError(kx::vberr::kObjectDoesntSupportMember);
    }
};

std::shared_ptr<kx::Dispatch> createEcho() {
    return std::make_shared<Echo>();
}

const kx::com::ComponentClass kClasses[] = {{"KXTest.Echo",
                                             "{6F1C2A3B-4D5E-4F60-8172-93A4B5C6D7E8}",
                                             "KX test echo component", &createEcho}};

}  // namespace

KX_COMPONENT_ENTRY_POINTS(kClasses)
