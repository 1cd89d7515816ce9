#pragma once
// The fixed texts of the error dialog and of its report without a display.

namespace kx::errhandler {

inline constexpr const char* kDialogCaption = "Kestrix Error";
inline constexpr const char* kThereWasText =
    "There was an error generated in the application.  Please wait while this error is being "
    "packaged and sent to the Kestrix support staff for analysis.";
inline constexpr const char* kErrorTextDesign = "Error Text";
inline constexpr const char* kCloseCaption = "Close";

// The status line through a report: before, while sending, and its two outcomes.
inline constexpr const char* kStatusBefore = "Sending Error Report";
inline constexpr const char* kStatusSending = "Sending data to support team...";
inline constexpr const char* kStatusDelivered = "Transfer of data complete.";
inline constexpr const char* kStatusNotDelivered =
    "Internet Connection: Could not connect to send data.";

// The message box after a report that was not delivered; its lines are separated by single
// carriage returns.
inline constexpr const char* kNotDeliveredMessage =
    "There was an error trying to send data to our support team.\r"
    "This could be caused by internet problems or machine specific problems.\r"
    "Try rebooting and/or check your internet connection.";

}  // namespace kx::errhandler
