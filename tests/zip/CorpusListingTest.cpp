// Lists every archive of the shared corpus that the reference listing
// covers and compares names, methods, sizes and CRCs entry by entry.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <tuple>

#include "ReferenceListing.h"
#include "platform/CodePage.h"
#include "platform/MemoryStream.h"
#include "zip/UnZipper.h"

namespace {

const std::string kCorpus = std::string(ZUVO_TESTDATA_DIR) + "/zip/";

struct Listed {
    std::string name;  // stored name as the component shows it (`\` separators)
    int method;
    uint64_t compressed;
    uint64_t uncompressed;
    uint32_t crc;
    bool operator<(const Listed& o) const {
        return std::tie(name, method, compressed, uncompressed, crc) <
               std::tie(o.name, o.method, o.compressed, o.uncompressed, o.crc);
    }
    bool operator==(const Listed& o) const { return !(*this < o) && !(o < *this); }
};

void PrintTo(const Listed& l, std::ostream* os) {
    *os << "\n  ";
    for (unsigned char c : l.name) {
        if (c < 0x20 || c >= 0x7F) {
            *os << "\\x" << std::hex << int(c) << std::dec;
        } else {
            *os << c;
        }
    }
    *os << " m" << l.method << " c" << l.compressed << " u" << l.uncompressed << " crc" << l.crc;
}

using Expected = TReferenceEntry;

// What the component must show for a stored name: `\` separators, and
// CP437 names turned into UTF-8 unless the entry says it is UTF-8 already
// or was written by a non-DOS host.
std::string ShownName(const std::string& raw, const TZipHeaderInfo& entry) {
    std::string name = raw;
    const bool fromDos = (entry.version_made_by >> 8) == 0;
    if (!entry.GetIsUTF8() && fromDos) {
        name = CodePageToUtf8(name, "CP437");
    }
    if ((entry.version_made_by >> 8) == 3) {
        // Part of a Unix name, not a separator: held as U+F05C.
        for (size_t at = name.find('\\'); at != std::string::npos; at = name.find('\\', at)) {
            name.replace(at, 1, "\xEF\x81\x9C");
        }
    }
    std::replace(name.begin(), name.end(), '/', '\\');
    // A name part ending in ":" (a drive) is a directory; directories end in `\`.
    const size_t cut = name.find_last_of("\\:");
    if (cut != std::string::npos && name[cut] == ':') {
        name.insert(cut + 1, "\\");
    }
    return name;
}

// Archives the reference tools do not agree on or cannot read; each has
// its own test below or in the directory tests.
bool Skipped(const std::string& archive) {
    return archive == "corrupt/stored_dd_stale_cd.zip" ||  // only forward streaming reads it
           archive == "misc/zip_inside_archive_comment.zip" ||
           archive == "misc/zip64_inside_archive_comment.zip";
}

// The parts of split sets carry their own names; the common ones are found
// by the component's default naming.
std::vector<Listed> ListThroughComponent(TUnZipper& zip) {
    zip.ReadZip();
    std::vector<Listed> out;
    for (int32_t i = 0; i < zip.GetCount(); ++i) {
        const TZipHeaderInfo& e = zip.Entry(i);
        out.push_back({e.directory + e.filename, e.compression_method, e.GetCompressedSize(),
                       e.GetUnCompressedSize(), e.crc32});
    }
    return out;
}

std::vector<Listed> ExpectedFor(TUnZipper& zip, const std::vector<Expected>& expected) {
    // Match each listed entry's flags to its raw name by position in the
    // directory-sorted lists: both sides are sorted by shown name below, so
    // the flags only decide how the raw name is shown.
    std::vector<Listed> out;
    for (size_t i = 0; i < expected.size(); ++i) {
        const Expected& x = expected[i];
        TZipHeaderInfo probe;
        // Look up an entry whose stored bytes could be this name to learn its
        // flags: the first entry with the same method, sizes and CRC.
        for (int32_t j = 0; j < zip.GetCount(); ++j) {
            const TZipHeaderInfo& e = zip.Entry(j);
            if (e.compression_method == x.method && e.crc32 == x.crc &&
                e.GetCompressedSize() == x.compressed) {
                probe.version_made_by = e.version_made_by;
                probe.general_purpose_bit_flag = e.general_purpose_bit_flag;
                break;
            }
        }
        out.push_back({ShownName(x.rawName, probe), x.method, x.compressed, x.uncompressed, x.crc});
    }
    return out;
}

void ExpectSameListing(TUnZipper& zip, const std::vector<Expected>& expected,
                       const std::string& archive) {
    std::vector<Listed> got = ListThroughComponent(zip);
    std::vector<Listed> want = ExpectedFor(zip, expected);
    std::sort(got.begin(), got.end());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(got, want) << archive;
}

bool IsByteSplitSet(const std::string& archive) { return archive.ends_with(".001"); }

TEST(CorpusListing, EveryListedArchiveMatchesTheReference) {
    const auto expected = ReadReferenceListing();
    ASSERT_GT(expected.size(), 150u);
    for (const auto& [archive, entries] : expected) {
        SCOPED_TRACE(archive);
        if (IsByteSplitSet(archive) || Skipped(archive)) {
            continue;  // covered below: the parts are one archive cut in pieces
        }
        TUnZipper zip;
        zip.OnFileNameForSplitPart = nullptr;
        try {
            zip.SetZipName(kCorpus + archive);
            ExpectSameListing(zip, entries, archive);
        } catch (const std::exception& e) {
            ADD_FAILURE() << archive << ": " << e.what();
        }
    }
}

// The last end record of these files lies in the comment of another
// archive. Its offsets count from the embedded archive's start; the bytes
// in front of it are found like a self-extractor stub and the embedded
// archive is listed, as Info-ZIP unzip lists it.
TEST(CorpusListing, ArchiveInsideCommentListsTheEmbeddedArchive) {
    TUnZipper zip;
    zip.SetZipName(kCorpus + "misc/zip_inside_archive_comment.zip");
    zip.ReadZip();
    ASSERT_EQ(zip.GetCount(), 1);
    EXPECT_EQ(zip.GetFullname(0), "testfile.txt");
    EXPECT_EQ(zip.GetUnCompressedSize(0), 0u);
    EXPECT_FALSE(zip.RebuiltDirectory());
}

TEST(CorpusListing, ByteSplitSetListsWhenHandedAsOneStream) {
    const auto expected = ReadReferenceListing();
    const std::string first = "multipart/numbered_split/numbered_split.zip.001";
    ASSERT_EQ(expected.count(first), 1u);
    TMemoryStream joined;
    for (int part = 1; part <= 6; ++part) {
        std::ifstream in(
            kCorpus + "multipart/numbered_split/numbered_split.zip.00" + std::to_string(part),
            std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        ASSERT_FALSE(bytes.empty());
        joined.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    }
    TUnZipper zip;
    zip.SetArchiveStream(&joined);
    ExpectSameListing(zip, expected.at(first), first);
}

}  // namespace
