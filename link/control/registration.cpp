#include "link/control/registration.h"

#include <dlfcn.h>
#include <limits.h>

#include <filesystem>
#include <vector>

namespace fenwire {

namespace {

struct Entry {
    std::string section;
    const char* key;
    std::string value;
};

struct RecordSections {
    std::string control = registry::classSection(kControlClsid);
    std::string page = registry::classSection(kPropPageClsid);
    std::string typeLib = std::string("TypeLib\\") + kTypeLibId;
    std::string dispatch = std::string("Interface\\") + kDispatchIid;
    std::string events = std::string("Interface\\") + kEventsIid;

    // Written together, removed together.
    std::vector<std::string> all() const {
        return {kControlProgId, control, kPropPageProgId, page, typeLib, dispatch, events};
    }
};

std::vector<Entry> recordEntries(const std::string& library) {
    const RecordSections sections;
    const std::string& control = sections.control;
    const std::string& page = sections.page;
    const std::string& typeLib = sections.typeLib;
    const std::string& dispatch = sections.dispatch;
    const std::string& events = sections.events;
    return {
        {kControlProgId, registry::kClsidKey, kControlClsid},
        {control, "Name", "Fenwire Control"},
        {control, "ProgID", kControlProgId},
        {control, registry::kServerKey, library},
        {control, "TypeLib", kTypeLibId},
        {control, "Version", kTypeLibVersion},
        {control, "Control", "1"},
        {kPropPageProgId, registry::kClsidKey, kPropPageClsid},
        {page, "Name", "CKvFenwirePropPage"},
        {page, "ProgID", kPropPageProgId},
        {page, registry::kServerKey, library},
        {typeLib, "Name", kTypeLibName},
        {typeLib, "Version", kTypeLibVersion},
        {typeLib, "Coclass", kCoclassName},
        {typeLib, "CoclassCLSID", kControlClsid},
        {typeLib, "Path", library},
        {dispatch, "Name", "_DFenwire"},
        {dispatch, "TypeLib", kTypeLibId},
        {dispatch, "Version", kTypeLibVersion},
        {events, "Name", "_DFenwireEvents"},
        {events, "TypeLib", kTypeLibId},
        {events, "Version", kTypeLibVersion},
    };
}

// Loads the registry file, or nothing when it exists but cannot be read
// (then it must not be overwritten).
std::optional<platform::ini::Document> loadRegistry(const std::string& file) {
    if (file.empty()) return std::nullopt;
    return platform::ini::Document::tryLoad(QString::fromStdString(file));
}

void removeRecord(platform::ini::Document& doc) {
    for (const std::string& section : RecordSections().all()) doc.removeSection(QString::fromStdString(section));
}

}  // namespace

std::string thisLibraryPath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&thisLibraryPath), &info) == 0 || !info.dli_fname || !*info.dli_fname)
        return {};
    char resolved[PATH_MAX];
    if (realpath(info.dli_fname, resolved)) return resolved;
    return info.dli_fname[0] == '/' ? info.dli_fname : "";
}

int32_t registerServer() { return registerServer(thisLibraryPath()); }

int32_t registerServer(const std::string& libraryPath) {
    if (libraryPath.empty() || libraryPath.find_first_of("\r\n") != std::string::npos) return kRegistrationFailed;
    const std::string file = registryFilePath();
    if (file.empty()) return kRegistrationFailed;
    std::error_code ignored;
    const auto dir = std::filesystem::path(file).parent_path();
    if (!dir.empty()) std::filesystem::create_directories(dir, ignored);

    auto doc = loadRegistry(file);
    if (!doc) return kRegistrationFailed;
    removeRecord(*doc);  // no keys left over from an older record
    for (const Entry& e : recordEntries(libraryPath))
        if (!doc->setValue(QString::fromStdString(e.section), e.key, QString::fromStdString(e.value)))
            return kRegistrationFailed;
    return doc->save(QString::fromStdString(file)) ? 0 : kRegistrationFailed;
}

int32_t unregisterServer() {
    const std::string file = registryFilePath();
    if (file.empty()) return kRegistrationFailed;
    if (!std::filesystem::exists(file)) return 0;
    auto doc = loadRegistry(file);
    if (!doc) return kRegistrationFailed;
    removeRecord(*doc);
    return doc->save(QString::fromStdString(file)) ? 0 : kRegistrationFailed;
}

}  // namespace fenwire
