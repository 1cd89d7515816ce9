#include "errhandler/report/error_record.h"

#include <filesystem>

#include "errhandler/report/machine_context.h"

namespace kx::errhandler {

ErrorInfo& errorRecord() {
    thread_local ErrorInfo record;
    return record;
}

std::string numberText(const std::optional<std::int32_t>& number) {
    return number ? std::to_string(*number) : std::string();
}

std::string errorId(const ErrorInfo& record) {
    return record.ProjectName + "_" + record.ProjectVersion + "_" + record.Module + "_" +
           record.Routine + "_" + numberText(record.LineNumber) + "_" +
           numberText(record.ErrorCode);
}

void recordHostFacts(ErrorInfo& record) {
    const std::string library = GetLibraryFilePath();
    record.AppPath = GetLibraryDirectory();
    record.AppEXEName = library.empty() ? "" : std::filesystem::path(library).stem().string();
    record.ParentProcess = GetParentProcess(record.AppPath);
}

}  // namespace kx::errhandler
