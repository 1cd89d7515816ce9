#include "platform/rowset/recordset.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

#include "platform/rowset/ado_errors.h"
#include "platform/rowset/rowset_xml.h"

namespace kx::rowset {

void Recordset::requireOpen() const {
    if (!open_) {
        raiseAdoError(adoerr::kObjectClosed);
    }
}

void Recordset::requireCurrentRow() const {
    requireOpen();
    if (isBOF() || isEOF()) {
        raiseAdoError(adoerr::kNoCurrentRecord);
    }
}

void Recordset::appendField(std::string name, DataType type, std::int64_t definedSize,
                            std::int32_t attributes) {
    if (open_) {
        raiseAdoError(adoerr::kObjectOpen, "Columns can only be appended to a closed row set.");
    }
    if (name.empty() || data_.fieldIndex(name)) {
        raiseAdoError(adoerr::kBadArguments,
                      name.empty() ? "A column needs a name."
                                   : "The row set already has a column named '" + name + "'.");
    }
    if (definedSize < 0 || data_.fields.size() >= kMaxColumns) {
        raiseAdoError(adoerr::kBadArguments,
                      "The column '" + name + "' has a negative size or is one column too many.");
    }
    FieldInfo field;
    field.name = std::move(name);
    field.type = type;
    field.definedSize = definedSize;
    field.nullable = (attributes & (adFldIsNullable | adFldMayBeNull)) != 0;
    field.fixedLength = (attributes & adFldFixed) != 0;
    field.isLong = (attributes & adFldLong) != 0;
    data_.fields.push_back(std::move(field));
}

void Recordset::Open() {
    if (open_) {
        raiseAdoError(adoerr::kObjectOpen);
    }
    if (data_.fields.empty()) {
        raiseAdoError(adoerr::kBadArguments, "An empty row set needs at least one column.");
    }
    RowsetData empty;
    empty.fields = std::move(data_.fields);
    adopt(std::move(empty));
}

void Recordset::Open(Stream& stream) {
    OpenXml(stream.ReadText());
}

void Recordset::Open(const std::filesystem::path& file) {
    if (open_) {
        raiseAdoError(adoerr::kObjectOpen);
    }
    std::error_code error;
    const auto size = std::filesystem::file_size(file, error);
    if (error) {
        raisePersistenceError("The row-set file '" + file.string() +
                              "' could not be opened: " + error.message() + ".");
    }
    if (size > kMaxDocumentBytes) {
        raisePersistenceError("The row-set file '" + file.string() + "' is " +
                              std::to_string(size) + " bytes long; at most " +
                              std::to_string(kMaxDocumentBytes) + " bytes are accepted.");
    }
    std::ifstream in(file, std::ios::binary);
    std::string document(static_cast<std::size_t>(size), '\0');
    if (!in || !in.read(document.data(), static_cast<std::streamsize>(size))) {
        raisePersistenceError("The row-set file '" + file.string() + "' could not be read.");
    }
    OpenXml(document);
}

void Recordset::OpenXml(std::string_view document) {
    if (open_) {
        raiseAdoError(adoerr::kObjectOpen);
    }
    adopt(readRowsetXml(document));
}

void Recordset::adopt(RowsetData data) {
    data_ = std::move(data);
    open_ = true;
    edit_ = EditMode::adEditNone;
    filter_.reset();
    filterText_.clear();
    showAllRows();
}

void Recordset::Close() {
    requireOpen();
    // The columns stay, so a closed set can be opened again empty, as the old library allows.
    data_.rows.clear();
    data_.deletedRows.clear();
    visible_.clear();
    filter_.reset();
    filterText_.clear();
    edit_ = EditMode::adEditNone;
    editBuffer_.clear();
    open_ = false;
}

void Recordset::showAllRows() {
    visible_.resize(data_.rows.size());
    for (std::size_t i = 0; i < visible_.size(); ++i) {
        visible_[i] = i;
    }
    position_ = 0;
}

bool Recordset::isBOF() const {
    requireOpen();
    return visible_.empty() || position_ < 0;
}

bool Recordset::isEOF() const {
    requireOpen();
    return visible_.empty() || position_ >= visibleCount();
}

void Recordset::MoveFirst() {
    requireOpen();
    commitEdit();
    if (visible_.empty()) {
        raiseAdoError(adoerr::kNoCurrentRecord);
    }
    position_ = 0;
}

void Recordset::MoveLast() {
    requireOpen();
    commitEdit();
    if (visible_.empty()) {
        raiseAdoError(adoerr::kNoCurrentRecord);
    }
    position_ = visibleCount() - 1;
}

void Recordset::MoveNext() {
    Move(1);
}

void Recordset::MovePrevious() {
    Move(-1);
}

void Recordset::Move(std::int64_t count) {
    requireOpen();
    commitEdit();
    const bool blocked = visible_.empty() || (count == 0 && (isBOF() || isEOF())) ||
                         (count > 0 && isEOF()) || (count < 0 && isBOF());
    if (blocked) {
        raiseAdoError(adoerr::kNoCurrentRecord);
    }
    // Clamp before adding so that huge counts cannot overflow.
    const std::int64_t n = visibleCount();
    const std::int64_t step = std::max<std::int64_t>(-n - 1, std::min<std::int64_t>(count, n + 1));
    position_ = std::max<std::int64_t>(-1, std::min<std::int64_t>(position_ + step, n));
}

std::int64_t Recordset::RecordCount() const {
    requireOpen();
    return visibleCount();
}

std::int64_t Recordset::AbsolutePosition() const {
    requireOpen();
    if (visible_.empty()) {
        return adPosUnknown;
    }
    if (position_ < 0) {
        return adPosBOF;
    }
    return position_ >= visibleCount() ? adPosEOF : position_ + 1;
}

void Recordset::setAbsolutePosition(std::int64_t position) {
    requireOpen();
    commitEdit();
    if (position < 1 || position > visibleCount()) {
        raiseAdoError(adoerr::kBadArguments, "AbsolutePosition " + std::to_string(position) +
                                                 " lies outside 1.." +
                                                 std::to_string(visibleCount()) + ".");
    }
    position_ = position - 1;
}

void Recordset::setFilter(const Variant& filter) {
    requireOpen();
    commitEdit();
    if (filter.isString()) {
        const std::string& text = filter.asString();
        if (text.empty()) {
            applyFilter(std::nullopt, {});
        } else {
            applyFilter(Criterion::parse(text, data_.fields), text);
        }
        return;
    }
    if (filter.isNumeric() && filter.numberValue() == adFilterNone) {
        applyFilter(std::nullopt, {});
        return;
    }
    raiseAdoError(adoerr::kBadArguments,
                  "A filter is a criterion text or adFilterNone; other filter kinds are not "
                  "supported.");
}

void Recordset::applyFilter(std::optional<Criterion> criterion, std::string text) {
    filter_ = std::move(criterion);
    filterText_ = std::move(text);
    if (!filter_) {
        showAllRows();
        return;
    }
    visible_.clear();
    for (std::size_t i = 0; i < data_.rows.size(); ++i) {
        if (filter_->matches(data_.rows[i].values)) {
            visible_.push_back(i);
        }
    }
    position_ = 0;
}

Variant Recordset::Filter() const {
    requireOpen();
    if (!filter_) {
        return Variant(std::int32_t{adFilterNone});
    }
    return Variant(filterText_);
}

void Recordset::Find(std::string_view criterion, std::int64_t skipRows, SearchDirection direction) {
    requireCurrentRow();
    commitEdit();
    const Criterion search = Criterion::parse(criterion, data_.fields);
    if (!search.isSingleClause()) {
        raiseAdoError(adoerr::kBadArguments, "Find takes a single clause (column operator value).");
    }
    const std::int64_t step = direction == SearchDirection::adSearchBackward ? -1 : 1;
    const std::int64_t n = visibleCount();
    std::int64_t at = position_ + std::max<std::int64_t>(-n - 1, std::min(skipRows, n + 1));
    for (; at >= 0 && at < n; at += step) {
        if (search.matches(data_.rows[visible_[static_cast<std::size_t>(at)]].values)) {
            position_ = at;
            return;
        }
    }
    position_ = step > 0 ? n : -1;
}

void Recordset::Save(const std::filesystem::path& file) const {
    const std::string document = saveXml();
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out || !out.write(document.data(), static_cast<std::streamsize>(document.size())) ||
        !out.flush()) {
        raisePersistenceError("The row set could not be saved to '" + file.string() + "'.");
    }
}

void Recordset::Save(Stream& stream) const {
    stream.WriteText(saveXml());
}

std::string Recordset::saveXml() const {
    requireOpen();
    return writeRowsetXml(data_, visible_);
}

}  // namespace kx::rowset
