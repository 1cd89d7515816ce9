// Feeds arbitrary criteria to Filter and Find on a small row set of every common column type.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/rowset/recordset.h"
#include "platform/runtime/run_time_error.h"

using namespace kx;
using namespace kx::rowset;

namespace {

Recordset& sampleRows() {
    static Recordset rs = [] {
        Recordset r;
        r.appendField("Name", DataType::adVarWChar, 50, adFldIsNullable);
        r.appendField("Qty", DataType::adInteger, 0, adFldIsNullable);
        r.appendField("Price", DataType::adCurrency, 0, adFldIsNullable);
        r.appendField("When", DataType::adDate, 0, adFldIsNullable);
        r.appendField("On", DataType::adBoolean, 0, adFldIsNullable);
        r.appendField("Id", DataType::adBigInt, 0, adFldIsNullable);
        r.appendField("Ratio", DataType::adDouble, 0, adFldIsNullable);
        r.Open();
        const char* names[] = {"O'Leary", "zoë", "", "a*b%c"};
        for (int i = 0; i < 4; ++i) {
            r.AddNew();
            r.Fields("Name").setValue(Variant(names[i]));
            if (i != 2) {
                r.Fields("Qty").setValue(Variant(std::int32_t{i * 7 - 3}));
                r.Fields("Price").setValue(Variant(Currency{i * 12345}));
                r.Fields("When").setValue(Variant(OleDate{45000.5 + i}));
                r.Fields("On").setValue(Variant(i % 2 == 0));
                r.Fields("Id").setValue(Variant(std::int64_t{1} << (20 * i)));
                r.Fields("Ratio").setValue(Variant(0.1 * i));
            }
            r.Update();
        }
        return r;
    }();
    return rs;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string criterion(reinterpret_cast<const char*>(data), size);
    Recordset& rs = sampleRows();
    try {
        rs.setFilter(Variant(criterion));
        if (rs.RecordCount() > 4) {
            __builtin_trap();
        }
    } catch (const RuntimeError&) {
    }
    try {
        rs.setFilter(Variant(""));
        rs.MoveFirst();
        rs.Find(criterion);
    } catch (const RuntimeError&) {
    }
    return 0;
}
