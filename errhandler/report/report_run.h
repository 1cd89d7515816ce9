#pragma once
// One run of the error report: the twelve report items and the report's id collected on a fresh
// transfer object, kept in the report spool and posted as a form to the report address. The
// dialog drives it step by step between its own screen updates; without a display it runs on its
// own.
//
// The items, in order, each "name:value" (numbers in plain decimal):
//   ProjectName, ProjectVersion, Module, Routine, LineNumber, ErrorNumber (the error code),
//   ErrorDescription (unmasked), Context (the context block), Token (the last-tick token),
//   AppPath, AppName (AppEXEName), ParentProcess,
// and after them ReportId, by which the server stores a report sent twice once.
// The context block is the masked context, two CR LF, then the diagnostics block.

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "errhandler/http/http_transfer.h"
#include "errhandler/report/diagnostics_block.h"
#include "errhandler/report/error_record.h"
#include "errhandler/report/machine_context.h"
#include "errhandler/report/report_spool.h"

namespace kx::errhandler {

// The time-out the report sets on its transfer object, in seconds.
inline constexpr int kReportTimeOutSeconds = 30;

// A run that fails with a run-time error (gathering its items, or opening its session) is made
// again, by the dialog at its next tick and without a display at once, at most this many runs in
// all; after the last one the report ends as not delivered.
inline constexpr int kMaxReportRuns = 3;

// The name of the form field that follows the twelve items.
inline constexpr const char* kReportIdField = "ReportId";

// Where a run takes the machine's facts from.
struct ReportSources {
    std::function<DiagnosticsInputs()> diagnostics = gatherDiagnostics;
    std::function<std::string()> lastTickToken = GetLastTickToken;
};

// Where and how a run posts. The transfer's time-outs follow the report's TimeOut: a server that
// does not accept the connection, or accepts it and then stays silent, ends the run as not
// delivered after that long (a silent one some seconds later, since libcurl measures the transfer
// rate over a few seconds).
struct ReportSettings {
    std::string url;  // see report_address.h
    TransferOptions transfer;
    std::string spoolFolder;  // where reports are kept until delivered; "" keeps no copy

    // The report address and spool of this machine's user, and time-outs of
    // kReportTimeOutSeconds.
    static ReportSettings ofThisMachine();
};

std::string reportContextBlock(const std::string& maskedContext,
                               const DiagnosticsInputs& diagnostics);

std::vector<std::string> reportItems(const ErrorInfo& record, const std::string& contextBlock,
                                     const std::string& token);

// The report counts as delivered when the server's answer holds the digit "1" anywhere.
bool reportDelivered(std::string_view answer);

class ReportRun {
  public:
    // Gathers the diagnostics and the token and adds the twelve items, then the id of `identity`,
    // to a new transfer object. Raises what the sources raise. The runs of one report share its
    // identity, so that a report made again replaces its own copy in the spool.
    ReportRun(const ErrorInfo& record, const ReportSources& sources, ReportSettings settings,
              ReportIdentity identity);

    HTTPTransfer& transfer() { return transfer_; }

    // Keeps the form body in the spool (when the settings name one; a spool that cannot be
    // written only loses the copy), then posts the items; the server's answer, or "" on any
    // failure (the reason is then in transfer().LastError). A delivered report's copy is removed;
    // any other stays for a later start. Raises only when no session can be opened.
    std::string post();

  private:
    ReportSettings settings_;
    ReportIdentity identity_;
    HTTPTransfer transfer_;
};

}  // namespace kx::errhandler
