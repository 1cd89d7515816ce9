#include "errhandler/report/report_run.h"

#include "errhandler/report/report_address.h"
#include "platform/system/machine_folders.h"

namespace kx::errhandler {

ReportSettings ReportSettings::ofThisMachine() {
    ReportSettings settings;
    settings.url = errorReportUrl();
    settings.transfer.connectTimeout = std::chrono::seconds(kReportTimeOutSeconds);
    settings.transfer.stallTimeout = std::chrono::seconds(kReportTimeOutSeconds);
    settings.spoolFolder = sys::reportSpoolDirectory();
    return settings;
}

std::string reportContextBlock(const std::string& maskedContext,
                               const DiagnosticsInputs& diagnostics) {
    return maskedContext + "\r\n\r\n" + formatDiagnosticsBlock(diagnostics);
}

std::vector<std::string> reportItems(const ErrorInfo& record, const std::string& contextBlock,
                                     const std::string& token) {
    return {"ProjectName:" + record.ProjectName,
            "ProjectVersion:" + record.ProjectVersion,
            "Module:" + record.Module,
            "Routine:" + record.Routine,
            "LineNumber:" + numberText(record.LineNumber),
            "ErrorNumber:" + numberText(record.ErrorCode),
            "ErrorDescription:" + record.Description,
            "Context:" + contextBlock,
            "Token:" + token,
            "AppPath:" + record.AppPath,
            "AppName:" + record.AppEXEName,
            "ParentProcess:" + record.ParentProcess};
}

bool reportDelivered(std::string_view answer) {
    return answer.find('1') != std::string_view::npos;
}

ReportRun::ReportRun(const ErrorInfo& record, const ReportSources& sources, ReportSettings settings,
                     ReportIdentity identity)
    : settings_(std::move(settings)),
      identity_(std::move(identity)),
      transfer_(settings_.transfer) {
    const DiagnosticsInputs diagnostics = sources.diagnostics();
    const std::string token = sources.lastTickToken();
    for (std::string& item :
         reportItems(record, reportContextBlock(record.Context, diagnostics), token)) {
        transfer_.PostItems()->Add(Variant(std::move(item)));
    }
    transfer_.PostItems()->Add(Variant(std::string(kReportIdField) + ":" + identity_.id));
}

std::string ReportRun::post() {
    ReportSpool spool(settings_.spoolFolder);
    std::optional<LockedReport> kept =
        spool.add(identity_, transfer_.engine().PostData(), secondsNow());
    std::string answer = transfer_.GetURLAsString(settings_.url);
    if (kept && reportDelivered(answer)) {
        kept->remove("delivered");
    } else if (kept) {
        kept->keep(secondsNow());
    }
    return answer;
}

}  // namespace kx::errhandler
