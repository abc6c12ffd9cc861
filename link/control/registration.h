// The control's registration record in the per-user registry file, and the
// identifiers hosts bind to. The file is a profile-style INI file; the record
// mirrors the classic class registration:
//
//   [Fenwire.HartCtrl.1]                 CLSID={...}
//   [CLSID\{...}]                        Name, ProgID, InprocServer32 (library path), TypeLib, Version
//   [KVFENWIRE.KvFenwirePropPage.1]      CLSID={...}
//   [CLSID\{...}]                        the property page, likewise
//   [TypeLib\{...}]                      Name=FenwireLib, Version=3.0, Coclass=Fenwire, Path
//   [Interface\{...}]                    Name=_DFenwire or _DFenwireEvents, TypeLib, Version
//
// The file is $FENWIRE_REGISTRY when that is set, else
// $XDG_CONFIG_HOME/corvane/registry.ini, else ~/.config/corvane/registry.ini.
// Looking a ProgID up is inline here, so a host finds the library without
// loading it first (fenwire_loader.h).
#pragma once

#include <pwd.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/ini.h"

namespace fenwire {

inline constexpr char kControlProgId[] = "Fenwire.HartCtrl.1";
inline constexpr char kControlClsid[] = "{B8111E67-B926-41F4-9BDC-BA8304EDA7FB}";
inline constexpr char kDispatchIid[] = "{47564E91-0F9A-4CA7-A89A-A6FF13141442}";  // _DFenwire
inline constexpr char kEventsIid[] = "{C2808741-6A2F-45FB-AADB-3CDCEAA32274}";    // _DFenwireEvents
inline constexpr char kTypeLibId[] = "{A7BD91D8-4844-4B86-8E12-1A2D2EC6AE87}";
inline constexpr char kTypeLibName[] = "FenwireLib";
inline constexpr char kTypeLibVersion[] = "3.0";
inline constexpr char kCoclassName[] = "Fenwire";
inline constexpr char kPropPageProgId[] = "KVFENWIRE.KvFenwirePropPage.1";
inline constexpr char kPropPageClsid[] = "{24CA9F59-8E34-4EE6-987E-248180137A6B}";

// Failure to write the record (the classic SELFREG_E_CLASS).
inline constexpr int32_t kRegistrationFailed = static_cast<int32_t>(0x80040201);

namespace registry {
inline constexpr char kClsidKey[] = "CLSID";
inline constexpr char kServerKey[] = "InprocServer32";
inline std::string classSection(const std::string& clsid) { return "CLSID\\" + clsid; }
}  // namespace registry

// The registry file's path; empty when no home directory can be found.
inline std::string registryFilePath() {
    auto env = [](const char* name) -> std::string {
        const char* v = std::getenv(name);
        return v ? v : "";
    };
    if (std::string path = env("FENWIRE_REGISTRY"); !path.empty()) return path;
    std::string config = env("XDG_CONFIG_HOME");
    if (config.empty() || config.front() != '/') {  // a relative value is ignored, as the base-directory rules say
        std::string home = env("HOME");
        if (home.empty())
            if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) home = pw->pw_dir;
        if (home.empty()) return {};
        config = home + "/.config";
    }
    return config + "/corvane/registry.ini";
}

// The library registered for a ProgID; nothing when it is not registered.
inline std::optional<std::string> registeredLibraryPath(const std::string& progid) {
    const std::string file = registryFilePath();
    if (file.empty() || progid.empty()) return std::nullopt;
    const auto doc = platform::ini::Document::load(QString::fromStdString(file));
    const auto clsid = doc.value(QString::fromStdString(progid), registry::kClsidKey);
    if (!clsid || clsid->isEmpty()) return std::nullopt;
    const auto path =
        doc.value(QString::fromStdString(registry::classSection(clsid->toStdString())), registry::kServerKey);
    if (!path || path->isEmpty()) return std::nullopt;
    return path->toStdString();
}

inline bool isRegisteredProgId(const std::string& progid) { return registeredLibraryPath(progid).has_value(); }

// The path of the binary this code is part of (libfenwire.so), made absolute.
std::string thisLibraryPath();
// Writes the record for the library this code is part of, replacing an older one. 0 on success.
int32_t registerServer();
// The same for a given library path.
int32_t registerServer(const std::string& libraryPath);
// Removes the record and nothing else of the file. 0 on success, also when there was no record.
int32_t unregisterServer();

}  // namespace fenwire
