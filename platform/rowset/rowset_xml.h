#pragma once
// Reader and writer of the XML persistence format of row sets: an `xml` root declaring the
// schema namespaces, an inline schema (one AttributeType per column, in order) and an rs:data
// section of z:row elements whose attributes are the column values (an absent attribute is
// Null), plus the pending-change groups rs:insert, rs:update (with rs:original) and rs:delete.
//
// The reader resolves namespaces by URI, whatever the prefixes; accepts either quote style, an
// optional XML declaration and UTF-8 or UTF-16 with a byte-order mark; ignores unknown rs:*
// properties and undeclared row attributes. Limits: documents of at most kMaxDocumentBytes,
// at most kMaxColumns columns. A value in an rs:update row replaces the original; an omitted
// one keeps it. Faults raise run-time error 0x80004005 with a description of what is wrong.
//
// The writer emits the prefixes, quoting and layout the old library used, values in their
// locale-independent document spelling, and `c<index>` aliases (with rs:name) for column
// names that are not plain XML names. It refuses (same error) text that XML cannot carry
// (NUL and other control characters except tab, CR and LF) and a pending update that sets a
// value to Null, which the format cannot express.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rowset/rowset_data.h"

namespace kx::rowset {

inline constexpr std::size_t kMaxDocumentBytes = 256u * 1024u * 1024u;
inline constexpr std::size_t kMaxColumns = 4096;

RowsetData readRowsetXml(std::string_view document);

// Writes the fields, the rows data.rows[i] for each i of `rowIndexes` in that order, and all
// pending deletions.
std::string writeRowsetXml(const RowsetData& data, const std::vector<std::size_t>& rowIndexes);

// Namespace URIs of the format.
inline constexpr std::string_view kSchemaNamespace = "uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882";
inline constexpr std::string_view kDataTypeNamespace = "uuid:C2F41010-65B3-11d1-A29F-00AA00C14882";
inline constexpr std::string_view kRowsetNamespace = "urn:schemas-microsoft-com:rowset";
inline constexpr std::string_view kRowNamespace = "#RowsetSchema";

}  // namespace kx::rowset
