// Every file of the shared corpus, damaged ones included, is read in every
// missing-directory mode: the reader either lists it or ends in one of its
// own errors, quickly, and never crashes.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "zip/UnZipper.h"

namespace {

TEST(CorpusRobustness, EveryFileListsOrFailsCleanly) {
    const std::filesystem::path root = std::string(ZUVO_TESTDATA_DIR) + "/zip";
    int files = 0;
    for (const auto& item : std::filesystem::recursive_directory_iterator(root)) {
        if (!item.is_regular_file() || item.path().extension() == ".md" ||
            item.path().extension() == ".tsv") {
            continue;
        }
        ++files;
        for (TIncompleteZipMode mode : {izAssumeMulti, izAssumeBad, izAssumeNotAZip}) {
            SCOPED_TRACE(item.path().string() + " mode " + std::to_string(mode));
            const auto start = std::chrono::steady_clock::now();
            TUnZipper zip;
            zip.IncompleteZipMode = mode;
            try {
                zip.SetZipName(item.path().string());
                zip.ReadZip();
                for (int32_t i = 0; i < zip.GetCount(); ++i) {
                    zip.GetFileComment(i);
                }
                zip.GetZipComment();
            } catch (const EZipException&) {
            } catch (const EStreamError&) {
            }
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        }
    }
    EXPECT_GT(files, 150);
}

}  // namespace
