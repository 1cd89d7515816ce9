#include "components/whitelabel/white_label.h"

#include <filesystem>
#include <system_error>

#include "components/whitelabel/remap_text.h"
#include "platform/runtime/run_time_error.h"
#include "platform/runtime/vb_convert.h"
#include "platform/text/path_text.h"

namespace kx::whitelabel {

namespace {

constexpr char kFieldSeparator = '^';

std::string itemOf(const Mapping& mapping) {
    return mapping.text + kFieldSeparator + mapping.replacement;
}

std::vector<Mapping> mappingsOfItems(const Variant& table) {
    if (!table.isObject() || table.asObject().isNothing() ||
        !table.asObject().object->isEnumerable()) {
        raiseError(vberr::kTypeMismatch);
    }
    std::vector<Mapping> mappings;
    for (const Variant& item : table.asObject().object->enumerate()) {
        if (!item.isString()) {
            continue;
        }
        const std::string& text = item.asString();
        const auto separator = text.find(kFieldSeparator);
        if (separator != std::string::npos) {
            mappings.push_back({text.substr(0, separator), text.substr(separator + 1)});
        }
    }
    return mappings;
}

void requireArguments(const std::vector<Variant>& args, std::size_t count) {
    if (args.size() != count) {
        raiseError(vberr::kWrongNumberOfArguments);
    }
}

}  // namespace

WhiteLabel::WhiteLabel(std::string mappingFile) : mappingFile_(std::move(mappingFile)) {}

Variant WhiteLabel::invoke(std::string_view member, InvokeKind kind, std::vector<Variant>& args) {
    if (kind != InvokeKind::PropertyPut) {
        if (sameMemberName(member, "GetWhiteLabelMappings")) {
            requireArguments(args, 2);
            return GetWhiteLabelMappings(args[0], CStr(args[1]));
        }
        if (sameMemberName(member, "RemapString")) {
            requireArguments(args, 2);
            return RemapString(args[0], CStr(args[1]));
        }
        if (sameMemberName(member, "RemapIcon")) {
            requireArguments(args, 2);
            return RemapIcon(CStr(args[0]), args[1]);
        }
    }
    raiseError(vberr::kObjectDoesntSupportMember);
}

const std::vector<MappingLine>& WhiteLabel::mappings() {
    if (!mappings_) {
        mappings_ = readMappingFile(mappingFile_);
    }
    return *mappings_;
}

Variant WhiteLabel::GetWhiteLabelMappings(Variant& found, const std::string& prefix) {
    auto table = std::make_shared<Collection>();
    for (const MappingLine& line : mappings()) {
        if (line.prefix == prefix) {
            table->Add(itemOf(line.mapping));
        }
    }
    if (table->Count() > 0) {
        found = true;
    }
    return Variant::object(table);
}

std::string WhiteLabel::RemapString(const Variant& mappings, const std::string& text) {
    return remapText(text, mappingsOfItems(mappings));
}

bool WhiteLabel::RemapIcon(const std::string& iconKey, Variant& iconPath) const {
    if (iconKey.empty()) {
        return false;
    }
    namespace fs = std::filesystem;
    // A key names its picture by a path from the mapping file's folder, or by an absolute path.
    const fs::path picture =
        iconKey.starts_with('/') ? iconKey : joinPath(folderOf(mappingFile_), iconKey);
    std::error_code error;
    if (!fs::is_regular_file(picture, error)) {
        return false;
    }
    iconPath = fs::absolute(picture, error).lexically_normal().string();
    return true;
}

}  // namespace kx::whitelabel
