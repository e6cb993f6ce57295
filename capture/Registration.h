#pragma once

#include <string>
#include <string_view>

#include "platform/Registry.h"

// The class registration of the capture component: its ProgIDs, its class key and its type
// library, written into the registry stand-in by DllRegisterServer and removed by
// DllUnregisterServer. Used by one thread at a time.

namespace torvex {

constexpr std::string_view kAutoClsid = "{5B0E6C8A-3F41-4D2E-9A67-1C2B8D4E7F10}";
constexpr std::string_view kTypeLibGuid = "{A3D9F27E-6B15-4C8A-B0E4-92F1C7D35A68}";
constexpr std::string_view kSafeForScriptingCatid = "{7DD95801-9882-11CF-9FA9-00AA006C42C4}";
constexpr std::string_view kClassesRoot = "HKEY_CLASSES_ROOT";

// The path of the class's own key, "HKEY_CLASSES_ROOT\CLSID\{...}".
std::string AutoClassKeyPath();

// Writes every key, with `modulePath` as the library's location; the class key is replaced as a
// whole. False when a write fails (what was written stays).
bool RegisterAutoServer(CRegistry& registry, std::string_view modulePath);
// Removes what RegisterAutoServer wrote, except the keys "CLSID" and "Implemented Categories",
// which other components share. False when a removal fails.
bool UnregisterAutoServer(CRegistry& registry);

} // namespace torvex
