#pragma once
// What a component library needs to serve its classes: a table of the classes and one macro
// that defines the four entry points of component.h on top of it.
//
//   std::shared_ptr<kx::Dispatch> createEcho() { return std::make_shared<Echo>(); }
//   const kx::com::ComponentClass kClasses[] = {
//       {"KXTest.Echo", "{8E1B4C52-...}", "KX test echo component", &createEcho}};
//   KX_COMPONENT_ENTRY_POINTS(kClasses)
//
// Registration writes, for each class, in HKEY_CLASSES_ROOT:
//   <ProgID>                          (default) = description
//   <ProgID>\CLSID                    (default) = class id
//   CLSID\<class id>                  (default) = description
//   CLSID\<class id>\InProcServer32   (default) = absolute path of the library
//   CLSID\<class id>\ProgID           (default) = ProgID
// A library that carries a type library (KX_COMPONENT_ENTRY_POINTS_WITH_TYPE_LIBRARY) also
// records it as a registered type library is recorded:
//   TypeLib\<LIBID>\<version>                      (default) = the library's name
//   TypeLib\<LIBID>\<version>\FLAGS                (default) = "0"
//   TypeLib\<LIBID>\<version>\HELPDIR              (default) = the library's folder
//   TypeLib\<LIBID>\<version>\<locale>\<platform>  (default) = absolute path of the library
//   Interface\<IID>                                 (default) = the interface's name
//   Interface\<IID>\TypeLib                         (default) = LIBID, "Version" = version
//   CLSID\<class id>\TypeLib                        (default) = LIBID, for each class
// where <platform> is "win64" or "win32" after the pointer size, as Windows names the platforms
// of type libraries.
// Unregistration removes those values, and each of those keys that is then empty (the LIBID key
// too); keys or values that others added below them stay. The containers CLSID, TypeLib and
// Interface, made by the first registration on an empty registry, go as well once empty.

#include <atomic>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/com/component.h"

namespace kx::com {

using ObjectFactoryFunction = std::shared_ptr<Dispatch> (*)();

struct ComponentClass {
    const char* progId;
    const char* classId;  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
    const char* description;
    ObjectFactoryFunction create;
};

// An interface that a type library describes.
struct TypeLibraryInterface {
    const char* interfaceId;  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
    const char* name;
};

// The type library a component library carries.
struct TypeLibrary {
    const char* libraryId;  // LIBID, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
    const char* version;    // "major.minor", for example "9.0"
    const char* name;
    const char* locale;  // the locale identifier in hexadecimal, for example "409"
    std::span<const TypeLibraryInterface> interfaces;
};

// Serves the classes of one library. Must be a static object inside that library: registration
// finds the library's own path from the object's address.
class ComponentServer {
  public:
    // `typeLibrary`, when given, must outlive the server (a static table, like `classes`).
    explicit ComponentServer(std::span<const ComponentClass> classes,
                             const TypeLibrary* typeLibrary = nullptr);
    ComponentServer(const ComponentServer&) = delete;
    ComponentServer& operator=(const ComponentServer&) = delete;

    HRESULT getClassObject(const char* classId, ClassFactory** factory);
    HRESULT registerServer() const;
    HRESULT unregisterServer() const;
    HRESULT canUnloadNow() const { return liveObjects() == 0 ? S_OK : S_FALSE; }

    // Objects handed out by the factories and not yet released.
    long liveObjects() const { return liveObjects_.load(); }

  private:
    class Factory : public ClassFactory {
      public:
        Factory(const ComponentClass& entry, std::atomic<long>& liveObjects)
            : entry_(entry), liveObjects_(liveObjects) {}
        HRESULT CreateInstance(std::shared_ptr<Dispatch>& object) override;
        const ComponentClass& entry() const { return entry_; }

      private:
        const ComponentClass& entry_;
        std::atomic<long>& liveObjects_;
    };

    std::string libraryPath() const;

    std::span<const ComponentClass> classes_;
    const TypeLibrary* typeLibrary_;
    std::atomic<long> liveObjects_{0};
    std::vector<std::unique_ptr<Factory>> factories_;
};

}  // namespace kx::com

// Defines DllGetClassObject, DllRegisterServer, DllUnregisterServer and DllCanUnloadNow for the
// class table `classes`. Use once per library, at namespace scope.
#define KX_COMPONENT_ENTRY_POINTS(classes) \
    KX_COMPONENT_ENTRY_POINTS_FOR_SERVER(std::span<const kx::com::ComponentClass>(classes), nullptr)

// The same for a library that also carries the type library `typeLibrary` (a TypeLibrary).
#define KX_COMPONENT_ENTRY_POINTS_WITH_TYPE_LIBRARY(classes, typeLibrary)                   \
    KX_COMPONENT_ENTRY_POINTS_FOR_SERVER(std::span<const kx::com::ComponentClass>(classes), \
                                         &(typeLibrary))

#define KX_COMPONENT_ENTRY_POINTS_FOR_SERVER(classSpan, typeLibraryPointer)          \
    namespace {                                                                      \
    kx::com::ComponentServer& kxComponentServer() {                                  \
        static kx::com::ComponentServer server{classSpan, typeLibraryPointer};       \
        return server;                                                               \
    }                                                                                \
    }                                                                                \
    extern "C" kx::com::HRESULT DllGetClassObject(const char* classId,               \
                                                  kx::com::ClassFactory** factory) { \
        return kxComponentServer().getClassObject(classId, factory);                 \
    }                                                                                \
    extern "C" kx::com::HRESULT DllRegisterServer() {                                \
        return kxComponentServer().registerServer();                                 \
    }                                                                                \
    extern "C" kx::com::HRESULT DllUnregisterServer() {                              \
        return kxComponentServer().unregisterServer();                               \
    }                                                                                \
    extern "C" kx::com::HRESULT DllCanUnloadNow() {                                  \
        return kxComponentServer().canUnloadNow();                                   \
    }
