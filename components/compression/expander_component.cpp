// The component "KXCompression.Expander": expands a compressed download (expand_file.h) for
// callers that create it by ProgID and call it by member name.
//
//   DestinationFolder, InputFile   text, read and write
//   MaxExpandedBytes               number, read and write; the largest output accepted (4 GiB)
//   Expand()                       True when the input was expanded, else False with LastError
//   LastError                      text, read only; why the last Expand failed, "" after success
//
// Text properties accept only text and the limit only a number, as typed properties of a
// component do: anything else raises the runtime's type mismatch (13); a negative limit raises
// 5 (invalid procedure call).

#include <memory>
#include <string>

#include "components/compression/expand_file.h"
#include "platform/com/component_server.h"
#include "platform/runtime/run_time_error.h"
#include "platform/runtime/vb_convert.h"

namespace {

namespace compression = kx::compression;
using kx::InvokeKind;
using kx::Variant;

void requireCount(const std::vector<Variant>& args, std::size_t count) {
    if (args.size() != count) {
        kx::raiseError(kx::vberr::kWrongNumberOfArguments);
    }
}

class Expander : public kx::Dispatch {
  public:
    std::string typeName() const override { return "Expander"; }

    Variant invoke(std::string_view member, InvokeKind kind, std::vector<Variant>& args) override {
        if (kx::sameMemberName(member, "DestinationFolder")) {
            return textProperty(request_.destinationFolder, kind, args);
        }
        if (kx::sameMemberName(member, "InputFile")) {
            return textProperty(request_.inputFile, kind, args);
        }
        if (kx::sameMemberName(member, "MaxExpandedBytes")) {
            return limitProperty(kind, args);
        }
        if (kx::sameMemberName(member, "Expand") && kind != InvokeKind::PropertyPut) {
            requireCount(args, 0);
            const compression::ExpandResult result = compression::expandFile(request_);
            lastError_ = result.error;
            return result.expanded;
        }
        if (kx::sameMemberName(member, "LastError") && kind != InvokeKind::PropertyPut) {
            requireCount(args, 0);
            return lastError_;
        }
        kx::raiseError(kx::vberr::kObjectDoesntSupportMember);
    }

  private:
    static Variant textProperty(std::string& value, InvokeKind kind, std::vector<Variant>& args) {
        if (kind != InvokeKind::PropertyPut) {
            requireCount(args, 0);
            return value;
        }
        requireCount(args, 1);
        if (!args[0].isString()) {
            kx::raiseError(kx::vberr::kTypeMismatch);
        }
        value = args[0].asString();
        return {};
    }

    Variant limitProperty(InvokeKind kind, std::vector<Variant>& args) {
        if (kind != InvokeKind::PropertyPut) {
            requireCount(args, 0);
            return static_cast<std::int64_t>(request_.maxExpandedBytes);
        }
        requireCount(args, 1);
        if (!args[0].isNumeric()) {
            kx::raiseError(kx::vberr::kTypeMismatch);
        }
        const std::int64_t limit = kx::CLngLng(args[0]);
        if (limit < 0) {
            kx::raiseError(kx::vberr::kInvalidProcedureCall);
        }
        request_.maxExpandedBytes = static_cast<std::uint64_t>(limit);
        return {};
    }

    compression::ExpandRequest request_;
    std::string lastError_;
};

std::shared_ptr<kx::Dispatch> createExpander() {
    return std::make_shared<Expander>();
}

const kx::com::ComponentClass kClasses[] = {{"KXCompression.Expander",
                                             "{87A609B9-D43D-4D2C-B040-3FE47D083986}",
                                             "KX compression expander", &createExpander}};

}  // namespace

KX_COMPONENT_ENTRY_POINTS(kClasses)
