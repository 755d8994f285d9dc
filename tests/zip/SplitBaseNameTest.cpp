// The base name that the parts of a split set are named from.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "DecoderTestSupport.h"
#include "TempDir.h"
#include "zip/UnZipper.h"

// Catches: the parts of a split set found from the archive name cut at its
// first dot, so my.pkg.zip looked for my.z01.
TEST(DottedSplitName, PartsAreFoundFromTheNameCutAtTheLastDot) {
    TempDir tmp;
    const std::string from = TestDataPath("multipart/infozip_split_stored/infozip_split_stored");
    std::filesystem::copy_file(from + ".z01", tmp.Path() + "my.pkg.z01");
    std::filesystem::copy_file(from + ".zip", tmp.Path() + "my.pkg.zip");
    TUnZipper zip;
    zip.SetZipName(tmp.Path() + "my.pkg.zip");
    EXPECT_EQ(zip.SplitBaseName(), tmp.Path() + "my.pkg");
    zip.ReadZip();
    ASSERT_GT(zip.GetCount(), 0);
    EXPECT_TRUE(zip.CheckArchive());
}
