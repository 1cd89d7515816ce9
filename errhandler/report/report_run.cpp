#include "report_run.h"

#include "report_address.h"

namespace kx::errhandler {

ReportSettings ReportSettings::ofThisMachine() {
    ReportSettings settings;
    settings.url = errorReportUrl();
    settings.transfer.connectTimeout = std::chrono::seconds(kReportTimeOutSeconds);
    settings.transfer.stallTimeout = std::chrono::seconds(kReportTimeOutSeconds);
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

ReportRun::ReportRun(const ErrorInfo& record, const ReportSources& sources, ReportSettings settings)
    : settings_(std::move(settings)), transfer_(settings_.transfer) {
    const DiagnosticsInputs diagnostics = sources.diagnostics();
    const std::string token = sources.lastTickToken();
    for (std::string& item :
         reportItems(record, reportContextBlock(record.Context, diagnostics), token)) {
        transfer_.PostItems()->Add(Variant(std::move(item)));
    }
}

std::string ReportRun::post() {
    return transfer_.GetURLAsString(settings_.url);
}

}  // namespace kx::errhandler
