// Reading row-set documents. pugixml builds the tree (it expands no external entities and
// reads no DTD); everything below checks the structure and the values before trusting them.

#include <pugixml.hpp>

#include <cstring>
#include <string>
#include <unordered_map>

#include "platform/rowset/ado_errors.h"
#include "platform/rowset/rowset_xml.h"
#include "platform/rowset/text_fold.h"
#include "platform/rowset/value_text.h"
#include "platform/rowset/xdr_types.h"
#include "platform/text/ascii_text.h"

namespace kx::rowset {

namespace {

std::string_view prefixOf(std::string_view qualified) {
    const std::size_t colon = qualified.find(':');
    return colon == std::string_view::npos ? std::string_view{} : qualified.substr(0, colon);
}

std::string_view localOf(std::string_view qualified) {
    const std::size_t colon = qualified.find(':');
    return colon == std::string_view::npos ? qualified : qualified.substr(colon + 1);
}

// The namespace URI bound to `prefix` in the scope of `node` (the default namespace for an
// empty prefix); empty when unbound.
std::string_view namespaceOf(pugi::xml_node node, std::string_view prefix) {
    for (; node && node.type() == pugi::node_element; node = node.parent()) {
        for (pugi::xml_attribute attribute : node.attributes()) {
            const std::string_view name = attribute.name();
            if (!name.starts_with("xmlns")) {
                continue;
            }
            const std::string_view rest = name.substr(5);
            if ((prefix.empty() && rest.empty()) ||
                (!prefix.empty() && rest.size() == prefix.size() + 1 && rest.front() == ':' &&
                 rest.substr(1) == prefix)) {
                return attribute.value();
            }
        }
    }
    return {};
}

bool isElement(pugi::xml_node node, std::string_view uri, std::string_view local) {
    if (node.type() != pugi::node_element) {
        return false;
    }
    const std::string_view name = node.name();
    return localOf(name) == local && namespaceOf(node, prefixOf(name)) == uri;
}

pugi::xml_node childElement(pugi::xml_node parent, std::string_view uri, std::string_view local) {
    for (pugi::xml_node child : parent.children()) {
        if (isElement(child, uri, local)) {
            return child;
        }
    }
    return {};
}

// A namespace-qualified attribute of `node`; null when absent. Unprefixed attributes are in no
// namespace, so they never match.
pugi::xml_attribute qualifiedAttribute(pugi::xml_node node, std::string_view uri,
                                       std::string_view local) {
    for (pugi::xml_attribute attribute : node.attributes()) {
        const std::string_view name = attribute.name();
        const std::string_view prefix = prefixOf(name);
        if (!prefix.empty() && prefix != "xmlns" && localOf(name) == local &&
            namespaceOf(node, prefix) == uri) {
            return attribute;
        }
    }
    return {};
}

std::string quoteForMessage(std::string_view text) {
    constexpr std::size_t kShown = 64;
    std::string shown(text.substr(0, kShown));
    if (text.size() > kShown) {
        shown += "...";
    }
    return "'" + shown + "'";
}

[[noreturn]] void raiseNotRowset(std::string_view what) {
    raisePersistenceError("The document is not a persisted row set: " + std::string(what) + ".");
}

bool flagValue(pugi::xml_attribute attribute) {
    const std::string_view value = attribute.value();
    return ascii::equalsNoCase(value, "true") || value == "1" || value == "-1";
}

// Reads one column declaration. Type properties may sit on a nested s:datatype or on the
// AttributeType itself; the nested one wins.
class ColumnReader {
  public:
    explicit ColumnReader(pugi::xml_node attributeType)
        : node_(attributeType),
          datatype_(childElement(attributeType, kSchemaNamespace, "datatype")) {}

