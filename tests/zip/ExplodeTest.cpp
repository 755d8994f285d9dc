#include <gtest/gtest.h>

#include "DecoderTestSupport.h"
#include "zip/Explode.h"

// Every imploded entry: 4 KB with two trees, 8 KB with three, mixed in one
// archive, and a long PKZIP 1.10 executable.
TEST(Explode, RealArchivesMatchTheirCrc) {
    int checked = 0;
    for (const std::string& archive : LegacyArchives()) {
        checked += ExpectEntriesDecode(archive, [](int method) { return method == 6; });
    }
    EXPECT_EQ(checked, 17);
}
