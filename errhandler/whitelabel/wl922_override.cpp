#include "errhandler/whitelabel/wl922_override.h"

#include <exception>
#include <optional>

#include "platform/com/create_object.h"
#include "platform/runtime/debug_log.h"
#include "platform/runtime/run_time_error.h"
#include "platform/runtime/vb_convert.h"

namespace kx::errhandler {

namespace {

constexpr const char* kWhiteLabelProgId = "KX_UTILITY_V2.WhiteLabel";

// Containers nest only a few levels deep; the bound keeps a control collection that reaches back
// to its own container from walking for ever.
constexpr int kMaxControlDepth = 64;

// Runs one step with its errors ignored; true when it completed. Any failure of the component or
// of a control counts: none may keep the window from being shown.
template <typename Step>
bool ignoringErrors(Step&& step) {
    try {
        step();
        return true;
    } catch (const std::exception& failure) {
        debugLog(std::string("a white-label step was skipped: ") + failure.what());
        return false;
    }
}

bool isTrue(const Variant& flag) {
    bool truth = false;
    ignoringErrors([&] { truth = CDbl(flag) != 0.0; });
    return truth;
}

bool hasMember(Dispatch& object, const char* member) {
    return ignoringErrors([&] { object.get(member); });
}

Dispatch& objectOf(const Variant& value) {
    if (!value.isObject() || value.asObject().isNothing()) {
        raiseError(vberr::kObjectVariableNotSet);
    }
    return *value.asObject().object;
}

Variant emptyTable() {
    return Variant::object(std::make_shared<Collection>());
}

// The second "^"-separated field of `item`, or nothing when it has fewer than two.
std::optional<std::string> secondField(const std::string& item) {
    const auto first = item.find('^');
    if (first == std::string::npos) {
        return std::nullopt;
    }
    const auto second = item.find('^', first + 1);
    return item.substr(first + 1, second == std::string::npos ? second : second - first - 1);
}

}  // namespace

bool WL922_OVERRIDE::LoadMappings() {
    Variant found = false;
    const bool fetched = ignoringErrors([&] {
        mWhiteLabel = com::CreateObject(kWhiteLabelProgId);
        mTextOverrides = fetchTable(found, "FTXT_");
        if (isTrue(found)) {
            mIconOverrides = fetchTable(found, "FICO_");
            mEmailMap = fetchTable(found, "EADR_");
            mUrlMap = fetchTable(found, "WURL_");
        } else {
            mIconOverrides = emptyTable();
            mEmailMap = emptyTable();
            mUrlMap = emptyTable();
        }
    });
    if (!fetched) {
        // Nothing of an earlier load may outlive a failed one.
        mWhiteLabel.reset();
        mTextOverrides = mIconOverrides = mEmailMap = mUrlMap = emptyTable();
        return false;
    }
    return isTrue(found);
}

Dispatch& WL922_OVERRIDE::whiteLabel() const {
    if (!mWhiteLabel) {
        raiseError(vberr::kObjectVariableNotSet);
    }
    return *mWhiteLabel;
}

Variant WL922_OVERRIDE::fetchTable(Variant& found, const char* prefix) {
    std::vector<Variant> args{found, prefix};
    Variant table = whiteLabel().invoke("GetWhiteLabelMappings", InvokeKind::Method, args);
    found = args[0];
    return table;
}

std::string WL922_OVERRIDE::remapString(Variant& table, const std::string& text) {
    std::vector<Variant> args{table, text};
    const Variant remapped = whiteLabel().invoke("RemapString", InvokeKind::Method, args);
    table = args[0];  // the component may hand back another table
    return CStr(remapped);
}

std::string WL922_OVERRIDE::remapWithTable(Variant& table, const std::string& text) {
    std::string result = text;
    if (LoadMappings()) {
        ignoringErrors([&] { result = remapString(table, text); });
    }
    return result;
}

std::string WL922_OVERRIDE::RemapText(const std::string& InS) {
    return remapWithTable(mTextOverrides, InS);
}

std::string WL922_OVERRIDE::RemapEmail(const std::string& InS) {
    return remapWithTable(mEmailMap, InS);
}

std::string WL922_OVERRIDE::RemapURL(const std::string& InS) {
    return remapWithTable(mUrlMap, InS);
}

void WL922_OVERRIDE::ExecuteForm(const std::shared_ptr<Dispatch>& frm) {
    mForm = frm;
    if (!frm || !LoadMappings()) {
        return;
    }
    // Each step runs on its own, so that one failing does not stop the others.
    remapProperty(*frm, "Caption");
    ignoringErrors([&] { RemapControlNode(objectOf(frm->get("Controls"))); });
    ignoringErrors([&] { remapIcon(*frm); });
}

void WL922_OVERRIDE::ExecuteCtl(const std::shared_ptr<Dispatch>& /*uc*/) {}

void WL922_OVERRIDE::remapIcon(Dispatch& form) {
    if (!mIconOverrides.isObject() || mIconOverrides.asObject().isNothing()) {
        return;
    }
    Dispatch& icons = *mIconOverrides.asObject().object;
    if (CLng(icons.get("Count")) < 1) {
        return;
    }
    const auto iconKey = secondField(CStr(icons.get("Item", {std::int32_t{1}})));
    if (!iconKey) {
        return;
    }
    std::vector<Variant> args{*iconKey, std::string()};
    if (isTrue(whiteLabel().invoke("RemapIcon", InvokeKind::Method, args))) {
        form.put("Icon", CStr(args[1]));
    }
}

void WL922_OVERRIDE::RemapControlNode(Dispatch& CtlCol) {
    remapControls(CtlCol, 0);
}

void WL922_OVERRIDE::remapControls(Dispatch& controls, int depth) {
    if (depth > kMaxControlDepth) {
        return;
    }
    for (const Variant& control : controls.enumerate()) {
        ignoringErrors([&] { remapControl(objectOf(control), depth); });
    }
}

void WL922_OVERRIDE::remapControl(Dispatch& ctl, int depth) {
    if (DoesControlHaveTextProperty(ctl)) {
        remapProperty(ctl, "Text");
    }
    if (DoesControlHaveCaptionProperty(ctl)) {
        remapProperty(ctl, "Caption");
    }
    if (DoesControlHaveXCaptionProperty(ctl)) {
        for (const char* property : {"XCaption1", "XCaption2", "XCaption3"}) {
            remapProperty(ctl, property);
        }
    }
    if (DoesControlHaveFormatStringProperty(ctl)) {
        remapProperty(ctl, "FormatString");
    }
    if (DoesControlHaveTooltipProperty(ctl)) {
        remapProperty(ctl, "ToolTipText");
    }
    if (DoesControlHaveChildren(ctl)) {
        remapControls(objectOf(ctl.get("Controls")), depth + 1);
    }
}

void WL922_OVERRIDE::remapProperty(Dispatch& ctl, const char* property) {
    ignoringErrors(
        [&] { ctl.put(property, remapString(mTextOverrides, CStr(ctl.get(property)))); });
}

bool WL922_OVERRIDE::DoesControlHaveChildren(Dispatch& Ctl) {
    return hasMember(Ctl, "Controls");
}

bool WL922_OVERRIDE::DoesControlHaveTooltipProperty(Dispatch& Ctl) {
    return hasMember(Ctl, "ToolTipText");
}

bool WL922_OVERRIDE::DoesControlHaveFormatStringProperty(Dispatch& Ctl) {
    return hasMember(Ctl, "FormatString");
}

bool WL922_OVERRIDE::DoesControlHaveTextProperty(Dispatch& Ctl) {
    return hasMember(Ctl, "Text");
}

bool WL922_OVERRIDE::DoesControlHaveCaptionProperty(Dispatch& Ctl) {
    return hasMember(Ctl, "Caption");
}

bool WL922_OVERRIDE::DoesControlHaveXCaptionProperty(Dispatch& Ctl) {
    return hasMember(Ctl, "XCaption1");
}

bool WL922_OVERRIDE::DoesControlHaveIconProperty(Dispatch& /*Ctl*/) {
    return false;
}

}  // namespace kx::errhandler
