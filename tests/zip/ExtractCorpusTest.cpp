// Extracts every readable archive of the shared corpus to disk and checks
// each written file against the reference listing's size and CRC; also runs
// the integrity test over each, and the damaged archives through a full
// extraction that must end cleanly.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "ExtractTestSupport.h"
#include "ReferenceListing.h"
#include "TempDir.h"
#include "zip/UnZipper.h"

namespace {

const std::string kCorpus = std::string(ZUVO_TESTDATA_DIR) + "/zip/";

using Expected = TReferenceEntry;

// The password column of the manifest, by archive.
std::map<std::string, std::string> LoadPasswords() {
    std::map<std::string, std::string> passwords;
    std::ifstream in(kCorpus + "MANIFEST.md");
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        std::stringstream row(line);
        std::string cell;
        while (std::getline(row, cell, '|')) {
            cells.push_back(cell);
        }
        if (cells.size() < 6 || line.rfind("| `", 0) != 0) {
            continue;
        }
        const auto quoted = [](const std::string& c) {
            const size_t a = c.find('`');
            const size_t b = c.find('`', a + 1);
            return a == std::string::npos || b == std::string::npos ? std::string()
                                                                    : c.substr(a + 1, b - a - 1);
        };
        const std::string password = quoted(cells[5]);
        if (!password.empty()) {
            passwords[quoted(cells[1])] = password;
        }
    }
    return passwords;
}

bool Supported(int method) { return method <= 6 || method == 8; }

// Archives whose entries cannot all be extracted as listed: AES and strong
// encryption; names that must not be written (".." and a NUL byte, covered
// by the safety tests); a file and a directory of one name; and archives
// whose directory the readers disagree on (extracted as the component reads
// them, below).
bool Readable(const std::string& archive) {
    static const char* const kExcluded[] = {
        "crypto/aes_winzip_stored.zip",
        "crypto/aes128_libzip.zip",
        "crypto/strong_encryption_flag.zip",
        "crypto/strong_encryption_pkware.zip",
        "misc/name_traversal_dotdot.zip",
        "misc/unicode_path_extra_7075.zip",
        "misc/dirs_duplicate.zip",
        "misc/zip_inside_archive_comment.zip",
        "misc/zip64_inside_archive_comment.zip",
    };
    if (archive.rfind("corrupt/", 0) == 0) {
        return false;
    }
    return std::none_of(std::begin(kExcluded), std::end(kExcluded),
                        [&](const char* x) { return archive == x; });
}

// Windows refuses these characters in a file name; an archive whose names
// hold them is extracted only where the system takes them, which is found
// out by trying. (Control characters are left out of created names, and
// "\\" is a separator, on every system.)
bool SystemTakesEveryName() {
    const TempDir probe;
    return std::ofstream(probe.Path() + "a*b").good();
}

bool NeedsEveryName(const std::vector<Expected>& entries) {
    return std::any_of(entries.begin(), entries.end(), [](const Expected& e) {
        return e.name.find_first_of("<>:\"|?*") != std::string::npos;
    });
}

// The path to open: byte-split sets are joined first, as any reader must.
std::string ArchivePath(const std::string& archive, const TempDir& scratch) {
    const std::string path = kCorpus + archive;
    const std::string suffix = ".001";
    if (archive.size() < suffix.size() ||
        archive.compare(archive.size() - suffix.size(), suffix.size(), suffix) != 0) {
        return path;
    }
    std::string joined;
    for (int part = 1;; ++part) {
        char number[16];
        std::snprintf(number, sizeof number, ".%03d", part);
        const std::string name = path.substr(0, path.size() - suffix.size()) + number;
        if (!std::filesystem::exists(name)) {
            break;
        }
        joined += TempDir::ReadFile(name);
    }
    return scratch.WriteFile("joined.zip", joined);
}

