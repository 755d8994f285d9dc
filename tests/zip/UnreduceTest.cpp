#include <gtest/gtest.h>

#include "DecoderTestSupport.h"
#include "zip/Unreduce.h"

// Every reduced entry (factors 1 to 4) of the real archives.
TEST(UnReduce, RealArchivesMatchTheirCrc) {
    int checked = 0;
    for (const std::string& archive : LegacyArchives()) {
        checked += ExpectEntriesDecode(archive, [](int m) { return m >= 2 && m <= 5; });
    }
    EXPECT_EQ(checked, 16);
}
