// The log keeps every line added, empty ones too, wherever they fall, and shows them.

#include <gtest/gtest.h>

#include "boardtester/LogMemo.h"

using relmora::LogMemo;

TEST(LogMemoTest, EveryLineAddedIsALine) {
    const QStringList cases[] = {
        {""},
        {"", ""},
        {"", "No reply"},
        {"", "", "No reply"},
        {"Measures", ""},
        {"Measures", "", "No anomaly detected"},
        {"Measures", "", ""},
    };
    for (const QStringList& lines : cases) {
        SCOPED_TRACE(lines.join('|').toStdString());
        LogMemo memo;
        for (const QString& line : lines) memo.AddLine(line);
        EXPECT_EQ(memo.Lines(), lines);
        EXPECT_EQ(memo.toPlainText(), lines.join('\n')); // what the operator sees
        EXPECT_EQ(memo.document()->blockCount(), lines.size());
    }
}

TEST(LogMemoTest, ClearedLogHoldsNoLineAndStartsAfresh) {
    LogMemo memo;
    EXPECT_TRUE(memo.Lines().isEmpty());
    for (const char* line : {"a", "", "b"}) memo.AddLine(line);
    memo.clear();
    EXPECT_TRUE(memo.Lines().isEmpty());
    memo.AddLine("");
    memo.AddLine("c");
    EXPECT_EQ(memo.Lines(), (QStringList{"", "c"}));
    memo.AddLine("");
    memo.clear();
    memo.AddLine("");
    EXPECT_EQ(memo.Lines(), QStringList{""});
    memo.AddLine("d");
    EXPECT_EQ(memo.Lines(), (QStringList{"", "d"}));
}
