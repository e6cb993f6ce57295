#include "engine/RunEndCode.h"

#include <gtest/gtest.h>

namespace torvex {
namespace {

TEST(RunEndCodeText, FillsProjectAndProxy) {
    const ProxyName proxy{"proxy.h", 3128};
    EXPECT_EQ(StartFailureText(102, "P%s"),
              "Error: Failed to count the free disk space of project \"P%s\".");
    EXPECT_TRUE(StartFailureIsInformation(103));
    EXPECT_FALSE(StartFailureIsInformation(105));
    EXPECT_EQ(EndCodeText(203, "P", proxy),
              "Sorry. The time elapsed exceeds that limitation of project \"P\". Download is "
              "cancelled.");
    EXPECT_EQ(EndCodeText(301, "P", proxy).substr(0, 44),
              "Error: Failed to find proxy server \"proxy.h\"");
    EXPECT_EQ(EndCodeText(303, "P", proxy), "Error: Proxy user authentication failed: proxy.h:3128.");
    EXPECT_EQ(EndCodeText(501, "P", proxy), "Error: Forbidden.");
    EXPECT_EQ(EndCodeText(999, "P", proxy), "");
    EXPECT_EQ(StartFailureText(201, "P"), "");
}

TEST(RunEndCodeText, SecureConnectionFailureCarriesItsReason) {
    EXPECT_EQ(EndCodeText(408, "P%s", {}, "certificate has expired"),
              "Error: The secure connection to the start server of project \"P%s\" could not be "
              "established: certificate has expired.");
    EXPECT_EQ(EndCodeText(408, "P", {}),
              "Error: The secure connection to the start server of project \"P\" could not be "
              "established: unknown reason.");
}

} // namespace
} // namespace torvex
