#pragma once
// The class of the white-label component "KX_UTILITY_V2.WhiteLabel", called by member name:
//
//   GetWhiteLabelMappings(found, prefix)  a Collection of the file's mappings under `prefix`
//       ("FTXT_", "FICO_", "EADR_", "WURL_"), in file order, each item the text "text^replacement".
//       Sets the by-reference `found` to True when there is at least one; otherwise leaves it as
//       it was, so that a caller passing one flag through several calls learns whether any of
//       them found mappings.
//   RemapString(mappings, text)           `text` remapped by a collection of such items (see
//       remap_text.h); items that are not such texts are ignored. `mappings` is left as it is.
//   RemapIcon(iconKey, iconPath)          True when `iconKey` (the replacement of an icon
//       mapping: a picture file, relative to the mapping file's folder or absolute) names an
//       existing regular file; then the by-reference `iconPath` receives its absolute path.
//       Otherwise False, and `iconPath` is left as it was.
//
// Each object reads the mapping file once, at its first GetWhiteLabelMappings; a new object sees
// the file as it is then. A wrong argument count raises 450, an unknown member 438, a mapping
// table that is not a collection 13.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "components/whitelabel/mapping_file.h"
#include "platform/runtime/dispatch.h"

namespace kx::whitelabel {

class WhiteLabel : public Dispatch {
  public:
    explicit WhiteLabel(std::string mappingFile);

    std::string typeName() const override { return "WhiteLabel"; }
    Variant invoke(std::string_view member, InvokeKind kind, std::vector<Variant>& args) override;

  private:
    Variant GetWhiteLabelMappings(Variant& found, const std::string& prefix);
    static std::string RemapString(const Variant& mappings, const std::string& text);
    bool RemapIcon(const std::string& iconKey, Variant& iconPath) const;

    const std::vector<MappingLine>& mappings();

    std::string mappingFile_;
    std::optional<std::vector<MappingLine>> mappings_;
};

}  // namespace kx::whitelabel
