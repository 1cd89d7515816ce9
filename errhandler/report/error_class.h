#pragma once
// The library's public class Error, as callers reach it by name:
//   Action        property get / put, a string the library never assigns
//   ErrorHandler  method (ErrorCode, theProjectName, theModule, theRoutine, theDescription,
//                 theLineNumber, theContext, theVersion): no result
//   ID            property get: errorId() of the calling thread's record
//   SendSpooledReports
//                 method, no arguments: sends the reports of this user's report spool that are
//                 due (earlier reports that were not delivered, report_spool.h), at most a
//                 bounded number, oldest first, and returns how many were delivered (a Long).
//                 Blocks while it posts (each post bounded by the report's time-out); safe on any
//                 thread and beside other processes doing the same. Raises only when no
//                 internet session can be opened.
//
// ErrorHandler copies its arguments into the calling thread's error record (the context masked
// by MaskPasswords; null strings count as ""), records the library's and the host's facts,
// appends the log entry (failures swallowed), and then hands the unmasked description to the
// presenter, which shows the error dialog and returns only if the dialog was closed other than
// by its Close button. Arguments are only read, never written back. The presenter's failures are
// raised to the caller as run-time errors.

#include <cstdint>
#include <functional>
#include <string>

#include "platform/runtime/dispatch.h"

namespace kx::errhandler {

using ErrorPresenter = std::function<void(const std::string& description)>;

class Error final : public Dispatch {
  public:
    explicit Error(ErrorPresenter presenter);

    std::string typeName() const override { return "Error"; }
    // Raises 438 for any other member and 450 for a wrong number of arguments.
    Variant invoke(std::string_view member, InvokeKind kind, std::vector<Variant>& args) override;

    std::string Action;

    void ErrorHandler(std::int32_t ErrorCode, const std::string& theProjectName,
                      const std::string& theModule, const std::string& theRoutine,
                      const std::string& theDescription, std::int32_t theLineNumber,
                      const std::string& theContext, const std::string& theVersion);
    std::string ID() const;
    std::int32_t SendSpooledReports();

  private:
    ErrorPresenter presenter_;
};

}  // namespace kx::errhandler
