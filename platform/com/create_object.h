#pragma once
// Creation of objects by ProgID, as the old runtime's CreateObject does it for in-process
// components:
//   HKEY_CLASSES_ROOT\<ProgID>\CLSID (default)               -> the class id
//   HKEY_CLASSES_ROOT\CLSID\<class id>\InProcServer32 (default) -> the library's absolute path
// then the library is loaded, its DllGetClassObject hands out the class factory and the factory
// creates the object. A library that gave out an object stays loaded for the life of the process.

#include <memory>
#include <string>

#include "platform/runtime/dispatch.h"

namespace kx::com {

// Raises RuntimeError 429 ("ActiveX component can't create object: ...") naming what was missing:
// an unregistered ProgID, a class id without a library path, a library that does not load (with
// the loader's text), a library without DllGetClassObject, or a class that the library or its
// factory refuses. A RuntimeError raised by the object's own set-up travels on unchanged.
std::shared_ptr<Dispatch> CreateObject(const std::string& progId);

}  // namespace kx::com
