#include "DecoderTestSupport.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <map>
#include <sstream>

#include "ReferenceListing.h"
#include "zip/codec/Explode.h"
#include "zip/codec/Inflate.h"
#include "zip/codec/Unreduce.h"
#include "zip/codec/Unshrink.h"

void TMemoryStages::Begin(std::string data, int64_t uncompressedSize, int64_t declaredSize) {
    data_ = std::move(data);
    pos_ = 0;
    output.clear();
    reads.clear();
    writes.clear();
    pumps = 0;
    BeginEntry(declaredSize < 0 ? static_cast<int64_t>(data_.size()) : declaredSize,
               uncompressedSize);
}

void TMemoryStages::HonourMessages() {
    ++pumps;
    if (onPump) {
        onPump();
    }
}

void TMemoryStages::ReadArchive(uint8_t* dest, uint32_t count) {
    reads.push_back(count);
    if (count > data_.size() - pos_) {
        throw EFatalUnzipError("Premature end of file reached");
    }
    std::memcpy(dest, data_.data() + pos_, count);
    pos_ += count;
}

void TMemoryStages::DecryptInput(uint8_t* data, uint32_t count) {
    if (cipher != nullptr) {
        cipher->decrypt_buff(data, count);
    }
}

void TMemoryStages::DecryptStored(uint8_t* data, uint32_t count) {
    // Encrypted stored data is decrypted whatever the password, the empty
    // one included, exactly like the data of the other methods.
    if (cipher != nullptr) {
        cipher->decrypt_buff(data, count);
    }
}

void TMemoryStages::WriteOutput(uint8_t* data, uint32_t count) {
    writes.push_back(count);
    output.append(reinterpret_cast<const char*>(data), count);
}

std::string DecodeOutput(const std::string& data, int64_t uncompressedSize, TDecodeResult expected,
                         const std::function<TDecodeResult(TMemoryStages&)>& decode) {
    TMemoryStages stages;
    stages.Begin(data, uncompressedSize);
    EXPECT_EQ(decode(stages), expected);
    return stages.output;
}

std::string TestDataPath(const std::string& relative) {
    return std::string(ZUVO_TESTDATA_DIR) + "/zip/" + relative;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

namespace {

struct TExpected {
    int64_t compressedSize = 0;
    int64_t uncompressedSize = 0;
    uint32_t crc32 = 0;
};

// The reference listing's rows of one archive, keyed by the raw name bytes.
std::map<std::string, TExpected> ExpectedOf(const std::string& archive) {
    auto listing = ReadReferenceListing();
    std::map<std::string, TExpected> rows;
    for (const TReferenceEntry& entry : listing[archive]) {
        rows[entry.rawName] = {static_cast<int64_t>(entry.compressed),
                               static_cast<int64_t>(entry.uncompressed), entry.crc};
    }
    return rows;
}

uint32_t Le(const std::string& b, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        v = (v << 8) | static_cast<uint8_t>(b.at(at + static_cast<size_t>(i)));
    }
    return v;
}

bool SignatureAt(const std::string& b, size_t at) {
    return at + 4 <= b.size() && b[at] == 'P' && b[at + 1] == 'K' &&
           ((b[at + 2] == 3 && b[at + 3] == 4) || (b[at + 2] == 1 && b[at + 3] == 2));
}

// After an entry's data: skips a data descriptor (with or without its
// signature, 32- or 64-bit sizes) up to the next header.
size_t SkipDescriptor(const std::string& b, size_t at) {
    for (size_t skip : {0, 12, 16, 20, 24}) {
        if (SignatureAt(b, at + skip)) {
            return at + skip;
        }
    }
    return b.size();
}

}  // namespace

