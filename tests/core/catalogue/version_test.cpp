#include "core/catalogue/version.h"

#include <gtest/gtest.h>

TEST(Version, PartCountsDecideEquality)
{
    const CVersion three("1.2.3"), four("1.2.3.0");
    EXPECT_FALSE(three == four);
    EXPECT_FALSE(three > four);
    EXPECT_FALSE(three < four);
    EXPECT_TRUE(three > CVersion("1.2.2.9"));
    EXPECT_TRUE(CVersion("1.2.2.9") < three);
    EXPECT_TRUE(CVersion("1.2") == CVersion("7.8"));   // two parts: all zero
    EXPECT_EQ(2, CVersion("1.2").PartCount());
    EXPECT_EQ(0, CVersion("5").PartCount());
    EXPECT_TRUE(CVersion("5").IsZero());
    EXPECT_EQ(0, CVersion("5").GetKind());
    EXPECT_EQ(5, CVersion("1.2.3.4.5").PartCount());
    EXPECT_EQ("0.0.0", CVersion("1.2.3.4.5").ToString());
}

TEST(Version, SuffixLettersAreSearchedInOrderNotByPosition)
{
    const CVersion beta("2.0.1b3");
    EXPECT_EQ(1u, beta.Third());
    EXPECT_EQ(CVersion::KindB, beta.GetKind());
    EXPECT_EQ(3u, beta.SuffixNumber());
    EXPECT_EQ("2.0.1B3", beta.ToString());

    const CVersion mixed("1.2.3b4a");
    EXPECT_EQ(3u, mixed.Third());
    EXPECT_EQ(CVersion::KindA, mixed.GetKind());
    EXPECT_EQ(0u, mixed.SuffixNumber());

    const CVersion fourth("1.2.3.4S7");
    EXPECT_EQ(4u, fourth.Fourth());
    EXPECT_EQ("1.2.3.4S7", fourth.ToString());
    EXPECT_EQ(CVersion("2.0.1B3"), beta);
}

TEST(Version, SuffixKindsOrderAroundTheRelease)
{
    EXPECT_TRUE(CVersion("2.0.1") > CVersion("2.0.1b3"));
    EXPECT_TRUE(CVersion("2.0.1p1") > CVersion("2.0.1"));
    EXPECT_TRUE(CVersion("2.0.1s1") > CVersion("2.0.1b9"));
    EXPECT_TRUE(CVersion("2.0.1b1") > CVersion("2.0.1a9"));
    EXPECT_TRUE(CVersion("2.0.1b10") > CVersion("2.0.1b9"));
    EXPECT_TRUE(CVersion("2.0.1b9") <= CVersion("2.0.1b10"));
    EXPECT_TRUE(CVersion("2.0.1") >= CVersion("2.0.1"));
}

TEST(Version, NumbersCompareUnsigned)
{
    // A negative text wraps to a large unsigned number and so ranks above ordinary ones.
    EXPECT_TRUE(CVersion("1.2.-1") > CVersion("1.2.400"));
    EXPECT_TRUE(CVersion("10.0.0") > CVersion("9.99.99"));
}

TEST(Version, ZeroAndFormatting)
{
    EXPECT_EQ("0.0.0", CVersion().ToString());
    EXPECT_EQ("0.0.0", CVersion("0.0.0.0").ToString());
    EXPECT_TRUE(CVersion("0.0.0.0").IsZero());
    EXPECT_TRUE(CVersion("0.0.0b2").IsZero());
    EXPECT_EQ(CVersion::KindRelease, CVersion().GetKind());
    EXPECT_EQ(0, CVersion().PartCount());
    EXPECT_EQ("6.4.0", CVersion("6.4.0").ToString());
    EXPECT_EQ("6.4.0.12", CVersion("6.4.0.12").ToString());
    EXPECT_EQ("0.0.0", CVersion(1, 2, 3, 0, 0, 4).ToString());   // built from numbers: no parts
    EXPECT_TRUE(CVersion(0, 0, 0, 0, 0, 4) == CVersion());
}
