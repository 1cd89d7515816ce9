#include "launcher/update/rowset_text.h"

#include <memory>

#include "platform/runtime/vb_convert.h"

namespace kx::launcher {

RecordsetPtr openRowsetFromText(const std::string& xml, StreamPtr& stream) {
    stream = std::make_shared<rowset::Stream>();
    stream->Open();
    stream->WriteText(xml);
    stream->Flush();
    stream->setPosition(0);
    auto recordset = std::make_shared<rowset::Recordset>();
    recordset->Open(*stream);
    return recordset;
}

}  // namespace kx::launcher

namespace kx::launcher {

std::string fieldText(const Variant& value) {
    return value.isNull() ? std::string() : CStr(value);
}

}  // namespace kx::launcher
