// Loading the link control into a C++ host by its ProgID: the library is
// found through the registration record, else as libfenwire.so beside the
// running program, else through the program's run path (an installed
// program keeps it in a library folder of its own), and its entry points are
// resolved into FenwireApi.
// Header-only: the host links the platform layer (for the INI reader) and
// libdl, not libfenwire.so.
#pragma once

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <optional>
#include <string>
#include <vector>

#include "link/control/fenwire.h"
#include "link/control/registration.h"

namespace fenwire {

// Every entry point of the library: member name, exported symbol.
#define FENWIRE_API_FUNCTIONS(X)                      \
    X(create, fw_create)                              \
    X(release, fw_release)                            \
    X(get, fw_get)                                    \
    X(put, fw_put)                                    \
    X(invoke, fw_invoke)                              \
    X(errorDescription, fw_error_description)         \
    X(advise, fw_advise)                              \
    X(adviseChanges, fw_advise_changes)               \
    X(adviseFrames, fw_advise_frames)                 \
    X(processEvents, fw_process_events)               \
    X(setUserMode, fw_set_user_mode)                  \
    X(dispidOf, fw_dispid_of)                         \
    X(nameOf, fw_name_of)                             \
    X(displayString, fw_display_string)               \
    X(predefinedCount, fw_predefined_count)           \
    X(predefinedString, fw_predefined_string)         \
    X(predefinedValue, fw_predefined_value)           \
    X(putPredefined, fw_put_predefined)               \
    X(saveProperties, fw_save_properties)             \
    X(loadProperties, fw_load_properties)             \
    X(window, fw_window)                              \
    X(showPropertyPage, fw_show_property_page)        \
    X(registerServer, DllRegisterServer)              \
    X(unregisterServer, DllUnregisterServer)

struct FenwireApi {
#define FENWIRE_API_MEMBER(member, symbol) decltype(&::symbol) member = nullptr;
    FENWIRE_API_FUNCTIONS(FENWIRE_API_MEMBER)
#undef FENWIRE_API_MEMBER
};

inline constexpr char kFenwireLibraryName[] = "libfenwire.so";

// The running program's path, or empty.
inline std::string runningProgramPath() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

// Where the library is tried, in order: the registered path, then
// libfenwire.so in the program's directory, then the bare name, which dlopen
// looks up in the run path of the program calling it (this header is compiled
// into the host); no path twice.
inline std::vector<std::string> libraryCandidates(const std::optional<std::string>& registered,
                                                  const std::string& programPath) {
    std::vector<std::string> candidates;
    if (registered && !registered->empty()) candidates.push_back(*registered);
    const size_t slash = programPath.rfind('/');
    if (slash != std::string::npos) {
        std::string beside = programPath.substr(0, slash + 1) + kFenwireLibraryName;
        if (std::find(candidates.begin(), candidates.end(), beside) == candidates.end())
            candidates.push_back(std::move(beside));
    }
    candidates.push_back(kFenwireLibraryName);
    return candidates;
}

// The loaded library stays loaded for the rest of the process: controls, Qt
// objects and static state made by it may outlive this object.
class FenwireLibrary {
public:
    // Loads the library registered for `progid`, falling back to the one beside
    // the program, then to the one in its run path.
    bool load(const std::string& progid = kControlProgId) {
        const auto registered = registeredLibraryPath(progid);
        if (loadFrom(libraryCandidates(registered, runningProgramPath()))) return true;
        error_ = progid + (registered ? " is registered, but" : " is not registered, and") +
                 " the link control could not be loaded: " + error_ +
                 " (register it with DllRegisterServer, or place " + kFenwireLibraryName +
                 " beside the program or in its run path)";
        return false;
    }

    // Tries each path in turn; the first library that has every entry point wins.
    bool loadFrom(const std::vector<std::string>& candidates) {
        error_.clear();
        if (candidates.empty()) error_ = "no place to look for the library";
        for (const std::string& path : candidates) {
            std::string why;
            if (tryOne(path, why)) {
                error_.clear();
                return true;
            }
            error_ += (error_.empty() ? "" : "; ") + why;
        }
        return false;
    }

    bool loaded() const { return handle_ != nullptr; }
    const FenwireApi& api() const { return api_; }
    const std::string& path() const { return path_; }
    const std::string& error() const { return error_; }

private:
    bool tryOne(const std::string& path, std::string& why) {
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char* reason = dlerror();
            why = reason ? reason : path + ": cannot be opened";
            return false;
        }
        FenwireApi api;
        std::string missing;
#define FENWIRE_API_RESOLVE(member, symbol)                                                \
    api.member = reinterpret_cast<decltype(api.member)>(dlsym(handle, #symbol));           \
    if (!api.member) missing += std::string(missing.empty() ? "" : ", ") + #symbol;
        FENWIRE_API_FUNCTIONS(FENWIRE_API_RESOLVE)
#undef FENWIRE_API_RESOLVE
        if (!missing.empty()) {
            why = path + " is not the link control library (missing " + missing + ")";
            dlclose(handle);  // nothing of it has run yet
            return false;
        }
        handle_ = handle;
        api_ = api;
        path_ = path;
        return true;
    }

    void* handle_ = nullptr;
    FenwireApi api_;
    std::string path_;
    std::string error_;
};

}  // namespace fenwire
