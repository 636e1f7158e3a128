#include <gtest/gtest.h>

#include "framework/host_interfaces.h"
#include "platform/resources.h"
#include "platform/strings.h"
#include "platform/xml.h"

TEST(Platform, Smoke) {
    auto wide = platform::AnsiToWide("a\xC3\xA9");
    EXPECT_EQ(wide, u"a\u00e9");
}
