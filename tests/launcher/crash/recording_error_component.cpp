// A stand-in for the error library's class "ZNErrHandler.Error": ErrorHandler appends the kind
// and text of each of its arguments to the file named by KX_TEST_ERROR_RECORD; Action is a
// plain read-write property.

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "platform/com/component_server.h"
#include "platform/runtime/run_time_error.h"
#include "platform/runtime/vb_convert.h"

namespace {

class RecordingError : public kx::Dispatch {
  public:
    std::string typeName() const override { return "Error"; }

    kx::Variant invoke(std::string_view member, kx::InvokeKind kind,
                       std::vector<kx::Variant>& args) override {
        if (kx::sameMemberName(member, "Action")) {
            if (kind == kx::InvokeKind::PropertyPut) {
                action_ = args.at(0).asString();
                return {};
            }
            return action_;
        }
        if (!kx::sameMemberName(member, "ErrorHandler")) {
            kx::raiseError(kx::vberr::kObjectDoesntSupportMember);
        }
        if (args.size() != 8) {
            kx::raiseError(kx::vberr::kWrongNumberOfArguments);
        }
        const char* path = std::getenv("KX_TEST_ERROR_RECORD");
        std::ofstream record(path != nullptr ? path : "", std::ios::app | std::ios::binary);
        for (const kx::Variant& arg : args) {
            record << (arg.type() == kx::VarType::Long ? "Long:" : "String:") << kx::CStr(arg)
                   << "\n";
        }
        return {};
    }

  private:
    std::string action_;
};

std::shared_ptr<kx::Dispatch> createRecordingError() {
    return std::make_shared<RecordingError>();
}

const kx::com::ComponentClass kClasses[] = {
    {"ZNErrHandler.Error", "{7C681205-41F3-41BF-A179-AACC6BAC5DD8}",
     "Error-report recorder for tests", &createRecordingError}};

}  // namespace

KX_COMPONENT_ENTRY_POINTS(kClasses)
