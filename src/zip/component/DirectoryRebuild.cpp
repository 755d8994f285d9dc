// Rebuilding the directory from the local headers when it is missing or
// cannot be trusted.
#include <algorithm>
#include <cctype>
#include <vector>

#include "zip/UnZipper.h"
#include "zip/base/StreamUtil.h"
#include "zip/base/ZipStrings.h"
#include "zip/component/DirectoryReader.h"

namespace {

constexpr int64_t kExeStubSkip = 14000;
constexpr int64_t kBytesPerTurn = 10240;
constexpr size_t kScanBlock = 65536;
constexpr size_t kCandidateSize = 6;  // signature and version field

bool HasExeExtension(const std::string& name) {
    if (name.size() < 4) {
        return false;
    }
    std::string ext = name.substr(name.size() - 4);
    for (char& c : ext) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return ext == ".EXE";
}

bool IsLocalSignature(const uint8_t* p) {
    return p[0] == LOC4 && p[1] == LOC3 && p[2] == LOC2 && p[3] == LOC1;
}

// After a local signature: the high byte of "version needed" is a host
// number, and real ones are small.
bool HasPlausibleVersion(const uint8_t* p) { return p[5] < 10; }

}  // namespace

bool TDirectoryReader::ScanForLocalHeader(TStream& stream) {
    const int64_t size = stream.Size();
    int64_t pos = stream.Position();
    int64_t skipped = 0;
    std::vector<uint8_t> block(kScanBlock);
    while (size - pos >= static_cast<int64_t>(kCandidateSize)) {
        stream.Seek(pos, TSeekOrigin::soBeginning);
        const auto want = static_cast<int64_t>(std::min<int64_t>(size - pos, kScanBlock));
        const int64_t got = stream.Read(block.data(), want);
        if (got < static_cast<int64_t>(kCandidateSize)) {
            return false;
        }
        size_t i = 0;
        while (i + kCandidateSize <= static_cast<size_t>(got)) {
            const uint8_t* p = block.data() + i;
            if (IsLocalSignature(p)) {
                if (HasPlausibleVersion(p)) {
                    stream.Seek(pos + static_cast<int64_t>(i), TSeekOrigin::soBeginning);
                    return true;
                }
                i += kCandidateSize;
                continue;
            }
            ++i;
            if (++skipped >= kBytesPerTurn) {
                skipped = 0;
                z_.GiveTurn(true);
            }
        }
        pos += static_cast<int64_t>(i);
    }
    return false;
}

void TDirectoryReader::ReadLocalEntries(TStream& stream) {
    const auto size = static_cast<uint64_t>(stream.Size());
    for (;;) {
        auto header = z_.NewHeader();
        if (!header->ReadLocalFromStream(stream)) {
            break;
        }
        z_.GiveTurn(true);
        const auto extraStart = static_cast<uint64_t>(stream.Position());
        const uint64_t dataSize = header->GetCompressedSize();
        const uint64_t skip =
            header->local_extra_field_length + (header->GetHasDescriptor() ? 16u : 0u);
        try {
            z_.entryList_->AddObject(header.get());
            header.release();
        } catch (const EListError&) {
            break;
        }
        // Sizes come from the archive: never step past its end or wrap.
        if (dataSize > size || extraStart + skip > size - dataSize) {
            stream.Seek(0, TSeekOrigin::soEnd);
            break;
        }
        stream.Seek(static_cast<int64_t>(extraStart + skip + dataSize), TSeekOrigin::soBeginning);
    }
}

bool TDirectoryReader::Rebuild() {
    if (z_.rebuiltDirectory_) {
        return false;
    }
    z_.rebuiltDirectory_ = true;
    z_.FreeLists();
    TStream& stream = *z_.archiveStream_;
    const int64_t start = HasExeExtension(z_.ZipName_) ? kExeStubSkip : 0;
    if (!SeekWithin(stream, static_cast<uint64_t>(start)) || !ScanForLocalHeader(stream)) {
        return false;
    }
    z_.NewEntryList();
    ReadLocalEntries(stream);
    z_.endCentral_->SetThis_Disk(0);
    z_.currentDisk_ = 0;
    z_.endCentral_->SetOffset_Central(static_cast<uint64_t>(stream.Position()));
    z_.endCentral_->SetNum_Entries(static_cast<uint64_t>(z_.entryList_->Count()));
    z_.numDisks_ = 1;
    Warn(ZipStrings::DirectoryRebuilt);
    return true;
}
