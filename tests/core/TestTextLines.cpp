#include "base/TextLines.h"

#include <gtest/gtest.h>

using quorvix::TextLines;

TEST(TextLines, AppendsFromEmptyThroughTheDocumentedCapacities)
{
    TextLines lines;
    EXPECT_EQ(lines.GetCapacity(), 0);
    std::vector<int> capacities;
    for (int i = 0; i < 120; ++i) {
        EXPECT_EQ(lines.Add("line " + std::to_string(i)), i);
        if (capacities.empty() || capacities.back() != lines.GetCapacity())
            capacities.push_back(lines.GetCapacity());
    }
    const std::vector<int> expected{1,  5,  9,  13, 17, 21, 25, 29,  33,  37, 41,
                                    46, 51, 57, 64, 72, 81, 91, 102, 114, 128};
    EXPECT_EQ(capacities, expected);
    for (int i = 0; i < 120; ++i)
        EXPECT_EQ(lines[i], "line " + std::to_string(i));
}

TEST(TextLines, RemoveAllAndSetSizeZeroReleaseStorage)
{
    TextLines lines;
    lines.RemoveAll();
    EXPECT_EQ(lines.GetSize(), 0);
    EXPECT_EQ(lines.GetCapacity(), 0);

    lines.Add("a");
    lines.Add("b");
    lines.RemoveAll();
    EXPECT_EQ(lines.GetCapacity(), 0);
    lines.Add("again");
    EXPECT_EQ(lines.GetCapacity(), 1) << "an emptied list allocates exactly one slot again";

    lines.SetSize(3, 7);
    EXPECT_EQ(lines.GetGrowBy(), 7);
    lines.SetSize(0, -1);
    EXPECT_EQ(lines.GetSize(), 0);
    EXPECT_EQ(lines.GetCapacity(), 0);
    EXPECT_EQ(lines.GetGrowBy(), 7) << "SetSize(0, -1) keeps the growth step";
}

TEST(TextLines, SetSizeAndSetAtGrowKeepOrderAndFillWithEmptyLines)
{
    TextLines lines;
    lines.Add("first");
    lines.SetAtGrow(3, "fourth");
    ASSERT_EQ(lines.GetSize(), 4);
    EXPECT_EQ(lines[0], "first");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[3], "fourth");

    lines.SetAtGrow(1, "second");
    EXPECT_EQ(lines.GetSize(), 4);
    EXPECT_EQ(lines[1], "second");

    lines.SetSize(2);
    ASSERT_EQ(lines.GetSize(), 2);
    EXPECT_EQ(lines[1], "second");
    lines.SetSize(5);
    EXPECT_EQ(lines[4], "");

    lines.SetAtGrow(-1, "ignored");
    lines.SetSize(-3);
    EXPECT_EQ(lines.GetSize(), 0);
}

TEST(TextLines, MillionsOfAppendsStayLinear)
{
    // With a capped step of 1024 this loop would move about 10^10 handles; an eighth of the size keeps it
    // amortised linear. (No timing is asserted; a quadratic regression shows up as a test timeout.)
    TextLines lines;
    for (int i = 0; i < 3'000'000; ++i)
        lines.Add({});
    EXPECT_EQ(lines.GetSize(), 3'000'000);
    EXPECT_LE(lines.GetCapacity(), 3'000'000 + 3'000'000 / 8 + 4);
}
