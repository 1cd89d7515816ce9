#include "launcher/crash/variable.h"

#include "launcher/crash/error_conversion.h"
#include "launcher/crash/format_value.h"

namespace kx::crash {

std::string Variable::render(std::int32_t indent) const {
    const std::string name(name_);
    switch (kind_) {
        case Kind::Record:
            return recordPlaceholder(name, std::string(typeName_));
        case Kind::ExternalRecord:
            return externalRecordPlaceholder(name);
        case Kind::Value:
            break;
    }
    try {
        return qtrFormatValue(name, read_(value_), indent);
    } catch (const std::exception& e) {
        // Reading the value itself failed (a conversion raised).
        return formattingErrorEntry(asRuntimeError(e).number());
    }
}

}  // namespace kx::crash