    FieldInfo read(std::string& xmlName) const {
        xmlName = node_.attribute("name").value();
        if (xmlName.empty()) {
            raiseNotRowset("a column declaration (s:AttributeType) has no name");
        }
        FieldInfo field;
        const pugi::xml_attribute alias = qualifiedAttribute(node_, kRowsetNamespace, "name");
        field.name = alias ? alias.value() : xmlName;
        if (field.name.empty()) {
            raiseNotRowset("the column '" + xmlName + "' has an empty rs:name");
        }
        const std::string_view dtType = typeProperty(kDataTypeNamespace, "type").value();
        const std::string_view dbType = typeProperty(kRowsetNamespace, "dbtype").value();
        field.fixedLength = flagValue(typeProperty(kRowsetNamespace, "fixedlength"));
        field.isLong = flagValue(typeProperty(kRowsetNamespace, "long"));
        auto type = detail::dataTypeFromXdr(dtType, dbType, field.fixedLength, field.isLong);
        if (!type) {
            raiseNotRowset("the column '" + field.name + "' has the unsupported data type " +
                           quoteForMessage(dtType));
        }
        field.type = *type;
        const auto spelling = detail::xdrSpellingOf(field.type);
        field.definedSize = number(typeProperty(kDataTypeNamespace, "maxLength"), field.name,
                                   "dt:maxLength", spelling.size);
        field.precision = static_cast<std::int32_t>(
            number(typeProperty(kRowsetNamespace, "precision"), field.name, "rs:precision", 0));
        field.numericScale = static_cast<std::int32_t>(
            number(typeProperty(kRowsetNamespace, "scale"), field.name, "rs:scale", 0));
        field.nullable = nullability();
        return field;
    }

  private:
    pugi::xml_attribute typeProperty(std::string_view uri, std::string_view local) const {
        if (datatype_) {
            if (auto attribute = qualifiedAttribute(datatype_, uri, local)) {
                return attribute;
            }
        }
        return qualifiedAttribute(node_, uri, local);
    }

    // Without any statement a column may hold Null, as a reader of Null-free data expects.
    bool nullability() const {
        const auto nullable = qualifiedAttribute(node_, kRowsetNamespace, "nullable");
        const auto maybeNull = typeProperty(kRowsetNamespace, "maybenull");
        if (!nullable && !maybeNull) {
            return true;
        }
        return (nullable && flagValue(nullable)) || (maybeNull && flagValue(maybeNull));
    }

    static std::int64_t number(pugi::xml_attribute attribute, const std::string& column,
                               std::string_view property, std::int64_t fallback) {
        if (!attribute) {
            return fallback;
        }
        const auto value = parseXdrValue(DataType::adBigInt, attribute.value());
        const std::int64_t number = value ? std::get<std::int64_t>(value->storage()) : -1;
        if (number < 0 || number > 0x7FFFFFFF) {
            raiseNotRowset("the column '" + column + "' declares an invalid " +
                           std::string(property) + " " + quoteForMessage(attribute.value()));
        }
        return number;
    }

    pugi::xml_node node_;
    pugi::xml_node datatype_;
};

class DocumentReader {
  public:
    RowsetData read(pugi::xml_node root) {
        const pugi::xml_node schema = childElement(root, kSchemaNamespace, "Schema");
        if (!schema) {
            raiseNotRowset("it has no schema (s:Schema in namespace " +
                           std::string(kSchemaNamespace) + ")");
        }
        const pugi::xml_node elementType = childElement(schema, kSchemaNamespace, "ElementType");
        if (!elementType) {
            raiseNotRowset("its schema has no row declaration (s:ElementType)");
        }
        readColumns(elementType);
        const pugi::xml_node rows = childElement(root, kRowsetNamespace, "data");
        if (!rows) {
            raiseNotRowset("it has no data section (rs:data in namespace " +
                           std::string(kRowsetNamespace) + ")");
        }
        readRows(rows);
        return std::move(data_);
    }

  private:
    void readColumns(pugi::xml_node elementType) {
        for (pugi::xml_node child : elementType.children()) {
            if (!isElement(child, kSchemaNamespace, "AttributeType")) {
                continue;
            }
            if (data_.fields.size() >= kMaxColumns) {
                raiseNotRowset("it declares more than " + std::to_string(kMaxColumns) + " columns");
            }
            std::string& xmlName = xmlNames_.emplace_back();
            FieldInfo field = ColumnReader(child).read(xmlName);
            if (data_.fieldIndex(field.name)) {
                raiseNotRowset("it names the column '" + field.name + "' twice");
            }
            data_.fields.push_back(std::move(field));
        }
        if (data_.fields.empty()) {
            raiseNotRowset("its schema declares no columns");
        }
        for (std::size_t i = 0; i < xmlNames_.size(); ++i) {
            if (!columnByXmlName_.emplace(xmlNames_[i], i).second) {
                raiseNotRowset("it uses the attribute name '" + xmlNames_[i] + "' for two columns");
            }
        }
    }

