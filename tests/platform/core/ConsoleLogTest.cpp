#include "Platform/core/ConsoleLog.h"

#include <gtest/gtest.h>

TEST(ConsoleLog, CapturesNestAndRestore)
{
    ConsoleLog::Capture outer;
    ConsoleLog::write("first");
    {
        ConsoleLog::Capture inner;
        ConsoleLog::write("second");
        EXPECT_EQ(inner.lines(), QStringList({"second"}));
    }
    ConsoleLog::write("third");
    EXPECT_EQ(outer.lines(), QStringList({"first", "third"}));
}
