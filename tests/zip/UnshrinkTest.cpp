#include <gtest/gtest.h>

#include "DecoderTestSupport.h"
#include "zip/Unshrink.h"

// Every shrunk entry of the real archives, including a 2.4 MB executable
// whose long stream widens the codes and clears the table repeatedly.
TEST(UnShrink, RealArchivesMatchTheirCrc) {
    int checked = 0;
    for (const std::string& archive : LegacyArchives()) {
        checked += ExpectEntriesDecode(archive, [](int method) { return method == 1; });
    }
    EXPECT_EQ(checked, 19);
}
