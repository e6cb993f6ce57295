#include "app/AddressList.h"

#include <gtest/gtest.h>

namespace torvex {
namespace {

CStartAddress Address(const std::string& url, int child = 0, int inherit = 1) {
    CStartAddress address;
    address.StartURL = url;
    address.Child = child;
    address.Inherit = inherit;
    return address;
}

CUrlFilter HostsFilter(int mode, const std::string& fhost) {
    CUrlFilter filter;
    filter.HostFilter = mode;
    filter.FHost = fhost;
    return filter;
}

TEST(AddressRows, ShowTheDescriptionBeforeTheAddressAndIndentChildren) {
    CStartAddress plain = Address("http://h/");
    EXPECT_EQ(AddressRowText(plain), "http://h/");
    plain.Description = "Home";
    EXPECT_EQ(AddressRowText(plain), "Home (http://h/)");
    CStartAddress child = Address("http://h/sub/", 1);
    EXPECT_EQ(AddressRowText(child), "    http://h/sub/");
    child.Description = "Sub";
    EXPECT_EQ(AddressRowText(child), "    Sub (http://h/sub/)");
}

TEST(ApplyDate, ReplacesTheSelectionAndPlacesTheCursorBehindIt) {
    struct Case {
        std::string text;
        std::size_t start;
        std::size_t length;
        std::string result;
        std::size_t cursor;
    };
    const Case cases[] = {
        {"http://h/news/", 14, 0, "http://h/news/$DATE", 19},
        {"http://h/news/20240101/", 14, 8, "http://h/news/$DATE/", 19},
        {"http://h/x", 0, 0, "$DATEhttp://h/x", 5},
        {"http://h/x", 99, 4, "http://h/x$DATE", 15}, // clamped to the text
        {"http://h/x", 9, 99, "http://h/$DATE", 14},
        {"", 0, 0, "$DATE", 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto applied = ApplyDate(c.text, c.start, c.length);
        ASSERT_TRUE(applied);
        EXPECT_EQ(applied->text, c.result);
        EXPECT_EQ(applied->cursor, c.cursor);
    }
    const std::string full(kMaxStartUrl - 4, 'a');
    EXPECT_FALSE(ApplyDate(full, 0, 0)); // 513 characters
    EXPECT_TRUE(ApplyDate(full, 0, 1));  // exactly 512
}

TEST(ApplyDate, SampleAndRealAddressUseTheDateFormat) {
    const std::time_t when = 1700000000; // 2023-11-14 UTC
    EXPECT_EQ(DateSample("yyyymmdd", when), "20231114");
    EXPECT_EQ(DateSample("yy-m-d", when), "23-11-14");
    EXPECT_EQ(RealStartAddress("http://h/$DATE/i.html", "yyyymmdd", when),
              "http://h/20231114/i.html");
    EXPECT_EQ(RealStartAddress("http://h/", "yyyymmdd", when), "http://h/");
}

TEST(AddressFilters, AChildInheritsFromTheNearestStandAloneAddressBeforeIt) {
    const std::vector<CStartAddress> list = {Address("a"), Address("a1", 1), Address("b"),
                                             Address("b1", 1), Address("b2", 1)};
    EXPECT_EQ(ParentIndex(list, 0), 0u);
    EXPECT_EQ(ParentIndex(list, 1), 0u);
    EXPECT_EQ(ParentIndex(list, 2), 2u);
    EXPECT_EQ(ParentIndex(list, 4), 2u);
    const std::vector<CStartAddress> orphans = {Address("x", 1), Address("y", 1)};
    EXPECT_EQ(ParentIndex(orphans, 1), 0u);
}

TEST(AddressFilters, MenuFollowsInheritance) {
    const std::vector<CStartAddress> list = {Address("a"), Address("a1", 1, 1),
                                             Address("a2", 1, 0)};
    const CFilterCommands standAlone = FilterCommandsFor(list, 0);
    EXPECT_FALSE(standAlone.inheritEnabled);
    EXPECT_FALSE(standAlone.reviseEnabled);
    EXPECT_TRUE(standAlone.configureEnabled);
    const CFilterCommands inherits = FilterCommandsFor(list, 1);
    EXPECT_TRUE(inherits.inheritEnabled);
    EXPECT_TRUE(inherits.inheritChecked);
    EXPECT_FALSE(inherits.reviseEnabled);
    EXPECT_FALSE(inherits.configureEnabled);
    const CFilterCommands own = FilterCommandsFor(list, 2);
    EXPECT_TRUE(own.inheritEnabled);
    EXPECT_FALSE(own.inheritChecked);
    EXPECT_TRUE(own.reviseEnabled);
    EXPECT_TRUE(own.configureEnabled);
    EXPECT_FALSE(FilterCommandsFor(list, 9).configureEnabled);
}

TEST(AddressFilters, InheritAndReviseStartsFromACopyOfTheParentsFilter) {
    std::vector<CStartAddress> list = {Address("a"), Address("a1", 1, 1)};
    list[0].Filter = HostsFilter(3, "*.example.org");
    ToggleInherit(list, 1);
    EXPECT_EQ(list[1].Inherit, 0);
    CUrlFilter revised = RevisedFilter(list, 1);
    EXPECT_EQ(revised, list[0].Filter);
    revised.EHost = "ads.example.org";
    StoreOwnFilter(list, 1, revised);
    EXPECT_EQ(list[1].Filter.FHost, "*.example.org");
    EXPECT_EQ(list[1].Filter.EHost, "ads.example.org");
    EXPECT_EQ(list[1].Inherit, 0);
    EXPECT_EQ(list[0].Filter.EHost, ""); // the parent keeps its own
    ToggleInherit(list, 1);
    EXPECT_EQ(list[1].Inherit, 1);
    ToggleInherit(list, 0); // a stand-alone address has nothing to inherit
    EXPECT_EQ(list[0].Inherit, 1);
}

TEST(AddressFilters, SeveralRowsGetOnlyTheChoices) {
    std::vector<CStartAddress> list = {Address("a"), Address("b"), Address("c")};
    list[0].Filter = HostsFilter(3, "keep.org");
    list[0].Filter.ProtocolFilter = kProtocolNoFtp;
    list[2].Filter = HostsFilter(2, "other.org");
    CUrlFilter choices = HostsFilter(0, "ignored");
    choices.PathFilter = 1;
    choices.FilterSameLevel = true;
    choices.ProtocolFilter = kProtocolNoHttp;
    ApplyFilterChoices(list, {0, 2, 7}, choices);
    for (const std::size_t i : {std::size_t{0}, std::size_t{2}}) {
        SCOPED_TRACE(i);
        EXPECT_EQ(list[i].Filter.HostFilter, 0);
        EXPECT_EQ(list[i].Filter.PathFilter, 1);
        EXPECT_TRUE(list[i].Filter.FilterSameLevel);
    }
    EXPECT_EQ(list[0].Filter.FHost, "keep.org");
    EXPECT_EQ(list[0].Filter.ProtocolFilter, kProtocolNoFtp);
    EXPECT_EQ(list[2].Filter.FHost, "other.org");
    EXPECT_EQ(list[1].Filter, CUrlFilter());
}

TEST(AddressRowsEdit, TheFirstAddressStaysEnabled) {
    std::vector<CStartAddress> list = {Address("a"), Address("b"), Address("c")};
    SetAddressesEnabled(list, {0, 1, 5}, false);
    EXPECT_TRUE(list[0].Enable);
    EXPECT_FALSE(list[1].Enable);
    EXPECT_TRUE(list[2].Enable);
    SetAddressesEnabled(list, {1}, true);
    EXPECT_TRUE(list[1].Enable);
}

TEST(AddressRowsEdit, DeletingTheFirstMakesTheNextStandAloneWithTheFilterItRanWith) {
    std::vector<CStartAddress> list = {Address("a"), Address("a1", 1, 1), Address("a2", 1, 0),
                                       Address("b")};
    list[0].Filter = HostsFilter(3, "parent.org");
    list[1].Enable = false;
    DeleteAddresses(list, {0, 0});
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].StartURL, "a1");
    EXPECT_EQ(list[0].Child, 0);
    EXPECT_TRUE(list[0].Enable);
    EXPECT_EQ(list[0].Filter.FHost, "parent.org"); // it inherited that filter
    EXPECT_EQ(list[1].Child, 1);                   // a2 now follows a1
    DeleteAddresses(list, {2, 1, 0, 9});
    EXPECT_TRUE(list.empty());
    DeleteAddresses(list, {0});
    EXPECT_TRUE(list.empty());
}

TEST(ProtocolBoxes, ShowTheBitsInverted) {
    EXPECT_TRUE(FollowsHttp(0));
    EXPECT_TRUE(FollowsFtp(0));
    EXPECT_FALSE(FollowsHttp(kProtocolNoHttp));
    EXPECT_TRUE(FollowsFtp(kProtocolNoHttp));
    EXPECT_FALSE(FollowsFtp(kProtocolNoFtp | kProtocolNoHttp));
    EXPECT_EQ(ProtocolFilterFor(true, true, 0), 0);
    EXPECT_EQ(ProtocolFilterFor(false, true, 0), kProtocolNoHttp);
    EXPECT_EQ(ProtocolFilterFor(true, false, 0), kProtocolNoFtp);
    EXPECT_EQ(ProtocolFilterFor(false, false, 0), kProtocolNoHttp | kProtocolNoFtp);
    // Bits of no box are kept as they were read.
    EXPECT_EQ(ProtocolFilterFor(true, true, 8 | kProtocolNoFtp), 8);
}

} // namespace
} // namespace torvex
