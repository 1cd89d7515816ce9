#include "errhandler/report/error_class.h"

#include "errhandler/report/error_log.h"
#include "errhandler/report/error_record.h"
#include "errhandler/report/mask_passwords.h"
#include "errhandler/report/spooled_sending.h"
#include "platform/runtime/run_time_error.h"
#include "platform/runtime/vb_convert.h"

namespace kx::errhandler {

namespace {

constexpr std::size_t kErrorHandlerArguments = 8;

std::string textOf(const Variant& argument) {
    return argument.isNull() ? std::string() : CStr(argument);
}

void requireArguments(const std::vector<Variant>& args, std::size_t count) {
    if (args.size() != count) {
        raiseError(vberr::kWrongNumberOfArguments);
    }
}

}  // namespace

Error::Error(ErrorPresenter presenter) : presenter_(std::move(presenter)) {}

Variant Error::invoke(std::string_view member, InvokeKind kind, std::vector<Variant>& args) {
    if (sameMemberName(member, "Action") && kind == InvokeKind::PropertyPut) {
        requireArguments(args, 1);
        Action = textOf(args[0]);
        return {};
    }
    if (sameMemberName(member, "Action") && kind == InvokeKind::PropertyGet) {
        requireArguments(args, 0);
        return Variant(Action);
    }
    if (sameMemberName(member, "ID") && kind == InvokeKind::PropertyGet) {
        requireArguments(args, 0);
        return Variant(ID());
    }
    if (sameMemberName(member, "SendSpooledReports") && kind == InvokeKind::Method) {
        requireArguments(args, 0);
        return Variant(SendSpooledReports());
    }
    if (sameMemberName(member, "ErrorHandler") && kind == InvokeKind::Method) {
        requireArguments(args, kErrorHandlerArguments);
        ErrorHandler(CLng(args[0]), textOf(args[1]), textOf(args[2]), textOf(args[3]),
                     textOf(args[4]), CLng(args[5]), textOf(args[6]), textOf(args[7]));
        return {};
    }
    raiseError(vberr::kObjectDoesntSupportMember);
}

void Error::ErrorHandler(std::int32_t ErrorCode, const std::string& theProjectName,
                         const std::string& theModule, const std::string& theRoutine,
                         const std::string& theDescription, std::int32_t theLineNumber,
                         const std::string& theContext, const std::string& theVersion) {
    ErrorInfo& record = errorRecord();
    record = ErrorInfo{};
    record.ProjectName = theProjectName;
    record.ProjectVersion = theVersion;
    record.Module = theModule;
    record.Routine = theRoutine;
    record.LineNumber = theLineNumber;
    record.ErrorCode = ErrorCode;
    record.Description = theDescription;
    record.Context = MaskPasswords(theContext);
    recordHostFacts(record);
    appendErrorLog(record);
    presenter_(theDescription);
}

std::int32_t Error::SendSpooledReports() {
    const ReportSettings settings = ReportSettings::ofThisMachine();
    ReportSpool spool(settings.spoolFolder);
    return sendSpooledReports(spool, settings, secondsNow());
}

std::string Error::ID() const {
    return errorId(errorRecord());
}

}  // namespace kx::errhandler
