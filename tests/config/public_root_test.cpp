// Built once with each copy of the library: the sandbox copy must never name
// the real GoZ public folder, and the product copy must name nothing else.
#include "gozsupport/paths.h"

#include <gtest/gtest.h>

TEST(GoZPublicRoot, EachCopyHoldsItsOwnFolder) {
    EXPECT_STREQ(GoZPublicRoot, GOZ_EXPECTED_ROOT);
}