    void readRows(pugi::xml_node rows) {
        for (pugi::xml_node child : rows.children()) {
            if (isElement(child, kRowNamespace, "row")) {
                data_.rows.push_back({readRow(child), RowStatus::Unchanged, {}});
            } else if (isElement(child, kRowsetNamespace, "insert")) {
                for (pugi::xml_node row : rowChildren(child)) {
                    data_.rows.push_back({readRow(row), RowStatus::Inserted, {}});
                }
            } else if (isElement(child, kRowsetNamespace, "update")) {
                readUpdate(child);
            } else if (isElement(child, kRowsetNamespace, "delete")) {
                for (pugi::xml_node row : rowChildren(child)) {
                    data_.deletedRows.push_back(readRow(row));
                }
            }
        }
    }

    std::vector<pugi::xml_node> rowChildren(pugi::xml_node group) const {
        std::vector<pugi::xml_node> result;
        for (pugi::xml_node child : group.children()) {
            if (isElement(child, kRowNamespace, "row")) {
                result.push_back(child);
            }
        }
        return result;
    }

    void readUpdate(pugi::xml_node update) {
        const pugi::xml_node original = childElement(update, kRowsetNamespace, "original");
        const auto originalRows = original ? rowChildren(original) : std::vector<pugi::xml_node>{};
        if (originalRows.size() != 1) {
            raiseNotRowset("a pending update (rs:update) must hold exactly one original row");
        }
        Row row;
        row.status = RowStatus::Modified;
        row.original = readRow(originalRows.front());
        row.values = row.original;
        const auto changes = rowChildren(update);
        if (changes.size() > 1) {
            raiseNotRowset("a pending update (rs:update) holds more than one new row");
        }
        if (!changes.empty()) {
            std::vector<Variant> changed = readRow(changes.front());
            for (std::size_t i = 0; i < changed.size(); ++i) {
                if (!changed[i].isNull()) {
                    row.values[i] = std::move(changed[i]);
                }
            }
        }
        data_.rows.push_back(std::move(row));
    }

    std::vector<Variant> readRow(pugi::xml_node row) {
        ++rowNumber_;
        std::vector<Variant> values(data_.fields.size(), Variant::null());
        std::vector<bool> seen(data_.fields.size(), false);
        for (pugi::xml_attribute attribute : row.attributes()) {
            const auto found = columnByXmlName_.find(attribute.name());
            if (found == columnByXmlName_.end()) {
                continue;  // undeclared attributes (and namespace declarations) are ignored
            }
            const std::size_t column = found->second;
            if (seen[column]) {
                raisePersistenceError("Row " + std::to_string(rowNumber_) +
                                      " of the document gives column '" +
                                      data_.fields[column].name + "' twice.");
            }
            seen[column] = true;
            values[column] = cellValue(column, attribute.value());
        }
        return values;
    }

    Variant cellValue(std::size_t column, std::string_view text) const {
        const FieldInfo& field = data_.fields[column];
        auto value = parseXdrValue(field.type, text);
        if (value && isStringType(field.type) && field.definedSize > 0 &&
            characterCount(text) > static_cast<std::size_t>(field.definedSize)) {
            value.reset();
        }
        if (!value) {
            raisePersistenceError("Row " + std::to_string(rowNumber_) +
                                  " of the document: the value " + quoteForMessage(text) +
                                  " does not fit column '" + field.name + "' of type " +
                                  std::string(dataTypeName(field.type)) +
                                  (field.definedSize > 0 && isStringType(field.type)
                                       ? " (" + std::to_string(field.definedSize) + " characters)"
                                       : std::string()) +
                                  ".");
        }
        return std::move(*value);
    }

    RowsetData data_;
    std::vector<std::string> xmlNames_;  // stable storage for the map's keys
    std::unordered_map<std::string_view, std::size_t> columnByXmlName_;
    std::size_t rowNumber_ = 0;
};

}  // namespace

RowsetData readRowsetXml(std::string_view document) {
    if (document.size() > kMaxDocumentBytes) {
        raisePersistenceError("The row-set document is " + std::to_string(document.size()) +
                              " bytes long; at most " + std::to_string(kMaxDocumentBytes) +
                              " bytes are accepted.");
    }
    pugi::xml_document tree;
    const pugi::xml_parse_result result = tree.load_buffer(
        document.data(), document.size(), pugi::parse_default, pugi::encoding_auto);
    if (!result) {
        raisePersistenceError(
            "The row-set document is not well-formed XML: " + std::string(result.description()) +
            " at offset " + std::to_string(result.offset) + ".");
    }
    const pugi::xml_node root = tree.document_element();
    if (!root) {
        raiseNotRowset("it has no root element");
    }
    return DocumentReader().read(root);
}

}  // namespace kx::rowset
