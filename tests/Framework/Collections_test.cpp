#include <gtest/gtest.h>

#include "AfxColl.h"

TEST(CArray, AddInsertRemove)
{
    CArray<int, int> numbers;
    EXPECT_EQ(numbers.Add(1), 0);
    numbers.Add(3);
    numbers.InsertAt(1, 2);
    ASSERT_EQ(numbers.GetSize(), 3);
    EXPECT_EQ(numbers[1], 2);
    numbers.RemoveAt(0);
    EXPECT_EQ(numbers.GetAt(0), 2);
    numbers.RemoveAt(5);  // out of range: ignored
    numbers.RemoveAt(0, 10);
    EXPECT_TRUE(numbers.IsEmpty());
    numbers.SetAtGrow(3, 9);
    EXPECT_EQ(numbers.GetSize(), 4);
    EXPECT_EQ(numbers[3], 9);
    EXPECT_EQ(numbers.GetUpperBound(), 3);
}

TEST(CStringArray, HoldsCopies)
{
    CStringArray names;
    char buffer[8] = "first";
    names.Add(buffer);
    buffer[0] = 'F';
    names.Add("second");
    ASSERT_EQ(names.GetSize(), 2);
    EXPECT_EQ(names[0], "first");
    CStringArray copy;
    copy.Copy(names);
    copy.Append(names);
    EXPECT_EQ(copy.GetSize(), 4);
}
