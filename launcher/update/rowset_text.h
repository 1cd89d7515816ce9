#pragma once
// Loading a list the server sent as row-set XML text: the text is written into a fresh in-memory
// text stream, the stream is rewound and a row set is opened on it, as every list of the remote
// service is read.

#include <string>

#include "launcher/startup/launcher_state.h"

namespace kx::launcher {

// Replaces `stream` by a newly opened stream holding `xml` and returns a row set opened on it.
// The stream stays open (its owner closes it). Text that is not a row-set document raises the
// row-set reader's run-time error; `stream` is then already replaced.
RecordsetPtr openRowsetFromText(const std::string& xml, StreamPtr& stream);

}  // namespace kx::launcher

namespace kx::launcher {

// The text of a field value; Null (an empty cell) reads as "".
std::string fieldText(const Variant& value);

}  // namespace kx::launcher
