#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <dlfcn.h>
#include <gtest/gtest.h>

#include "capture/HandOver.h"
#include "capture/Pellix.h"
#include "capture/Registration.h"
#include "platform/Registry.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

constexpr const char* kTorvexKey = "HKEY_CURRENT_USER\\Software\\Torvex\\";

struct Message {
    int id;
    std::string text;
};
std::vector<Message> g_messages;

void RecordMessage(int id, const char* text) { g_messages.push_back({id, text}); }

// The built library, loaded the way a browser helper loads it: by path, through its exported
// C names only.
class PellixLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        m_handle = ::dlopen(PELLIX_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(m_handle, nullptr) << ::dlerror();
        Bind(m_addUrl, "AddURL");
        Bind(m_register, "DllRegisterServer");
        Bind(m_unregister, "DllUnregisterServer");
        Bind(m_canUnload, "DllCanUnloadNow");
        Bind(m_getClassObject, "DllGetClassObject");
        Bind(m_setHook, "PellixSetMessageHook");
        ASSERT_NE(m_setHook, nullptr);
        m_setHook(&RecordMessage);
        g_messages.clear();
        ::setenv("TORVEX_REGISTRY", (m_dir / "registry").c_str(), 1);
        ::setenv("LC_ALL", "C", 1);
    }
    void TearDown() override {
        ::unsetenv("TORVEX_REGISTRY");
        if (m_setHook != nullptr) {
            m_setHook(nullptr);
        }
        if (m_handle != nullptr) {
            ::dlclose(m_handle);
        }
    }

    template <typename F>
    void Bind(F& function, const char* name) {
        function = reinterpret_cast<F>(::dlsym(m_handle, name));
        EXPECT_NE(function, nullptr) << name;
    }

    // A folder with a program named like the main one that records its path and arguments.
    std::string MakeProgramFolder(const std::string& name) {
        const std::string folder = m_dir / name;
        fs::create_directories(folder);
        WriteFileBytes(folder + "/torvex",
                       "#!/bin/sh\n"
                       "d=$(dirname \"$0\")\n"
                       "printf '%s\\n' \"$0\" \"$@\" > \"$d/args.part\" && mv \"$d/args.part\" "
                       "\"$d/args\"\n");
        fs::permissions(folder + "/torvex", fs::perms::owner_all);
        return folder;
    }

    CFileRegistry Registry() { return CFileRegistry(m_dir / "registry"); }

    TempDir m_dir;
    void* m_handle = nullptr;
    decltype(&AddURL) m_addUrl = nullptr;
    decltype(&DllRegisterServer) m_register = nullptr;
    decltype(&DllUnregisterServer) m_unregister = nullptr;
    decltype(&DllCanUnloadNow) m_canUnload = nullptr;
    decltype(&DllGetClassObject) m_getClassObject = nullptr;
    decltype(&PellixSetMessageHook) m_setHook = nullptr;
};

// The started program runs on its own; wait (bounded) for the file it leaves.
std::string WaitForFile(const std::string& path) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fs::exists(path) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return ReadFileBytes(path);
}

TEST_F(PellixLibrary, WritesTheFileAndStartsTheProgramWithOneSeparator) {
    const std::string folder = MakeProgramFolder("app");
    for (const std::string& stored : {folder, folder + "/", folder + "//"}) {
        SCOPED_TRACE(stored);
        fs::remove(folder + "/args");
        fs::remove(folder + "/addurl.tmp");
        ASSERT_TRUE(Registry().WriteString(kTorvexKey, "WorkDir", stored));
        EXPECT_EQ(m_addUrl("http://a.example/x", "Link", "http://a.example/"), 0);
        EXPECT_EQ(ReadFileBytes(folder + "/addurl.tmp"),
                  "URL=http://a.example/x\nInfo=Link\nParentURL=http://a.example/\n");
        EXPECT_EQ(WaitForFile(folder + "/args"), folder + "/torvex\n/u\n");
    }
    EXPECT_TRUE(g_messages.empty());
}

