#include "capture/Pellix.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include <dlfcn.h>

#include "capture/HandOver.h"
#include "capture/Registration.h"
#include "platform/Registry.h"

// The library is loaded into a host process (the browser's helper), so nothing may escape its
// entry points: each catches everything and answers with a result code.

namespace {

using namespace torvex;

constexpr int32_t kOk = 0;
constexpr int32_t kFalse = 1;
constexpr int32_t kFail = static_cast<int32_t>(0x80004005u);                  // E_FAIL
constexpr int32_t kClassNotAvailable = static_cast<int32_t>(0x80040111u);     // CLASS_E_...

std::atomic<int> g_callsInProgress{0};
std::atomic<PellixMessageHook> g_messageHook{nullptr};

// Counts a call for DllCanUnloadNow while it runs.
class CallInProgress {
public:
    CallInProgress() { ++g_callsInProgress; }
    ~CallInProgress() { --g_callsInProgress; }
    CallInProgress(const CallInProgress&) = delete;
    CallInProgress& operator=(const CallInProgress&) = delete;
};

// The user's language as the C library would pick it for messages.
std::string_view MessageLocale() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return {};
}

// This library links no GUI toolkit, so a message box is not available here: by default a
// message goes to standard error behind the caption, where the browser's helper logs it. A host
// that can show a window installs its own hook.
void ShowMessage(HandOverOutcome outcome) {
    const std::string text(HandOverMessage(outcome, MessageLocale()));
    if (text.empty()) {
        return;
    }
    const PellixMessageHook hook = g_messageHook.load();
    if (hook != nullptr) {
        hook(static_cast<int>(outcome), text.c_str());
    } else {
        std::fprintf(stderr, "Torvex: %s\n", text.c_str());
    }
}

const char kModuleAnchor = 0;

// The absolute path of this library file, as the loader found it.
std::string ModulePath() {
    Dl_info info{};
    if (::dladdr(&kModuleAnchor, &info) == 0 || info.dli_fname == nullptr) {
        return {};
    }
    std::error_code ec;
    const auto path = std::filesystem::weakly_canonical(info.dli_fname, ec);
    return ec ? std::string(info.dli_fname) : path.string();
}

std::string_view Text(const char* text) { return text != nullptr ? text : std::string_view(); }

} // namespace

extern "C" {

int32_t AddURL(const char* url, const char* info, const char* parentURL) {
    CallInProgress call;
    try {
        const CFileRegistry registry(RegistryFilePath());
        ShowMessage(HandOverUrl(registry, Text(url), Text(info), Text(parentURL)));
    } catch (...) {
        // Out of memory at worst; the script that called must still see success.
    }
    return kOk;
}

int32_t DllRegisterServer(void) {
    CallInProgress call;
    try {
        const std::string module = ModulePath();
        CFileRegistry registry(RegistryFilePath());
        return !module.empty() && RegisterAutoServer(registry, module) ? kOk : kFail;
    } catch (...) {
        return kFail;
    }
}

int32_t DllUnregisterServer(void) {
    CallInProgress call;
    try {
        CFileRegistry registry(RegistryFilePath());
        return UnregisterAutoServer(registry) ? kOk : kFail;
    } catch (...) {
        return kFail;
    }
}

int32_t DllCanUnloadNow(void) { return g_callsInProgress.load() == 0 ? kOk : kFalse; }

int32_t DllGetClassObject(const void* /*clsid*/, const void* /*iid*/, void** object) {
    if (object != nullptr) {
        *object = nullptr;
    }
    return kClassNotAvailable;
}

void PellixSetMessageHook(PellixMessageHook hook) { g_messageHook.store(hook); }

} // extern "C"
