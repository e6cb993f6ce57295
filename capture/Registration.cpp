#include "capture/Registration.h"

#include <filesystem>

namespace torvex {

namespace {

constexpr std::string_view kClassName = "Auto Class";
constexpr std::string_view kProgId = "Torvex.Auto.1";
constexpr std::string_view kIndependentProgId = "Torvex.Auto";
constexpr std::string_view kTypeLibText = "Torvex 1.0 Type Library";

std::string Join(std::string_view a, std::string_view b) {
    std::string path(a);
    path += '\\';
    path.append(b);
    return path;
}

std::string Root(std::string_view key) { return Join(kClassesRoot, key); }

std::string TypeLibKeyPath() { return Root(Join("TypeLib", kTypeLibGuid)); }

} // namespace

std::string AutoClassKeyPath() { return Root(Join("CLSID", kAutoClsid)); }

bool RegisterAutoServer(CRegistry& registry, std::string_view modulePath) {
    const std::string classKey = AutoClassKeyPath();
    const std::string categories = Join(classKey, "Implemented Categories");
    const std::string typeLib = Join(TypeLibKeyPath(), "1.0");
    const std::string moduleDir = std::filesystem::path(modulePath).parent_path().string();
    bool ok = true;
    auto write = [&](const std::string& key, std::string_view name, std::string_view value) {
        ok = registry.WriteString(key, name, value) && ok;
    };

    write(Root(kProgId), "", kClassName);
    write(Root(Join(kProgId, "CLSID")), "", kAutoClsid);
    write(Root(kIndependentProgId), "", kClassName);
    write(Root(Join(kIndependentProgId, "CLSID")), "", kAutoClsid);
    write(Root(Join(kIndependentProgId, "CurVer")), "", kProgId);

    ok = registry.CreateKey(Root("CLSID")) && ok;
    ok = registry.DeleteKey(classKey) && ok;   // a stale class key is replaced as a whole
    write(classKey, "", kClassName);
    write(Join(classKey, "ProgID"), "", kProgId);
    write(Join(classKey, "VersionIndependentProgID"), "", kIndependentProgId);
    ok = registry.CreateKey(Join(classKey, "Programmable")) && ok;
    write(Join(classKey, "InprocServer32"), "", modulePath);
    write(Join(classKey, "InprocServer32"), "ThreadingModel", "Apartment");
    write(Join(classKey, "TypeLib"), "", kTypeLibGuid);
    // Created on its own so that it outlives the removal of the category below it.
    ok = registry.CreateKey(categories) && ok;
    ok = registry.CreateKey(Join(categories, kSafeForScriptingCatid)) && ok;

    // The type library: on this platform the library itself is all there is to point at.
    write(typeLib, "", kTypeLibText);
    write(Join(typeLib, "0\\linux"), "", modulePath);
    write(Join(typeLib, "FLAGS"), "", "0");
    write(Join(typeLib, "HELPDIR"), "", moduleDir);
    return ok;
}

bool UnregisterAutoServer(CRegistry& registry) {
    const std::string classKey = AutoClassKeyPath();
    bool ok = registry.DeleteKey(Root(kProgId));
    ok = registry.DeleteKey(Root(kIndependentProgId)) && ok;
    for (const char* sub : {"ProgID", "VersionIndependentProgID", "Programmable", "InprocServer32",
                            "TypeLib"}) {
        ok = registry.DeleteKey(Join(classKey, sub)) && ok;
    }
    ok = registry.DeleteKey(Join(Join(classKey, "Implemented Categories"),
                                 kSafeForScriptingCatid)) &&
         ok;
    ok = registry.DeleteValue(classKey, "") && ok;
    ok = registry.DeleteKey(TypeLibKeyPath()) && ok;
    return ok;
}

} // namespace torvex
