// Writing row-set documents in the layout the old library produced, so that every reader of
// the old files (and our own) loads them.

#include <set>
#include <string>

#include "platform/rowset/ado_errors.h"
#include "platform/rowset/rowset_xml.h"
#include "platform/rowset/text_fold.h"
#include "platform/rowset/value_text.h"
#include "platform/rowset/xdr_types.h"
#include "platform/text/ascii_text.h"

namespace kx::rowset {

namespace {

// A name every XML reader takes as an attribute name: ASCII letters, digits, '.', '-', '_',
// not starting with a digit, '.', '-' or the reserved "xml".
bool isPlainXmlName(std::string_view name) {
    if (name.empty() || !(ascii::isLetter(name.front()) || name.front() == '_')) {
        return false;
    }
    if (name.size() >= 3 && ascii::equalsNoCase(name.substr(0, 3), "xml")) {
        return false;
    }
    for (char c : name) {
        if (!(ascii::isLetter(c) || ascii::isDigit(c) || c == '.' || c == '-' || c == '_')) {
            return false;
        }
    }
    return true;
}

// The attribute name of each column: its own name when that is a plain XML name, otherwise
// c<index> (made unique should a column really be called that).
std::vector<std::string> attributeNames(const std::vector<FieldInfo>& fields) {
    std::set<std::string> taken;
    for (const FieldInfo& field : fields) {
        if (isPlainXmlName(field.name)) {
            taken.insert(field.name);
        }
    }
    std::vector<std::string> names;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (isPlainXmlName(fields[i].name)) {
            names.push_back(fields[i].name);
            continue;
        }
        std::string alias = "c" + std::to_string(i);
        while (!taken.insert(alias).second) {
            alias += '_';
        }
        names.push_back(alias);
    }
    return names;
}

// Appends `text` as the content of a single-quoted attribute. Line breaks and tabs are written
// as character references, since a reader turns literal ones into blanks.
void appendEscaped(std::string& out, std::string_view text, std::string_view columnName) {
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '\'':
                out += "&apos;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\n':
                out += "&#xa;";
                break;
            case '\r':
                out += "&#xd;";
                break;
            case '\t':
                out += "&#x9;";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    raisePersistenceError(
                        "The row set cannot be written: a value or the name of "
                        "column '" +
                        std::string(columnName) + "' contains the control character " +
                        std::to_string(static_cast<int>(c)) + ", which XML cannot carry.");
                }
                out += c;
        }
    }
}

// `columnName` names the column in an error message.
void appendAttribute(std::string& out, std::string_view name, std::string_view value,
                     std::string_view columnName) {
    out += ' ';
    out += name;
    out += "='";
    appendEscaped(out, value, columnName);
    out += '\'';
}

class DocumentWriter {
  public:
    explicit DocumentWriter(const RowsetData& data)
        : data_(data), names_(attributeNames(data.fields)) {}

    std::string write(const std::vector<std::size_t>& rowIndexes) {
        out_ += "<xml xmlns:s='";
        out_ += kSchemaNamespace;
        out_ += "'\n\txmlns:dt='";
        out_ += kDataTypeNamespace;
        out_ += "'\n\txmlns:rs='";
        out_ += kRowsetNamespace;
        out_ += "'\n\txmlns:z='";
        out_ += kRowNamespace;
        out_ += "'>\n<s:Schema id='RowsetSchema'>\n\t<s:ElementType name='row' content='eltOnly'";
        if (data_.hasPendingChanges()) {
            out_ += " rs:updatable='true'";
        }
        out_ += ">\n";
        for (std::size_t i = 0; i < data_.fields.size(); ++i) {
            writeColumn(i);
        }
        out_ += "\t\t<s:extends type='rs:rowbase'/>\n\t</s:ElementType>\n</s:Schema>\n<rs:data>\n";
        writeRows(rowIndexes);
        out_ += "</rs:data>\n</xml>\n";
        return std::move(out_);
    }

