#include "platform/rowset/ado_errors.h"

#include "platform/runtime/run_time_error.h"

namespace kx::rowset {

namespace {
std::string_view standardSentence(std::int32_t number) {
    switch (number) {
        case adoerr::kNoCurrentRecord:
            return "Either BOF or EOF is True, or the current record has been deleted. Requested "
                   "operation requires a current record.";
        case adoerr::kItemNotFound:
            return "Item cannot be found in the collection corresponding to the requested name "
                   "or ordinal.";
        case adoerr::kBadArguments:
            return "Arguments are of the wrong type, are out of acceptable range, or are in "
                   "conflict with one another.";
        case adoerr::kObjectClosed:
            return "Operation is not allowed when the object is closed.";
        case adoerr::kObjectOpen:
            return "Operation is not allowed when the object is open.";
        case adoerr::kNotAllowedInContext:
            return "Operation is not allowed in this context.";
        case adoerr::kWrongValueType:
            return "Application uses a value of the wrong type for the current operation.";
        default:
            return {};
    }
}
}  // namespace

void raiseAdoError(std::int32_t number, std::string_view detail, std::string_view source) {
    std::string description(standardSentence(number));
    if (!detail.empty()) {
        if (!description.empty()) {
            description += ' ';
        }
        description += detail;
    }
    raiseError(number, std::string(source), std::move(description));
}

void raisePersistenceError(std::string detail) {
    raiseError(adoerr::kPersistence, std::string(kRecordsetSource), std::move(detail));
}

}  // namespace kx::rowset
