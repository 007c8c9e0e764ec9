// The README and the man page carry the exit-code table the program is built with. (Every
// NUV_CMD run of the suite also checks its exit code against the table; see RunNuvCmd.)
#include "cmd/exitcodes.h"
#include "cmd/jsonfields.h"
#include "core/base/textutil.h"

#include <gtest/gtest.h>

TEST(ExitCodeTable, ReadmeAndManPageHoldTheGeneratedTable)
{
    std::string schema;
    ASSERT_TRUE(ReadFileBytes(std::string(NUV_SOURCE_DIR) + "/docs/nuv-json.schema.json", &schema));
    for (const char* document : {"README.md", "dist/NUV_CMD.1"}) {
        SCOPED_TRACE(document);
        std::string text;
        ASSERT_TRUE(ReadFileBytes(std::string(NUV_SOURCE_DIR) + "/" + document, &text));
        std::string updated;
        ASSERT_TRUE(ReplaceExitCodeBlock(text, &updated));
        EXPECT_EQ(updated, text) << "the table is stale: build the target nuv_exitcodes";
        ASSERT_TRUE(ReplaceJsonFieldBlock(text, schema, &updated));
        EXPECT_EQ(updated, text) << "the JSON fields are stale: build the target nuv_exitcodes";
    }
    for (int code : {0, 1, 2, 63, 86, 115, 119})
        EXPECT_TRUE(IsListedExitCode(code)) << code;
    EXPECT_FALSE(IsListedExitCode(104));
}
