// Every damaged or hostile file ends as a clean failure of that one file with
// its message, or converts as the reading choices promise, in bounded time.
#include <gtest/gtest.h>

#include "tests/support/engineHarness.h"
#include "tests/support/hostileCases.h"

class HostileTest : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileTest, EndsCleanly)
{
    const HostileCase& c = GetParam();
    EngineHarness h;
    h.settings.extended = c.extended;
    auto r = h.convert(c.pdf);
    EXPECT_EQ(r.ok, c.converts);
    EXPECT_EQ(r.log, c.log);
    if (c.converts) {
        ASSERT_GE(r.text.size(), c.textSuffix.size());
        EXPECT_EQ(r.text.substr(r.text.size() - c.textSuffix.size()), c.textSuffix);
    }
}

// The default mode's cases in extended reading mode: whatever each gives, it
// ends, and a failure says so in one line.
TEST_P(HostileTest, EndsCleanlyInExtendedMode)
{
    const HostileCase& c = GetParam();
    if (c.extended)
        GTEST_SKIP() << "an extended reading case already";
    EngineHarness h;
    h.settings.extended = true;
    auto r = h.convert(c.pdf);
    if (r.ok)
        EXPECT_EQ(r.log, "");
    else
        EXPECT_TRUE(r.log.size() > 2 && r.log.find("\r\n") == r.log.size() - 2) << r.log;
}

INSTANTIATE_TEST_SUITE_P(Files, HostileTest, ::testing::ValuesIn(hostileCases()),
                         [](const ::testing::TestParamInfo<HostileCase>& info) {
                             std::string n = info.param.name;
                             for (char& ch : n)
                                 if (ch == '-')
                                     ch = '_';
                             return n;
                         });
