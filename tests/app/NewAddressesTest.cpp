#include "app/NewAddresses.h"

#include <gtest/gtest.h>

#include "support/RunFakes.h"

namespace torvex {
namespace {

using test::CScriptedPrompter;

CStartAddress Address(const std::string& url, int child = 0) {
    CStartAddress address;
    address.StartURL = url;
    address.Child = child;
    return address;
}

std::vector<std::string> Urls(const CProjectSettings& project) {
    std::vector<std::string> urls;
    for (const CStartAddress& address : project.Addresses) {
        urls.push_back(address.StartURL + (address.Child ? " child" : "") +
                       (address.Enable ? "" : " off"));
    }
    return urls;
}

CProjectSettings ProjectWithChildren() {
    CProjectSettings project;
    project.Name = "Docs";
    project.Addresses = {Address("http://a/"), Address("http://a/1", 1), Address("http://a/2", 1),
                         Address("http://b/"), Address("http://b/1", 1)};
    return project;
}

TEST(NewAddress, CaptionNamesTheProjectAndTheKind) {
    EXPECT_EQ(NewAddressCaption("Docs", NewAddressKind::StandAlone), "New URL(Docs) - stand-alone");
    EXPECT_EQ(NewAddressCaption("Docs", NewAddressKind::Child), "New URL(Docs) - child");
}

TEST(NewAddress, StartsWithTheClipboardsAddressOnlyWhenTheMonitorIsOn) {
    EXPECT_EQ(NewAddressInitialText(true, " http://h/x \n"), "http://h/x");
    EXPECT_EQ(NewAddressInitialText(false, "http://h/x"), "http://");
    EXPECT_EQ(NewAddressInitialText(true, "not an address"), "http://");
}

TEST(NewAddress, TemplateTakesTheDefaultsAndForAChildTheFirstDateFormat) {
    CProjectSettings defaults;
    defaults.Level = 4;
    defaults.HostFilter = 1;
    defaults.FilterSameLevel = true;
    CProjectSettings project = ProjectWithChildren();
    project.Addresses[0].DateFormat = "yymmdd";
    const CStartAddress standAlone =
        NewAddressTemplate(defaults, project, NewAddressKind::StandAlone);
    EXPECT_EQ(standAlone.Level, 4);
    EXPECT_EQ(standAlone.Filter.HostFilter, 1);
    EXPECT_TRUE(standAlone.Filter.FilterSameLevel);
    EXPECT_EQ(standAlone.Inherit, 0);
    EXPECT_EQ(standAlone.DateFormat, "yyyymmdd");
    const CStartAddress child = NewAddressTemplate(defaults, project, NewAddressKind::Child);
    EXPECT_EQ(child.Child, 1);
    EXPECT_EQ(child.Inherit, 1);
    EXPECT_EQ(child.DateFormat, "yymmdd");
}

TEST(NewAddress, AddRefusesBadAddressesAndAsksAboutDuplicates) {
    const CProjectSettings project = ProjectWithChildren();
    CScriptedPrompter prompter;
    EXPECT_FALSE(AcceptNewAddress(Address("gopher://h/"), project, {}, prompter));
    EXPECT_FALSE(AcceptNewAddress(Address("http://"), project, {}, prompter));
    EXPECT_EQ(prompter.said, (std::vector<std::string>{
                                 "information: Sorry, the URL is not valid.",
                                 "information: Sorry, the URL is not valid."}));
    prompter.said.clear();

    prompter.answers = {false, true, false};
    EXPECT_FALSE(AcceptNewAddress(Address("HTTP://A/1"), project, {}, prompter));
    EXPECT_TRUE(AcceptNewAddress(Address("http://a/1"), project, {}, prompter));
    EXPECT_FALSE(
        AcceptNewAddress(Address("http://new/"), project, {Address("http://NEW/")}, prompter));
    EXPECT_EQ(prompter.said.size(), 3u);
    EXPECT_EQ(prompter.said[0], "yesno: The URL already exists. Do you wish to add it anyway?");
    prompter.said.clear();
    EXPECT_TRUE(AcceptNewAddress(Address("http://new/"), project, {}, prompter));
    EXPECT_TRUE(prompter.said.empty());
}

TEST(NewUrlOption, BoxesStartFromTheProject) {
    CProjectSettings project;
    project.UpdateMode = 2;
    project.BackupLast = 1;
    CNewUrlOptions options = NewUrlOptionsFor(project);
    EXPECT_FALSE(options.disableOld);
    EXPECT_FALSE(options.readLocal);
    EXPECT_FALSE(options.noBackup);
    project.UpdateMode = 0;
    project.BackupLast = 0;
    options = NewUrlOptionsFor(project);
    EXPECT_TRUE(options.readLocal);
    EXPECT_TRUE(options.noBackup);
}

TEST(NewUrlOption, BoxesSetBackupAndUpdateMode) {
    struct Case {
        int updateMode;
        bool readLocal;
        bool noBackup;
        int updateAfter;
        int backupAfter;
    };
    const Case cases[] = {
        {2, false, false, 2, 1}, {2, true, false, 1, 1}, {0, true, true, 0, 0},
        {1, true, false, 1, 1},  {0, false, true, 2, 0}, {1, false, false, 2, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.updateMode << c.readLocal << c.noBackup);
        CProjectSettings project = ProjectWithChildren();
        project.UpdateMode = c.updateMode;
        CNewUrlOptions options;
        options.readLocal = c.readLocal;
        options.noBackup = c.noBackup;
        InsertNewAddresses(project, {Address("http://n/")}, NewAddressKind::StandAlone, options);
        EXPECT_EQ(project.UpdateMode, c.updateAfter);
        EXPECT_EQ(project.BackupLast, c.backupAfter);
    }
}

TEST(NewUrlOption, StandAloneAddressesGoToTheFront) {
    CProjectSettings project = ProjectWithChildren();
    InsertNewAddresses(project, {Address("http://n1/"), Address("http://n2/", 1)},
                       NewAddressKind::StandAlone, CNewUrlOptions());
    EXPECT_EQ(Urls(project),
              (std::vector<std::string>{"http://n1/", "http://n2/", "http://a/", "http://a/1 child",
                                        "http://a/2 child", "http://b/", "http://b/1 child"}));
}

TEST(NewUrlOption, StandAloneAddressesThatDisableOldOnesDisableTheFirstToo) {
    CProjectSettings project = ProjectWithChildren();
    CNewUrlOptions options;
    options.disableOld = true;
    InsertNewAddresses(project, {Address("http://n/")}, NewAddressKind::StandAlone, options);
    EXPECT_EQ(Urls(project), (std::vector<std::string>{
                                 "http://n/", "http://a/ off", "http://a/1 child off",
                                 "http://a/2 child off", "http://b/ off", "http://b/1 child off"}));
}

TEST(NewUrlOption, ChildrenThatDisableOldOnesLandAfterTheOldChildren) {
    CProjectSettings project = ProjectWithChildren();
    CNewUrlOptions options;
    options.disableOld = true;
    InsertNewAddresses(project, {Address("http://c1/"), Address("http://c2/")},
                       NewAddressKind::Child, options);
    EXPECT_EQ(Urls(project),
              (std::vector<std::string>{"http://a/", "http://a/1 child off", "http://a/2 child off",
                                        "http://c1/ child", "http://c2/ child", "http://b/ off",
                                        "http://b/1 child off"}));
}

TEST(NewUrlOption, ChildrenOfAProjectWithoutAddressesStartItsList) {
    CProjectSettings project;
    InsertNewAddresses(project, {Address("http://c1/"), Address("http://c2/")},
                       NewAddressKind::Child, CNewUrlOptions());
    EXPECT_EQ(Urls(project), (std::vector<std::string>{"http://c1/", "http://c2/ child"}));
    CProjectSettings single;
    single.Addresses = {Address("http://a/")};
    InsertNewAddresses(single, {Address("http://c/")}, NewAddressKind::Child, CNewUrlOptions());
    EXPECT_EQ(Urls(single), (std::vector<std::string>{"http://a/", "http://c/ child"}));
}

} // namespace
} // namespace torvex
