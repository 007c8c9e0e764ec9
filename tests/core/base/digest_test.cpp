#include "core/base/digest.h"

#include "support/testsupport.h"

#include <gtest/gtest.h>

using testsupport::WriteFile;

namespace {

const char kAbc[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

class DigestTest : public testsupport::TempDirTest {};

}  // namespace

TEST_F(DigestTest, PiecesFilesAndTheKnownDigestAgree)
{
    CSha256 hash;
    hash.Update("a", 1);
    EXPECT_EQ("ca978112ca1bbdcafac231b39a23dc4da786eff8147c4e72b9807785afee48bb", hash.HexDigest());
    hash.Update("bc", 2);   // taking a digest does not end the feeding
    EXPECT_EQ(kAbc, hash.HexDigest());
    WriteFile(Path("abc"), "abc");
    EXPECT_EQ(kAbc, FileSha256(Path("abc")));
    EXPECT_EQ("", FileSha256(Path("missing")));
    EXPECT_EQ(kAbc, NormalizedSha256("BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"));
}
