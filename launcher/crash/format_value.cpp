#include "launcher/crash/format_value.h"

#include <string_view>
#include <vector>

#include "launcher/crash/error_conversion.h"
#include "platform/runtime/dispatch.h"
#include "platform/runtime/run_time_error.h"
#include "platform/runtime/vb_convert.h"

namespace kx::crash {

namespace {

std::string bareName(const std::string& name) {
    return name.substr(0, name.find(' '));
}

std::string pad(std::int32_t indent) {
    return std::string(indent > 0 ? static_cast<std::size_t>(indent) : 0U, ' ');
}

std::string closingTag(const std::string& name, std::int32_t indent) {
    return pad(indent) + "</" + bareName(name) + ">" + kCrLf;
}

std::string tagged(const std::string& name, std::int32_t indent, const std::string& content) {
    return pad(indent) + "<" + name + ">" + content + "</" + bareName(name) + ">" + kCrLf;
}

// The runtime's plain text conversion of numbers, dates, Booleans and text, with every NUL
// character made visible.
std::string plainText(const Variant& value) {
    const std::string text = CStr(value);
    std::string shown;
    shown.reserve(text.size());
    for (char c : text) {
        if (c == '\0') {
            shown += "{Null}";
        } else {
            shown += c;
        }
    }
    return shown;
}

class DumpRenderer {
  public:
    // One entry, with its own error guard: a failure replaces this entry only.
    std::string entry(const std::string& name, const Variant& value, std::int32_t indent,
                      int depth) {
        try {
            if (depth > kMaxDumpNesting) {
                raiseError(kOutOfStackSpace, std::string(), "Out of stack space");
            }
            return unguardedEntry(name, value, indent, depth);
        } catch (const std::exception& e) {
            return formattingErrorEntry(asRuntimeError(e).number());
        }
    }

  private:
    std::string unguardedEntry(const std::string& name, const Variant& value, std::int32_t indent,
                               int depth) {
        switch (value.type()) {
            case VarType::Empty:
                return tagged(name, indent, "{Empty}");
            case VarType::Null:
                return tagged(name, indent, "{Null}");
            case VarType::Missing:
                return tagged(name, indent, "");
            case VarType::Object:
                return objectEntry(name, value.asObject(), indent, depth);
            case VarType::DataObject:
                return tagged(name, indent,
                              value.asDataObject().isNothing() ? "{Nothing}" : "{DataObject}");
            case VarType::Record:
                return tagged(name, indent, "{UDT - " + value.asRecord().typeName + "}");
            case VarType::Array:
                return arrayEntry(name, value.asArray(), indent, depth);
            default:
                return tagged(name, indent, plainText(value));
        }
    }

    static bool answersEnumeration(const Dispatch& object) {
        try {
            return object.isEnumerable();
        } catch (const std::exception&) {
            return false;  // a failing probe counts as "not a collection"
        }
    }

    std::string objectEntry(const std::string& name, const ObjectRef& ref, std::int32_t indent,
                            int depth) {
        if (ref.isNothing()) {
            return tagged(name, indent, "{Nothing}");
        }
        if (!answersEnumeration(*ref.object)) {
            return tagged(name, indent, "{" + ref.object->typeName() + "}");
        }
        std::string members = kCrLf;
        std::int64_t n = 0;
        for (const Variant& member : ref.object->enumerate()) {
            members += entry(name + "[" + std::to_string(++n) + "]", member, indent + 2, depth + 1);
        }
        return tagged(name, indent, members + pad(indent));
    }

    std::string arrayEntry(const std::string& name, const SafeArray& array, std::int32_t indent,
                           int depth) {
        std::string out = pad(indent) + "<" + name + ">" + kCrLf;
        const int dimensions = countDimensions(array);
        if (dimensions == 0) {
            out += "{UnInitialised Array}";
        } else if (dimensions > 3) {
            out += "{Dump truncated at " + std::to_string(dimensions) + " dimensions}";
        } else {
            std::vector<std::int32_t> indexes;
            appendElements(out, array, {name, indent, depth}, indexes, dimensions);
        }
        return out + closingTag(name, indent);
    }

    // Dimensions are counted by asking the lower bound of 1, 2, 3, ... until one fails.
    static int countDimensions(const SafeArray& array) {
        int counted = 0;
        for (;;) {
            try {
                (void)array.lowerBound(counted + 1);
            } catch (const RuntimeError&) {
                return counted;
            }
            ++counted;
        }
    }

    struct ArrayContext {
        const std::string& name;
        std::int32_t indent;
        int depth;
    };

    // Walks the dimensions after those already fixed in `indexes`, first index outermost.
    void appendElements(std::string& out, const SafeArray& array, const ArrayContext& context,
                        std::vector<std::int32_t>& indexes, int dimensions) {
        const int dimension = static_cast<int>(indexes.size()) + 1;
        if (dimension > dimensions) {
            out += entry(context.name + " Index=\"" + joinIndexes(indexes) + "\"",
                         array.at(indexes), context.indent + 2, context.depth + 1);
            return;
        }
        if (dimension >= 2 && qtrDimensionMissing(array, dimension)) {
            out += "{UnInitialised Array Dimension " + std::to_string(dimension) + "}";
            return;
        }
        const std::int64_t upper = array.upperBound(dimension);
        for (std::int64_t i = array.lowerBound(dimension); i <= upper; ++i) {
            indexes.push_back(static_cast<std::int32_t>(i));
            appendElements(out, array, context, indexes, dimensions);
            indexes.pop_back();
        }
    }

    static std::string joinIndexes(const std::vector<std::int32_t>& indexes) {
        std::string joined;
        for (std::size_t d = 0; d < indexes.size(); ++d) {
            joined += (d == 0 ? "" : ",") + std::to_string(indexes[d]);
        }
        return joined;
    }
};

}  // namespace

std::string qtrFormatValue(const std::string& name, const Variant& value, std::int32_t indent) {
    return DumpRenderer().entry(name, value, indent, 0);
}

bool qtrDimensionMissing(const SafeArray& array, int dimension) {
    try {
        (void)array.lowerBound(dimension);
        return false;
    } catch (const RuntimeError& e) {
        return e.number() == vberr::kSubscriptOutOfRange;
    }
}

std::string recordPlaceholder(const std::string& name, const std::string& typeName) {
    return "<" + name + ">{" + typeName + "}</" + name + ">";
}

std::string externalRecordPlaceholder(const std::string& name) {
    return recordPlaceholder(name, "Cannot dump external UDTs");
}

std::string formattingErrorEntry(std::int32_t number) {
    return "{Error " + std::to_string(number) + " formatting for output}";
}

}  // namespace kx::crash
