#include "zip/format/EndCentral.h"

#include <algorithm>
#include <span>
#include <vector>

#include "zip/base/ByteReader.h"
#include "zip/base/StreamUtil.h"

namespace {

constexpr int64_t kMaxComment = 65535;
constexpr int64_t kWindow = static_cast<int64_t>(end_of_central::kSize) + kMaxComment;

}  // namespace

TEndCentral::TEndCentral() { Clear(); }

void TEndCentral::Clear() {
    Record = end_of_central{};
    Record.signature = ENDSIG;
    ZipComment.reset();
    ZipCommentPos = 0;
    Modified = false;
}

zip64_end_of_central& TEndCentral::Z64() {
    if (!Zip64End) {
        Zip64End = std::make_unique<zip64_end_of_central>();
    }
    return *Zip64End;
}

namespace {

bool ReadZip64EndAt(TStream& stream, uint64_t offset, bool needSignature,
                    zip64_end_of_central& z64) {
    std::vector<uint8_t> record(zip64_end_of_central::kSize);
    return SeekWithin(stream, offset) &&
           stream.Read(record.data(), static_cast<int64_t>(record.size())) ==
               static_cast<int64_t>(record.size()) &&
           ParseZip64EndOfCentral(record, z64) && (!needSignature || z64.signature == ZIP64EOC);
}

}  // namespace

void TEndCentral::ReadZip64End(TStream& stream, uint64_t recorded, uint64_t locatorAt) {
    zip64_end_of_central z64;
    // Bytes prepended to the archive (a self-extractor stub) move the record
    // away from the recorded offset; the writers put it right before the
    // locator. Without its signature in either place the recorded offset
    // is taken as it stands.
    const bool found =
        ReadZip64EndAt(stream, recorded, true, z64) ||
        (locatorAt >= z64.kSize && ReadZip64EndAt(stream, locatorAt - z64.kSize, true, z64)) ||
        ReadZip64EndAt(stream, recorded, false, z64);
    if (found) {
        Zip64End = std::make_unique<zip64_end_of_central>(z64);
    }
}

bool TEndCentral::ReadFromStream(TStream& stream) {
    // Zip64 records of an archive read earlier must not stand in for this one.
    Zip64End.reset();
    Zip64Locator.reset();
    const int64_t size = stream.Size();
    if (size < static_cast<int64_t>(end_of_central::kSize)) {
        return size == 0;
    }
    const int64_t window = std::min(kWindow, size);
    std::vector<uint8_t> bytes(static_cast<size_t>(window));
    stream.Seek(size - window, TSeekOrigin::soBeginning);
    if (stream.Read(bytes.data(), window) != window) {
        return false;
    }
    const std::span<const uint8_t> all(bytes);
    for (int64_t at = window - static_cast<int64_t>(end_of_central::kSize); at >= 0; --at) {
        if (bytes[static_cast<size_t>(at)] != END4) {
            continue;
        }
        end_of_central found;
        if (!ParseEndOfCentral(all.subspan(static_cast<size_t>(at)), found) ||
            found.signature != ENDSIG) {
            continue;
        }
        Record = found;
        Record.signature = ENDSIG;
        ZipCommentPos = static_cast<uint64_t>(size - window + at) + end_of_central::kSize;
        if (at >= static_cast<int64_t>(zip64_end_of_central_locator::kSize)) {
            zip64_end_of_central_locator locator;
            const auto before = all.subspan(static_cast<size_t>(at) - locator.kSize);
            if (ParseZip64Locator(before, locator) && locator.signature == ZIP64EOCL) {
                Zip64Locator = std::make_unique<zip64_end_of_central_locator>(locator);
                const uint64_t locatorAt =
                    static_cast<uint64_t>(size - window + at) - locator.kSize;
                ReadZip64End(stream, locator.offset_zip64_end_central, locatorAt);
            }
        }
        return true;
    }
    return false;
}

uint32_t TEndCentral::GetThis_Disk() const {
    return Record.This_Disk == kSaturated16 && Zip64End ? Zip64End->This_Disk : Record.This_Disk;
}

uint32_t TEndCentral::GetStart_Central_Disk() const {
    return Record.Start_Central_Disk == kSaturated16 && Zip64End ? Zip64End->Start_Central_Disk
                                                                 : Record.Start_Central_Disk;
}

uint64_t TEndCentral::GetNum_Entries_This_Disk() const {
    return Record.Num_Entries_This_Disk == kSaturated16 && Zip64End
               ? Zip64End->Num_Entries_This_Disk
               : Record.Num_Entries_This_Disk;
}

uint64_t TEndCentral::GetNum_Entries() const {
    return Record.Num_Entries == kSaturated16 && Zip64End ? Zip64End->Num_Entries
                                                          : Record.Num_Entries;
}

uint64_t TEndCentral::GetSize_Central() const {
    return Record.Size_Central == kSaturated32 && Zip64End ? Zip64End->Size_Central
                                                           : Record.Size_Central;
}

uint64_t TEndCentral::GetOffset_Central() const {
    return Record.Offset_Central == kSaturated32 && Zip64End ? Zip64End->Offset_Central
                                                             : Record.Offset_Central;
}

uint32_t TEndCentral::Getnum_disk_start_zip64_end_central() const {
    return Zip64Locator ? Zip64Locator->num_disk_start_zip64_end_central : 0;
}

uint64_t TEndCentral::Getoffset_zip64_end_central() const {
    return Zip64Locator ? Zip64Locator->offset_zip64_end_central : 0;
}

uint32_t TEndCentral::Getnum_disks() const { return Zip64Locator ? Zip64Locator->num_disks : 0; }

void TEndCentral::SetThis_Disk(uint32_t value) {
    if (value > 0xFFFE) {
        Record.This_Disk = kSaturated16;
        Z64().This_Disk = value;
    } else {
        Record.This_Disk = static_cast<uint16_t>(value);
    }
}

void TEndCentral::SetStart_Central_Disk(uint32_t value) {
    if (value > 0xFFFE) {
        Record.Start_Central_Disk = kSaturated16;
        Z64().Start_Central_Disk = value;
    } else {
        Record.Start_Central_Disk = static_cast<uint16_t>(value);
    }
}

void TEndCentral::SetNum_Entries_This_Disk(uint64_t value) {
    if (value > 0xFFFE) {
        Record.Num_Entries_This_Disk = kSaturated16;
        Z64().Num_Entries_This_Disk = value;
    } else {
        Record.Num_Entries_This_Disk = static_cast<uint16_t>(value);
    }
}

void TEndCentral::SetNum_Entries(uint64_t value) {
    if (value > 0xFFFE) {
        Record.Num_Entries = kSaturated16;
        Z64().Num_Entries = value;
    } else {
        Record.Num_Entries = static_cast<uint16_t>(value);
    }
}

void TEndCentral::SetSize_Central(uint64_t value) {
    if (value >= kSaturated32) {
        Record.Size_Central = kSaturated32;
        Z64().Size_Central = value;
    } else {
        Record.Size_Central = static_cast<uint32_t>(value);
    }
}

void TEndCentral::SetOffset_Central(uint64_t value) {
    if (value >= kSaturated32) {
        Record.Offset_Central = kSaturated32;
        Z64().Offset_Central = value;
    } else {
        Record.Offset_Central = static_cast<uint32_t>(value);
    }
}