std::vector<TLocalEntry> ReadLocalEntries(const std::string& archive) {
    const std::string b = ReadWholeFile(TestDataPath(archive));
    const auto expected = ExpectedOf(archive);
    std::vector<TLocalEntry> entries;
    size_t at = 0;
    while (at + 30 <= b.size() && Le(b, at, 4) == 0x04034b50u) {
        TLocalEntry e;
        e.flags = static_cast<uint16_t>(Le(b, at + 6, 2));
        e.method = static_cast<uint16_t>(Le(b, at + 8, 2));
        e.dosDateTime = Le(b, at + 10, 4);
        const uint32_t nameLength = Le(b, at + 26, 2);
        const uint32_t extraLength = Le(b, at + 28, 2);
        e.name = b.substr(at + 30, nameLength);
        const auto row = expected.find(e.name);
        if (row == expected.end()) {
            ADD_FAILURE() << archive << ": no expected row for " << e.name;
            break;
        }
        e.compressedSize = row->second.compressedSize;
        e.uncompressedSize = row->second.uncompressedSize;
        e.crc32 = row->second.crc32;
        const size_t dataAt = at + 30 + nameLength + extraLength;
        e.data = b.substr(dataAt, static_cast<size_t>(e.compressedSize));
        at = dataAt + static_cast<size_t>(e.compressedSize);
        if ((e.flags & 0x0008) != 0) {
            at = SkipDescriptor(b, at);
        }
        entries.push_back(std::move(e));
    }
    EXPECT_EQ(entries.size(), expected.size()) << archive;
    return entries;
}

TDecodeOutcome DecodeEntry(const TLocalEntry& entry, const std::string& password) {
    TDecodeOutcome outcome;
    TZipCrypt cipher;
    TMemoryStages stages;
    std::string data = entry.data;
    if ((entry.flags & 0x0001) != 0) {
        const uint8_t check = cipher.DecryptHeaderByteByPtr(password, data.data());
        if (check != PasswordCheckByte(entry.flags, entry.dosDateTime, entry.crc32)) {
            outcome.passwordAccepted = false;
            return outcome;
        }
        data.erase(0, TZipCrypt::kHeaderSize);
        stages.cipher = &cipher;
    }
    stages.Begin(data, entry.uncompressedSize);
    switch (entry.method) {
        case 0:
            UnStore(stages);
            break;
        case 1:
            outcome.result = UnShrink(stages);
            break;
        case 2:
        case 3:
        case 4:
        case 5:
            outcome.result = UnReduce(stages, entry.method - 1);
            break;
        case 6:
            outcome.result = Explode(stages, entry.flags);
            break;
        case 8:
            Inflate(stages);
            break;
        default:
            ADD_FAILURE() << "no decoder for method " << entry.method;
    }
    outcome.crc32 = stages.Crc32();
    outcome.output = std::move(stages.output);
    return outcome;
}

void TBitWriter::Put(uint32_t value, unsigned bits) {
    for (unsigned i = 0; i < bits; ++i) {
        buffer_ |= ((value >> i) & 1u) << count_;
        if (++count_ == 8) {
            bytes_.push_back(static_cast<char>(buffer_));
            buffer_ = 0;
            count_ = 0;
        }
    }
}

void TBitWriter::PutCodeMsbFirst(uint32_t code, unsigned bits) {
    for (unsigned i = bits; i > 0; --i) {
        Put((code >> (i - 1)) & 1u, 1);
    }
}

std::string TBitWriter::Bytes() const {
    std::string all = bytes_;
    if (count_ > 0) {
        all.push_back(static_cast<char>(buffer_));
    }
    return all;
}

std::string EncryptTraditional(const std::string& password, const std::string& plain,
                               uint8_t checkByte) {
    TZipCrypt cipher;
    cipher.Init_Keys(password);
    std::string out = std::string(11, '\x5a') + static_cast<char>(checkByte) + plain;
    for (char& ch : out) {
        const auto p = static_cast<uint8_t>(ch);
        ch = static_cast<char>(p ^ cipher.decrypt_byte());
        cipher.update_keys(p);
    }
    return out;
}

