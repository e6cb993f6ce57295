#include "capture/CPellixLibrary.h"

#include <dlfcn.h>

namespace torvex {

namespace {

// The library's hook is a plain function without a context; the host calls the library from
// one thread only, so one collector serves.
std::string g_messages;

void CollectMessage(int /*id*/, const char* text) {
    if (!g_messages.empty()) {
        g_messages += '\n';
    }
    g_messages += text != nullptr ? text : "";
}

template <typename F> F Symbol(void* handle, const char* name) {
    return reinterpret_cast<F>(::dlsym(handle, name));
}

} // namespace

CPellixLibrary::CPellixLibrary(const std::string& path) {
    m_handle = path.empty() ? nullptr : ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (m_handle == nullptr) {
        const char* error = ::dlerror();
        m_loadError = error != nullptr ? error : "no library path";
        return;
    }
    m_addUrl = Symbol<AddUrlFunction>(m_handle, "AddURL");
    m_setHook = Symbol<SetHookFunction>(m_handle, "PellixSetMessageHook");
    if (m_addUrl == nullptr || m_setHook == nullptr) {
        m_loadError = path + ": not the capture library (AddURL is missing)";
        m_addUrl = nullptr;
    }
}

CPellixLibrary::~CPellixLibrary() {
    if (m_handle != nullptr) {
        ::dlclose(m_handle);
    }
}

std::string CPellixLibrary::AddUrl(const HostRequest& request) {
    if (!Loaded()) {
        return {};
    }
    g_messages.clear();
    m_setHook(&CollectMessage);
    m_addUrl(request.url.c_str(), request.info.c_str(), request.parentUrl.c_str());
    m_setHook(nullptr);
    return std::move(g_messages);
}

} // namespace torvex