TEST_F(PellixLibrary, WritesValuesAsTheBrowserGaveThem) {
    const std::string folder = m_dir / "app";   // no program to start: only the file matters
    fs::create_directory(folder);
    ASSERT_TRUE(Registry().WriteString(kTorvexKey, "WorkDir", folder));
    struct Case {
        const char* url;
        const char* info;
        const char* parent;
        const char* expected;
    };
    const Case cases[] = {
        {"http://h/", "\r\n\n\rTitle\nsecond line", "http://p/",
         "URL=http://h/\nInfo=Title\nsecond line\nParentURL=http://p/\n"},
        {"", "", "", "URL=\nInfo=\nParentURL=\n"},
        {nullptr, nullptr, nullptr, "URL=\nInfo=\nParentURL=\n"},
        // An address cannot hold a line break; one that arrives with it must not add keys.
        {"http://h/\nURL=http://evil/", "i", "http://p/\r\nInfo=x",
         "URL=http://h/\nInfo=i\nParentURL=http://p/\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(m_addUrl(c.url, c.info, c.parent), 0);
        EXPECT_EQ(ReadFileBytes(folder + "/addurl.tmp"), c.expected);
    }
}

TEST_F(PellixLibrary, ReportsAMissingOrOddWorkingDirectoryAndWritesNothing) {
    const std::string folder = MakeProgramFolder("app");
    EXPECT_EQ(m_addUrl("http://h/", "i", "p"), 0);   // no registry file at all
    ASSERT_TRUE(Registry().WriteString(kTorvexKey, "Other", "x"));
    EXPECT_EQ(m_addUrl("http://h/", "i", "p"), 0);   // key without WorkDir
    for (const std::string& odd : {std::string("relative/app"), folder + "/../app",
                                   "/" + std::string(kWorkDirBufferSize - 1, 'a')}) {
        ASSERT_TRUE(Registry().WriteString(kTorvexKey, "WorkDir", odd));
        EXPECT_EQ(m_addUrl("http://h/", "i", "p"), 0);
    }
    ASSERT_EQ(g_messages.size(), 5u);
    for (const Message& message : g_messages) {
        EXPECT_EQ(message.id, 101);
        EXPECT_EQ(message.text, "Error: Failed to get the installation information about "
                                "Torvex! Please reinstall Torvex.");
    }
    EXPECT_FALSE(fs::exists(folder + "/addurl.tmp"));
    EXPECT_FALSE(fs::exists(folder + "/args"));
}

TEST_F(PellixLibrary, ReportsAFileThatCannotBeWrittenAndStaysSilentWithoutTheProgram) {
    ASSERT_TRUE(Registry().WriteString(kTorvexKey, "WorkDir", m_dir / "absent"));
    EXPECT_EQ(m_addUrl("http://h/", "i", "p"), 0);
    ASSERT_EQ(g_messages.size(), 1u);
    EXPECT_EQ(g_messages[0].id, 102);

    g_messages.clear();
    fs::create_directory(m_dir / "empty");
    ASSERT_TRUE(Registry().WriteString(kTorvexKey, "WorkDir", m_dir / "empty"));
    EXPECT_EQ(m_addUrl("http://h/", "i", "p"), 0);
    EXPECT_TRUE(g_messages.empty());   // the file waits for the next start with "/u"
    EXPECT_EQ(ReadFileBytes(m_dir / "empty/addurl.tmp"), "URL=http://h/\nInfo=i\nParentURL=p\n");
}

TEST_F(PellixLibrary, ReplacesALinkAtTheFileNameInsteadOfWritingThroughIt) {
    const std::string folder = MakeProgramFolder("app");
    const std::string outside = m_dir / "outside";
    WriteFileBytes(outside, "precious");
    fs::create_symlink(outside, folder + "/addurl.tmp");
    ASSERT_TRUE(Registry().WriteString(kTorvexKey, "WorkDir", folder));
    EXPECT_EQ(m_addUrl("http://h/", "", ""), 0);
    EXPECT_EQ(ReadFileBytes(outside), "precious");
    EXPECT_FALSE(fs::is_symlink(folder + "/addurl.tmp"));
    EXPECT_EQ(ReadFileBytes(folder + "/addurl.tmp"), "URL=http://h/\nInfo=\nParentURL=\n");
}

TEST_F(PellixLibrary, RegistersAndUnregistersTheClassKeys) {
    ASSERT_TRUE(Registry().WriteString(kTorvexKey, "WorkDir", "/opt/torvex"));
    ASSERT_EQ(m_register(), 0);
    const std::string classKey = "HKEY_CLASSES_ROOT\\CLSID\\" + std::string(kAutoClsid);
    std::string value;
    const CFileRegistry registry = Registry();
    auto read = [&](const std::string& key, const char* name) {
        value.clear();
        return registry.ReadString(key, name, value) ? value : std::string("<missing>");
    };
    EXPECT_EQ(read("HKEY_CLASSES_ROOT\\Torvex.Auto.1", ""), "Auto Class");
    EXPECT_EQ(read("HKEY_CLASSES_ROOT\\Torvex.Auto.1\\CLSID", ""), kAutoClsid);
    EXPECT_EQ(read("HKEY_CLASSES_ROOT\\Torvex.Auto\\CurVer", ""), "Torvex.Auto.1");
    EXPECT_EQ(read(classKey, ""), "Auto Class");
    EXPECT_EQ(read(classKey + "\\ProgID", ""), "Torvex.Auto.1");
    EXPECT_EQ(read(classKey + "\\VersionIndependentProgID", ""), "Torvex.Auto");
    EXPECT_EQ(read(classKey + "\\InprocServer32", ""), fs::canonical(PELLIX_PATH).string());
    EXPECT_EQ(read(classKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(read(classKey + "\\TypeLib", ""), kTypeLibGuid);
    EXPECT_TRUE(registry.KeyExists(classKey + "\\Programmable"));
    const std::string category =
        classKey + "\\Implemented Categories\\" + std::string(kSafeForScriptingCatid);
    EXPECT_TRUE(registry.KeyExists(category));
    EXPECT_EQ(m_register(), 0);   // again: replaced, not doubled

    ASSERT_EQ(m_unregister(), 0);
    EXPECT_FALSE(registry.KeyExists("HKEY_CLASSES_ROOT\\Torvex.Auto.1"));
    EXPECT_FALSE(registry.KeyExists("HKEY_CLASSES_ROOT\\Torvex.Auto"));
    EXPECT_FALSE(registry.KeyExists(classKey + "\\InprocServer32"));
    EXPECT_FALSE(registry.KeyExists(classKey + "\\Programmable"));
    EXPECT_FALSE(registry.KeyExists(category));
    EXPECT_FALSE(registry.KeyExists("HKEY_CLASSES_ROOT\\TypeLib\\" + std::string(kTypeLibGuid)));
    EXPECT_TRUE(registry.KeyExists("HKEY_CLASSES_ROOT\\CLSID"));
    EXPECT_TRUE(registry.KeyExists(classKey + "\\Implemented Categories"));
    EXPECT_EQ(read(kTorvexKey, "WorkDir"), "/opt/torvex");   // nothing else touched
}

decltype(&DllCanUnloadNow) g_canUnload = nullptr;
int g_canUnloadDuringCall = -1;

void AskCanUnload(int /*id*/, const char* /*text*/) { g_canUnloadDuringCall = g_canUnload(); }

TEST_F(PellixLibrary, AnswersTheLoaderQuestionsWithoutCom) {
    EXPECT_EQ(m_canUnload(), 0);
    g_canUnload = m_canUnload;
    m_setHook(&AskCanUnload);   // runs inside AddURL, which reports the missing WorkDir
    EXPECT_EQ(m_addUrl("http://h/", "", ""), 0);
    EXPECT_EQ(g_canUnloadDuringCall, 1);
    EXPECT_EQ(m_canUnload(), 0);
    void* object = &object;
    EXPECT_LT(m_getClassObject(nullptr, nullptr, &object), 0);
    EXPECT_EQ(object, nullptr);
}

} // namespace
} // namespace torvex
