#include <gtest/gtest.h>

#include <string>

#include "html/IsHtmlText.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

TEST(IsHtmlText, RecognisesPagesByTheirFirstTag) {
    const struct {
        std::string text;
        bool page;
    } cases[] = {
        {"<HTML><body>x</body></HTML>", true},
        {"<html>", true},
        {"  \r\n\t<!DOCTYPE html><html lang=en>", true},
        {std::string("\0\0<script>x</script>", 20), true},
        {"<ScRiPt src=a.js>", true},
        {"<!-- comment -->", true},
        {"<html lang=\"en\">", false},   // a tag with attributes needs a leading "<!"
        {"<head>", false},
        {"GIF89a", false},
        {"", false},
        {"   \n", false},
        {"<HTM", false},
    };
    test::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(IsHtmlContent(c.text), c.page);
        const std::string path = dir / "file";
        test::WriteFileBytes(path, c.text);
        EXPECT_EQ(IsHtmlText(path), c.page);
    }
}

TEST(IsHtmlText, LooksPastALongBlankRun) {
    test::TempDir dir;
    const std::string path = dir / "padded";
    test::WriteFileBytes(path, std::string(10000, ' ') + "<!doctype html>");
    EXPECT_TRUE(IsHtmlText(path));
}

TEST(IsHtmlText, MissingFileIsNoPage) {
    test::TempDir dir;
    EXPECT_FALSE(IsHtmlText(dir / "absent"));
}

} // namespace
} // namespace torvex
