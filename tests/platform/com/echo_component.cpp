// The test component "KXTest.Echo": a class that records the members called on it, writes back
// into by-reference arguments, has a read-write property and returns a collection.

#include <memory>
#include <string>

#include "platform/com/component_server.h"
#include "platform/runtime/run_time_error.h"

namespace {

class Echo : public kx::Dispatch {
  public:
    std::string typeName() const override { return "Echo"; }

    kx::Variant invoke(std::string_view member, kx::InvokeKind kind,
                       std::vector<kx::Variant>& args) override {
        calls_ += std::string(member) + ";";
        if (kx::sameMemberName(member, "Greeting")) {
            return greeting(kind, args);
        }
        if (kx::sameMemberName(member, "Calls")) {
            return calls_;
        }
        if (kx::sameMemberName(member, "Swap")) {
            requireCount(args, 2);
            std::swap(args[0], args[1]);
            return {};
        }
        if (kx::sameMemberName(member, "Items")) {
            auto items = std::make_shared<kx::Collection>();
            for (const kx::Variant& arg : args) {
                items->Add(arg);
            }
            return kx::Variant::object(items);
        }
        kx::raiseError(kx::vberr::kObjectDoesntSupportMember);
    }

  private:
    kx::Variant greeting(kx::InvokeKind kind, std::vector<kx::Variant>& args) {
        if (kind == kx::InvokeKind::PropertyPut) {
            requireCount(args, 1);
            greeting_ = args[0].asString();
            return {};
        }
        return greeting_;
    }

    static void requireCount(const std::vector<kx::Variant>& args, std::size_t count) {
        if (args.size() != count) {
            kx::raiseError(kx::vberr::kWrongNumberOfArguments);
        }
    }

    std::string calls_;
    std::string greeting_ = "hello";
};

std::shared_ptr<kx::Dispatch> createEcho() {
    return std::make_shared<Echo>();
}

const kx::com::ComponentClass kClasses[] = {{"KXTest.Echo",
                                             "{6F1C2A3B-4D5E-4F60-8172-93A4B5C6D7E8}",
                                             "KX test echo component", &createEcho}};

}  // namespace

KX_COMPONENT_ENTRY_POINTS(kClasses)