bool OnlyControlCharacters(const std::string& name) {
    return std::all_of(name.begin(), name.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

struct Written {
    uint64_t size = 0;
    uint32_t crc = 0;
    bool operator<(const Written& o) const { return size != o.size ? size < o.size : crc < o.crc; }
    bool operator==(const Written& o) const { return size == o.size && crc == o.crc; }
};

void PrintTo(const Written& w, std::ostream* os) { *os << w.size << "/" << std::hex << w.crc; }

class ExtractCorpus : public ::testing::Test {
  protected:
    std::map<std::string, std::vector<Expected>> expected_ = ReadReferenceListing();
    std::map<std::string, std::string> passwords_ = LoadPasswords();
};

// Every readable entry lands on disk with the listed size and CRC, read
// back from the file itself, and the run counts exactly those entries.
TEST_F(ExtractCorpus, EveryReadableArchiveExtractsToTheListedCrcs) {
    int archives = 0;
    int namesRefused = 0;
    const bool everyName = SystemTakesEveryName();
    for (const auto& [archive, entries] : expected_) {
        if (!Readable(archive)) {
            continue;
        }
        if (!everyName && NeedsEveryName(entries)) {
            ++namesRefused;
            continue;
        }
        SCOPED_TRACE(archive);
        TempDir scratch;
        std::vector<Written> want;
        int directories = 0;
        for (const auto& e : entries) {
            if (!e.name.empty() && e.name.back() == '/') {
                ++directories;
            } else if (OnlyControlCharacters(e.rawName.substr(e.rawName.rfind('/') + 1))) {
                continue;  // nothing is left to name the file: refused
            } else if (Supported(e.method)) {
                want.push_back({e.uncompressed, e.crc});
            }
        }
        TUnZipper zip;
        extract::Prepare(zip, ArchivePath(archive, scratch), scratch.Path() + "out");
        zip.Password = passwords_.count(archive) ? passwords_[archive] : "";
        std::vector<Written> got;
        zip.OnEndUnZip = [&](TUnZipper&, int, const std::string& fName) {
            const std::string data = extract::ReadFile(fName);
            got.push_back({data.size(), extract::CrcOf(data)});
        };
        std::vector<int> messages;
        zip.OnHandleMessage = [&](TUnZipper&, int id, const std::string&, const std::string&,
                                  unsigned, int& result) {
            messages.push_back(id);
            result = 1;
        };
        int32_t count = -1;
        EXPECT_NO_THROW(count = zip.UnZip());
        std::sort(want.begin(), want.end());
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, want);
        EXPECT_EQ(count, static_cast<int32_t>(want.size()) + directories);
        // Only entries without a decompressor ask the user anything; the
        // directory's warnings (198) only inform.
        for (const int id : messages) {
            EXPECT_TRUE(id == 197 || id == 198) << id;
        }
        ++archives;
    }
    EXPECT_LT(namesRefused, 5);
    EXPECT_GT(archives + namesRefused, 120);
}

// Archives whose directory is ambiguous extract every entry the component
// lists, each verified.
TEST_F(ExtractCorpus, AmbiguousArchivesExtractWhatTheComponentLists) {
    for (const char* archive :
         {"misc/zip_inside_archive_comment.zip", "misc/zip64_inside_archive_comment.zip"}) {
        SCOPED_TRACE(archive);
        TempDir scratch;
        TUnZipper zip;
        extract::Prepare(zip, kCorpus + archive, scratch.Path() + "out");
        zip.ReadZip();
        const int32_t listed = zip.GetCount();
        EXPECT_GT(listed, 0);
        EXPECT_EQ(zip.UnZip(), listed);
    }
}

// A file and a directory of the same name: the file is written, the
// directory cannot be, and the run goes on.
TEST_F(ExtractCorpus, FileAndDirectoryOfOneNameKeepTheFile) {
    TempDir scratch;
    TUnZipper zip;
    extract::Prepare(zip, kCorpus + "misc/dirs_duplicate.zip", scratch.Path() + "out");
    std::vector<TSkipReason> skipped;
    zip.OnSkippingFile = [&](TUnZipper&, TSkipReason reason, const std::string&, int, bool&) {
        skipped.push_back(reason);
    };
    const int32_t count = zip.UnZip();
    EXPECT_EQ(count + static_cast<int32_t>(skipped.size()), zip.GetCount());
    EXPECT_FALSE(skipped.empty());
    for (const auto reason : skipped) {
        EXPECT_EQ(reason, srCreateError);
    }
}

// The integrity test agrees: true exactly for archives whose every entry
// has a decompressor.
TEST_F(ExtractCorpus, IntegrityTestPassesExactlyTheFullyReadableArchives) {
    for (const auto& [archive, entries] : expected_) {
        if (!Readable(archive)) {
            continue;
        }
        SCOPED_TRACE(archive);
        TempDir scratch;
        TUnZipper zip;
        zip.SetZipName(ArchivePath(archive, scratch));
        zip.DoProcessMessages = false;
        zip.Password = passwords_.count(archive) ? passwords_[archive] : "";
        const bool allSupported = std::all_of(entries.begin(), entries.end(), [](const auto& e) {
            return Supported(e.method) || (!e.name.empty() && e.name.back() == '/');
        });
        zip.ReadZip();
        EXPECT_EQ(zip.CheckArchive(), allSupported);
        EXPECT_TRUE(std::filesystem::is_empty(scratch.Path()) ||
                    std::filesystem::exists(scratch.Path() + "joined.zip"));
    }
}

// Damaged archives: reading or extracting ends in an exception or in
// skipped entries, never in a crash, and nothing lands outside the target.
TEST_F(ExtractCorpus, DamagedArchivesEndCleanlyInsideTheDestination) {
    for (const auto& item : std::filesystem::directory_iterator(kCorpus + "corrupt")) {
        SCOPED_TRACE(item.path().string());
        TempDir scratch;
        TUnZipper zip;
        extract::Prepare(zip, item.path().string(), scratch.Path() + "out");
        zip.IncompleteZipMode = izAssumeBad;
        zip.OnHandleMessage = [](TUnZipper&, int, const std::string&, const std::string&, unsigned,
                                 int& result) { result = 1; };
        try {
            zip.UnZip();
        } catch (const Exception&) {
            // Named failures are the expected ends.
        }
        for (const auto& made : std::filesystem::directory_iterator(scratch.Path())) {
            EXPECT_EQ(made.path().filename(), "out");
        }
    }
}

}  // namespace
