#pragma once
// WL922_OVERRIDE re-brands a window before it is shown: its caption, the texts of its controls and
// its icon are replaced by what the white-label component "KX_UTILITY_V2.WhiteLabel" on the
// machine supplies. It also remaps single texts, e-mail addresses and web addresses.
//
// The class knows windows and controls only as objects reached by member name (kx::Dispatch); a
// window toolkit supplies them through an adapter. The members it uses:
//   window:  Caption (get, put); Controls (get: a collection of control objects); Icon (put only:
//            the path of a picture file, which the window loads and shows as its icon, raising a
//            run-time error when it cannot)
//   control: Text, Caption, XCaption1, XCaption2, XCaption3, FormatString, ToolTipText (get, put:
//            text); Controls (get: the controls it contains). A control has a member when reading
//            it raises no error.
//
// The component is created anew, and all four mapping tables fetched again, by every LoadMappings,
// which every remapping operation calls first. Tables are opaque: they come from the component
// and are handed back to it for each lookup; only the first icon item is read here ("^"-separated
// fields, the second being the icon key). Without "FTXT_" mappings nothing at all is remapped.
//
// No run-time error reaches the caller. Without the component, or when it fails, texts, window
// and icon stay as they are; a lookup that fails leaves that one text as it was.

#include <memory>
#include <string>

#include "platform/runtime/dispatch.h"

namespace kx::errhandler {

class WL922_OVERRIDE {
  public:
    // The tables as the component last handed them over: Nothing before the first LoadMappings.
    const Variant& FormTextOverrides() const { return mTextOverrides; }
    const Variant& FormIconOverride() const { return mIconOverrides; }

    // The text remapped by the text, e-mail or web-address table; `InS` itself when there are
    // no "FTXT_" mappings or the lookup fails.
    std::string RemapText(const std::string& InS);
    std::string RemapEmail(const std::string& InS);
    std::string RemapURL(const std::string& InS);

    // Remaps the window's caption, its controls (RemapControlNode) and its icon, from the first
    // icon mapping whose key the component can turn into a picture file.
    void ExecuteForm(const std::shared_ptr<Dispatch>& frm);
    // Kept for callers of the interface: does nothing.
    void ExecuteCtl(const std::shared_ptr<Dispatch>& uc);
    // Remaps each control of the collection in its order: Text, Caption, XCaption1..3,
    // FormatString and ToolTipText where present, then its own controls, depth first. Uses the
    // tables as they are (call LoadMappings first).
    void RemapControlNode(Dispatch& CtlCol);

    bool DoesControlHaveChildren(Dispatch& Ctl);
    bool DoesControlHaveTooltipProperty(Dispatch& Ctl);
    bool DoesControlHaveFormatStringProperty(Dispatch& Ctl);
    bool DoesControlHaveTextProperty(Dispatch& Ctl);
    bool DoesControlHaveCaptionProperty(Dispatch& Ctl);
    // Tests XCaption1 only; a control with it is taken to have all three.
    bool DoesControlHaveXCaptionProperty(Dispatch& Ctl);
    // Always false: icons of controls are not remapped.
    bool DoesControlHaveIconProperty(Dispatch& Ctl);

    // Creates the component and fetches the four tables, passing one found-flag through the
    // fetches; the other three only when the "FTXT_" fetch set it (else they become empty). The
    // result is the flag as the last fetch left it: with our component, whether there are "FTXT_"
    // mappings. False, with four empty tables, when the component is missing or fails.
    bool LoadMappings();

  private:
    std::string remapWithTable(Variant& table, const std::string& text);
    std::string remapString(Variant& table, const std::string& text);
    void remapProperty(Dispatch& ctl, const char* property);
    void remapControls(Dispatch& controls, int depth);
    void remapControl(Dispatch& ctl, int depth);
    void remapIcon(Dispatch& form);
    Variant fetchTable(Variant& found, const char* prefix);
    Dispatch& whiteLabel() const;  // raises 91 before a successful LoadMappings

    Variant mTextOverrides = Variant::nothing();
    Variant mIconOverrides = Variant::nothing();
    Variant mEmailMap = Variant::nothing();
    Variant mUrlMap = Variant::nothing();
    std::shared_ptr<Dispatch> mForm;
    std::shared_ptr<Dispatch> mWhiteLabel;
};

}  // namespace kx::errhandler
