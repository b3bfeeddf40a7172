#include "core/DeviceName.h"

#include <gtest/gtest.h>

using hourloom::DeviceName;

TEST(DeviceName, PrefersThePrettyHostNameThenTheHostName)
{
    EXPECT_EQ(DeviceName::choose("CHASSIS=laptop\nPRETTY_HOSTNAME=\"Ada's \\\"Laptop\\\"\"\n", "ada-x1"), "Ada's \"Laptop\"");
    EXPECT_EQ(DeviceName::choose("PRETTY_HOSTNAME=Workstation\n", "ws"), "Workstation");
    EXPECT_EQ(DeviceName::choose("PRETTY_HOSTNAME=\"\"\n", "ada-x1"), "ada-x1");
    EXPECT_EQ(DeviceName::choose("", "ada-x1"), "ada-x1");
    EXPECT_EQ(DeviceName::choose("", ""), std::nullopt);
}