std::string Deflate(const std::string& data, bool raw, int level) {
    z_stream zs{};
    EXPECT_EQ(
        deflateInit2(&zs, level, Z_DEFLATED, raw ? -MAX_WBITS : MAX_WBITS, 8, Z_DEFAULT_STRATEGY),
        Z_OK);
    std::string out(deflateBound(&zs, data.size()), '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

std::string PseudoRandomBytes(size_t count, uint32_t seed) {
    std::string bytes(count, '\0');
    uint32_t x = seed | 1u;
    for (char& ch : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        ch = static_cast<char>(x >> 24);
    }
    return bytes;
}

int ExpectEntriesDecode(const std::string& archive, const std::function<bool(int method)>& accepts,
                        const std::string& password) {
    int checked = 0;
    for (const TLocalEntry& entry : ReadLocalEntries(archive)) {
        if (!accepts(entry.method)) {
            continue;
        }
        const TDecodeOutcome outcome = DecodeEntry(entry, password);
        EXPECT_TRUE(outcome.passwordAccepted) << archive << " " << entry.name;
        EXPECT_EQ(outcome.result, TDecodeResult::Complete) << archive << " " << entry.name;
        EXPECT_EQ(outcome.crc32, entry.crc32) << archive << " " << entry.name;
        EXPECT_EQ(static_cast<int64_t>(outcome.output.size()), entry.uncompressedSize)
            << archive << " " << entry.name;
        ++checked;
    }
    return checked;
}

const std::vector<std::string>& LegacyArchives() {
    static const std::vector<std::string> archives = {
        "legacy/imploded_4k_2trees.zip",
        "legacy/imploded_4k_2trees_tiny.zip",
        "legacy/imploded_8k_3trees.zip",
        "legacy/imploded_8k_3trees_lorem.zip",
        "legacy/imploded_8k_3trees_small.zip",
        "legacy/imploded_mixed_realloc.zip",
        "legacy/imploded_mixed_trees.zip",
        "legacy/pkzip110_implode_shrink_store.zip",
        "legacy/pkzip110_shrunk_only.zip",
        "legacy/pkzip204_deflate_superfast.zip",
        "legacy/pkzip_reduced4_many.zip",
        "legacy/reduced1.zip",
        "legacy/reduced2.zip",
        "legacy/reduced3.zip",
        "legacy/reduced4.zip",
        "legacy/reduced4_small.zip",
        "legacy/shrunk_and_stored.zip",
        "legacy/shrunk_small.zip",
        "legacy/shrunk_two_entries.zip",
    };
    return archives;
}

void ExpectSurvivesDamage(const std::vector<TLocalEntry>& samples,
                          const std::function<void(TMemoryStages&, const TLocalEntry&)>& decode) {
    ASSERT_FALSE(samples.empty());
    TMemoryStages stages;
    uint32_t seed = 1;
    for (int round = 0; round < 60; ++round) {
        const TLocalEntry& sample = samples[static_cast<size_t>(round) % samples.size()];
        std::string data = sample.data.substr(0, 20000);
        const std::string noise = PseudoRandomBytes(data.size() + 8, ++seed);
        if (round % 3 == 0) {
            data = noise.substr(0, 1 + static_cast<size_t>(round) * 37 % noise.size());
        } else {
            for (size_t i = static_cast<size_t>(round) % 7; i < data.size(); i += 97) {
                data[i] = noise[i];
            }
            if (round % 3 == 2) {
                data.resize(data.size() / 2);
            }
        }
        // Declared sizes stay as the header says, so reduced and imploded
        // data must stop at them.
        stages.Begin(data, sample.uncompressedSize);
        try {
            decode(stages, sample);
        } catch (const EBiggerThanUncompressed&) {
            // The stages' own check: a valid way to end.
        }
        EXPECT_LE(static_cast<int64_t>(stages.output.size()), sample.uncompressedSize);
    }
}

int ExpectLegacyEntriesDecode(const std::function<bool(int method)>& accepts) {
    int checked = 0;
    for (const std::string& archive : LegacyArchives()) {
        checked += ExpectEntriesDecode(archive, accepts);
    }
    return checked;
}

std::vector<TLocalEntry> LegacySamples(int method) {
    std::vector<TLocalEntry> samples;
    for (const std::string& archive : LegacyArchives()) {
        for (TLocalEntry& entry : ReadLocalEntries(archive)) {
            if (entry.method == method && samples.size() < 6) {
                samples.push_back(std::move(entry));
            }
        }
    }
    return samples;
}
