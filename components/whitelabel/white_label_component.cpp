// The component library of "KX_UTILITY_V2.WhiteLabel": its class table and entry points.

#include "components/whitelabel/mapping_file.h"
#include "components/whitelabel/white_label.h"
#include "platform/com/component_server.h"

namespace {

std::shared_ptr<kx::Dispatch> createWhiteLabel() {
    return std::make_shared<kx::whitelabel::WhiteLabel>(kx::whitelabel::mappingFilePath());
}

const kx::com::ComponentClass kClasses[] = {{"KX_UTILITY_V2.WhiteLabel",
                                             "{76640E64-896E-4754-96D5-19A67FB03B8F}",
                                             "Kestrix white-label mappings", &createWhiteLabel}};

}  // namespace

KX_COMPONENT_ENTRY_POINTS(kClasses)
