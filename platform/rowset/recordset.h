#pragma once
// The row set: named, typed columns and rows in memory, with the navigation, filtering,
// searching and editing of the old data-access library's client-side Recordset, loaded from
// and saved to the XML persistence format (rowset_xml.h).
//
// Positions: with rows visible the cursor is on a row, before the first (BOF) or after the
// last (EOF); with no visible rows both BOF and EOF hold. RecordCount and AbsolutePosition count
// the rows the filter lets through. Moves follow the old library: MoveFirst/MoveLast on an empty
// set, MoveNext at EOF, MovePrevious at BOF and reading a field without a current row raise
// error 3021. Every member except appendField, Open and State raises 3704 on a closed set.
//
// Editing: AddNew starts a new row, assignments to Field values go to it, Update appends it and
// makes it current. An assignment to a field of the current row outside AddNew edits that row;
// Update (or any move) stores the edit. Values are converted to the column's type when
// assigned; a value that cannot be converted raises 3421, a text longer than the column's
// defined size, a number out of the type's range or Null in a column that does not accept it
// raises 0x80040E21 (nothing is truncated). Rows added or edited this way are plain rows: the
// set has no data source to send changes to. Pending changes a loaded document carried (inserted,
// updated, deleted rows) are kept and written back by Save.
//
// The names follow the old library, except BOF and EOF, which are isBOF() and isEOF() because
// EOF is a macro of the C library.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rowset/field_info.h"
#include "platform/rowset/filter.h"
#include "platform/rowset/rowset_data.h"
#include "platform/rowset/stream.h"
#include "platform/runtime/variant.h"

namespace kx::rowset {

enum class EditMode : std::int32_t { adEditNone = 0, adEditInProgress = 1, adEditAdd = 2 };
enum class SearchDirection : std::int32_t { adSearchForward = 1, adSearchBackward = -1 };

inline constexpr std::int32_t adPosUnknown = -1;
inline constexpr std::int32_t adPosBOF = -2;
inline constexpr std::int32_t adPosEOF = -3;
inline constexpr std::int32_t adFilterNone = 0;

class Recordset;

// A column of an open or closed Recordset, reached through Recordset::Fields. The handle refers
// to the Recordset and is valid while it lives and keeps its columns.
class Field {
  public:
    const std::string& Name() const;
    DataType Type() const;
    std::int64_t DefinedSize() const;
    std::int32_t Attributes() const;  // adFldIsNullable, adFldMayBeNull, adFldFixed, adFldLong
    const FieldInfo& info() const;

    // The value in the current row (or in the row being added). Raises 3021 without one.
    const Variant& Value() const;
    // Assigns a value, converted to the column's type (see the editing rules above).
    void setValue(const Variant& value);

  private:
    friend class Recordset;
    Field(Recordset& owner, std::size_t index) : owner_(&owner), index_(index) {}
    Recordset* owner_;
    std::size_t index_;
};

class Recordset {
  public:
    // Columns are appended while the set is closed (raises 3705 when open); an empty or
    // duplicate name raises 3001. Attributes: adFldIsNullable / adFldMayBeNull allow Null,
    // adFldFixed marks fixed-length text, adFldLong long text.
    void appendField(std::string name, DataType type, std::int64_t definedSize = 0,
                     std::int32_t attributes = 0);

    // Opens an empty set with the appended columns (raises 3001 when there are none).
    void Open();
    // Opens the document from the stream's current position to its end.
    void Open(Stream& stream);
    // Opens a document file, as the persistence provider does; a missing or unreadable file
    // raises 0x80004005 naming it. Files larger than kMaxDocumentBytes are refused.
    void Open(const std::filesystem::path& file);
    // Opens a document held in memory.
    void OpenXml(std::string_view document);
    void Close();
    ObjectState State() const {
        return open_ ? ObjectState::adStateOpen : ObjectState::adStateClosed;
    }

    std::size_t fieldCount() const { return data_.fields.size(); }
    // By name, ignoring letter case; an unknown name raises 3265 naming it.
    Field Fields(std::string_view name);
    // By ordinal from 0; raises 3265 outside the range.
    Field Fields(std::size_t index);
    const std::vector<FieldInfo>& fieldInfos() const { return data_.fields; }

    bool isBOF() const;
    bool isEOF() const;
    void MoveFirst();
    void MoveLast();
    void MoveNext();
    void MovePrevious();
    void Move(std::int64_t count);
    std::int64_t RecordCount() const;
    // 1-based; adPosBOF, adPosEOF, or adPosUnknown when the set has no visible rows.
    std::int64_t AbsolutePosition() const;
    // Moves to the 1-based position; raises 3001 outside 1..RecordCount.
    void setAbsolutePosition(std::int64_t position);

    // A criterion string (filter.h) or the number adFilterNone; "" and adFilterNone remove
    // the filter. Setting moves to the first visible row; removing shows all rows and moves to
    // the first. Other numbers raise 3001.
    void setFilter(const Variant& filter);
    // The criterion text, or adFilterNone (as a Long) when no filter is set.
    Variant Filter() const;

    // Searches for the first row satisfying a one-clause criterion, starting `skipRows` rows
    // from the current row (the current row included with 0), forward or backward among the
    // visible rows. Without a match the cursor is at EOF (forward) or BOF (backward). Raises 3021
    // without a current row and 3001 for a faulty criterion or more than one clause.
    void Find(std::string_view criterion, std::int64_t skipRows = 0,
              SearchDirection direction = SearchDirection::adSearchForward);

    void AddNew();
    void Update();
    void CancelUpdate();
    EditMode editMode() const { return edit_; }

    // Saves the visible rows (all rows when no filter is set) and pending deletions as a
    // document: to a file (written whole, UTF-8), to a stream at its position, or as text.
    void Save(const std::filesystem::path& file) const;
    void Save(Stream& stream) const;
    std::string saveXml() const;

    const RowsetData& data() const { return data_; }

  private:
    friend class Field;

    void requireOpen() const;
    void requireCurrentRow() const;
    void adopt(RowsetData data);
    void showAllRows();
    void applyFilter(std::optional<Criterion> criterion, std::string text);
    void commitEdit();
    std::vector<Variant>& currentValues();
    const std::vector<Variant>& valuesForReading() const;
    std::int64_t visibleCount() const { return static_cast<std::int64_t>(visible_.size()); }

    RowsetData data_;
    std::vector<std::size_t> visible_;  // indexes into data_.rows, in order
    std::int64_t position_ = 0;         // index into visible_; -1 is BOF, size() is EOF
    std::optional<Criterion> filter_;
    std::string filterText_;
    bool open_ = false;
    EditMode edit_ = EditMode::adEditNone;
    std::vector<Variant> editBuffer_;
};

}  // namespace kx::rowset
