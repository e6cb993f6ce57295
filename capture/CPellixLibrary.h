#pragma once

#include <string>

#include "capture/NativeHost.h"

namespace torvex {

// libpellix.so loaded by path, as the browser's helper uses it: through its exported C entry
// points only. Owned by the host's main(); one thread uses it. While a call runs, the user's
// messages that the library reports are collected for the reply instead of going to standard
// error.
class CPellixLibrary {
public:
    explicit CPellixLibrary(const std::string& path);
    ~CPellixLibrary();
    CPellixLibrary(const CPellixLibrary&) = delete;
    CPellixLibrary& operator=(const CPellixLibrary&) = delete;

    bool Loaded() const { return m_addUrl != nullptr; }
    // What dlopen or dlsym said when the library could not be used.
    const std::string& LoadError() const { return m_loadError; }

    // Calls AddURL with the request; the messages the library reported, one per line ("" when
    // none).
    std::string AddUrl(const HostRequest& request);

private:
    using AddUrlFunction = int (*)(const char*, const char*, const char*);
    using MessageHook = void (*)(int, const char*);
    using SetHookFunction = void (*)(MessageHook);

    void* m_handle = nullptr;
    AddUrlFunction m_addUrl = nullptr;
    SetHookFunction m_setHook = nullptr;
    std::string m_loadError;
};

} // namespace torvex
