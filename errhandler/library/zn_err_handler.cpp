// The entry points of ZNErrHandler: the class table and the type library of the component.

#include <memory>

#include "errhandler/report/error_class.h"
#include "errhandler/report/qt/error_presenter.h"
#include "platform/com/component_server.h"

namespace {

std::shared_ptr<kx::Dispatch> createError() {
    return std::make_shared<kx::errhandler::Error>(&kx::errhandler::presentErrorDialog);
}

const kx::com::ComponentClass kClasses[] = {{"ZNErrHandler.Error",
                                             "{7C681205-41F3-41BF-A179-AACC6BAC5DD8}",
                                             "ZNErrHandler.Error", &createError}};

// The dual interface of Error, hidden from object browsers.
const kx::com::TypeLibraryInterface kInterfaces[] = {
    {"{EE81A532-8CBD-448B-BF13-E5D9AD6ECD89}", "_Error"}};

const kx::com::TypeLibrary kTypeLibrary{"{9BA2D3FB-7C3C-4F06-80D4-6085C7A90600}", "9.0",
                                        "ZNErrHandler", "409", kInterfaces};

}  // namespace

KX_COMPONENT_ENTRY_POINTS_WITH_TYPE_LIBRARY(kClasses, kTypeLibrary)