  private:
    void writeColumn(std::size_t index) {
        const FieldInfo& field = data_.fields[index];
        out_ += "\t\t<s:AttributeType";
        appendAttribute(out_, "name", names_[index], field.name);
        if (names_[index] != field.name) {
            appendAttribute(out_, "rs:name", field.name, field.name);
        }
        out_ += " rs:number='" + std::to_string(index + 1) + "'";
        if (field.nullable) {
            out_ += " rs:nullable='true'";
        }
        out_ += " rs:write='true'>\n\t\t\t<s:datatype dt:type='";
        const auto spelling = detail::xdrSpellingOf(field.type);
        out_ += spelling.dtType;
        out_ += '\'';
        if (!spelling.dbType.empty()) {
            out_ += " rs:dbtype='" + std::string(spelling.dbType) + "'";
        }
        const std::int64_t size = field.definedSize > 0 ? field.definedSize : spelling.size;
        if (size > 0) {
            out_ += " dt:maxLength='" + std::to_string(size) + "'";
        }
        const std::int32_t precision = field.precision > 0 ? field.precision : spelling.precision;
        if (precision > 0) {
            out_ += " rs:precision='" + std::to_string(precision) + "'";
        }
        if (field.numericScale > 0) {
            out_ += " rs:scale='" + std::to_string(field.numericScale) + "'";
        }
        if (field.fixedLength || spelling.fixedLength) {
            out_ += " rs:fixedlength='true'";
        }
        if (field.isLong) {
            out_ += " rs:long='true'";
        }
        if (!field.nullable) {
            out_ += " rs:maybenull='false'";
        }
        out_ += "/>\n\t\t</s:AttributeType>\n";
    }

    void writeRows(const std::vector<std::size_t>& rowIndexes) {
        bool inInsert = false;
        for (std::size_t index : rowIndexes) {
            const Row& row = data_.rows[index];
            const bool inserted = row.status == RowStatus::Inserted;
            if (inserted != inInsert) {
                out_ += inserted ? "\t<rs:insert>\n" : "\t</rs:insert>\n";
                inInsert = inserted;
            }
            if (row.status == RowStatus::Modified) {
                writeUpdate(row);
            } else {
                writeRow(row.values, nullptr, inserted ? 2 : 1);
            }
        }
        if (inInsert) {
            out_ += "\t</rs:insert>\n";
        }
        if (!data_.deletedRows.empty()) {
            out_ += "\t<rs:delete>\n";
            for (const auto& values : data_.deletedRows) {
                writeRow(values, nullptr, 2);
            }
            out_ += "\t</rs:delete>\n";
        }
    }

    void writeUpdate(const Row& row) {
        for (std::size_t i = 0; i < row.values.size(); ++i) {
            if (row.values[i].isNull() && !row.original[i].isNull()) {
                raisePersistenceError(
                    "The row set cannot be written: a pending update sets column '" +
                    data_.fields[i].name + "' to Null, which the document format cannot express.");
            }
        }
        out_ += "\t<rs:update>\n\t\t<rs:original>\n";
        writeRow(row.original, nullptr, 3);
        out_ += "\t\t</rs:original>\n";
        writeRow(row.values, &row.original, 2);
        out_ += "\t</rs:update>\n";
    }

    // Writes one z:row; with `unchangedFrom`, only the values that differ from it.
    void writeRow(const std::vector<Variant>& values, const std::vector<Variant>* unchangedFrom,
                  int indent) {
        out_.append(static_cast<std::size_t>(indent), '\t');
        out_ += "<z:row";
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (values[i].isNull() ||
                (unchangedFrom && sameStoredValue(values[i], (*unchangedFrom)[i]))) {
                continue;
            }
            const FieldInfo& field = data_.fields[i];
            auto text = formatXdrValue(field.type, values[i]);
            if (!text) {
                raisePersistenceError("The row set cannot be written: a value of column '" +
                                      field.name + "' has no " +
                                      std::string(dataTypeName(field.type)) + " spelling.");
            }
            appendAttribute(out_, names_[i], *text, field.name);
        }
        out_ += "/>\n";
    }

    const RowsetData& data_;
    std::vector<std::string> names_;
    std::string out_;
};

}  // namespace

std::string writeRowsetXml(const RowsetData& data, const std::vector<std::size_t>& rowIndexes) {
    return DocumentWriter(data).write(rowIndexes);
}

}  // namespace kx::rowset
