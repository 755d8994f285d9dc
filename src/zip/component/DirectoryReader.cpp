// Reading the archive directory: the end record (or a side-car file that
// holds it), the multi-part mode, and the start of the central directory.
#include "zip/component/DirectoryReader.h"

#include <cctype>

#include "platform/FileOps.h"
#include "platform/MessageHooks.h"
#include "zip/UnZipper.h"
#include "zip/base/DateTimeHelpers.h"
#include "zip/base/FileHelpers.h"
#include "zip/base/SetForScope.h"
#include "zip/base/StreamUtil.h"
#include "zip/base/ZipStrings.h"
#include "zip/io/LFNFileStream.h"
#include "zip/io/SplitStream.h"

namespace {

std::string WithExtension(const std::string& name, const std::string& ext) {
    const size_t slash = name.find_last_of("\\/");
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        return name.substr(0, dot) + ext;
    }
    return name + ext;
}

bool StartsWithDrive(const std::string& name) {
    return name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':';
}

}  // namespace

void TDirectoryReader::Warn(const std::string& text) {
    z_.DoHandleMessage(ZipStrings::DirectoryWarningMessageId, text,
                       ZipStrings::DirectoryWarningCaption, MB_OK | MB_ICONEXCLAMATION);
}

void TDirectoryReader::FailBadZip() {
    z_.ClearZip();
    throw EBadZipFile(ZipStrings::NotAValidZipFile);
}

bool TDirectoryReader::FindEndOfCentral(std::unique_ptr<TStream>& sideCar) {
    z_.endCentral_->Clear();
    const auto usable = [this] {
        return z_.endCentral_->GetStart_Central_Disk() <= z_.endCentral_->GetThis_Disk();
    };
    if (z_.endCentral_->ReadFromStream(*z_.archiveStream_) && usable()) {
        return true;
    }
    if (z_.archiveIsStream_) {
        return false;
    }
    // A side-car file may hold the directory of an archive that has none.
    const std::string sideCarName = WithExtension(z_.ZipName_, ".zfc");
    if (!FileExists(DOSToUnixFilename(sideCarName))) {
        return false;
    }
    auto candidate =
        std::make_unique<TLFNFileStream>(sideCarName, lfn::fmOpenRead, false, z_.BufferSize);
    z_.endCentral_->Clear();
    if (z_.endCentral_->ReadFromStream(*candidate) && usable()) {
        sideCar = std::move(candidate);
        return true;
    }
    return false;
}

void TDirectoryReader::HandleMissingEnd() {
    if (z_.OnInCompleteZip) {
        z_.OnInCompleteZip(z_, z_.IncompleteZipMode);
    }
    switch (z_.IncompleteZipMode) {
        case izAssumeNotAZip:
            throw ENotAZipFile(ZipStrings::NotAValidZipFile);
        case izAssumeMulti:
            throw EIncompleteZip(ZipStrings::IncompleteZipFile);
        case izAssumeBad:
            if (!Rebuild()) {
                FailBadZip();
            }
            break;
    }
}

void TDirectoryReader::DecideMultiMode() {
    const uint32_t thisDisk = z_.endCentral_->GetThis_Disk();
    if (thisDisk > 0 && z_.multiMode_ == mmNone) {
        const bool removable =
            StartsWithDrive(z_.ZipName_) && isDriveRemovable(DriveRoot(z_.ZipName_));
        z_.multiMode_ = removable ? mmSpan : mmBlocks;
    }
    if (thisDisk == 0) {
        z_.multiMode_ = mmNone;
    }
}

// The directory ends where the end record (or the zip64 end record right
// before it) starts; when the offset and size in the end record put its end
// earlier, the difference is data in front of the archive, provided a
// central header really starts that much later than the recorded offset.
uint64_t TDirectoryReader::PrefixLength(TStream& stream) const {
    const TEndCentral& end = *z_.endCentral_;
    uint64_t directoryEnd = end.ZipCommentPos - end_of_central::kSize;
    if (end.Zip64Locator) {
        constexpr uint64_t zip64Records =
            zip64_end_of_central_locator::kSize + zip64_end_of_central::kSize;
        if (directoryEnd < zip64Records) {
            return 0;
        }
        directoryEnd -= zip64Records;
    }
    const uint64_t offset = end.GetOffset_Central();
    const uint64_t size = end.GetSize_Central();
    if (offset > directoryEnd || size > directoryEnd - offset) {
        return 0;
    }
    const uint64_t prefix = directoryEnd - offset - size;
    if (prefix == 0 || !SeekWithin(stream, offset + prefix)) {
        return 0;
    }
    const std::string signature = ReadUpTo(stream, 4);
    uint32_t value = 0;
    for (size_t i = signature.size(); i-- > 0;) {
        value = (value << 8) | static_cast<uint8_t>(signature[i]);
    }
    return signature.size() == 4 && value == CENTSIG ? prefix : 0;
}

void TDirectoryReader::PositionAtDirectory(TSplitStream& stream, bool sideCarMode) {
    if (z_.endCentral_->GetNum_Entries() == 0 && z_.endCentral_->GetSize_Central() == 0) {
        return;
    }
    if (!sideCarMode && z_.multiMode_ != mmNone) {
        stream.GoTo(static_cast<int>(z_.endCentral_->GetStart_Central_Disk()));
    }
    const uint64_t offset = sideCarMode ? 0 : z_.endCentral_->GetOffset_Central() + prefix_;
    if (!SeekWithin(stream, offset)) {
        // An offset past the end: the first header read fails, as it should.
        stream.Seek(0, TSeekOrigin::soEnd);
    }
}

void TDirectoryReader::Read() {
    const auto mode = SetForScope(z_.operationMode_, omUnZip);
    z_.archiveDate_ = z_.archiveIsStream_ ? NowDateTime() : FileDateTime(z_.ZipName_);
    z_.FreeLists();
    std::unique_ptr<TStream> sideCar;
    if (!FindEndOfCentral(sideCar)) {
        HandleMissingEnd();
    }
    const bool sideCarMode = sideCar != nullptr;
    z_.currentDisk_ = sideCarMode ? 0 : static_cast<int>(z_.endCentral_->GetThis_Disk());
    DecideMultiMode();
    z_.numDisks_ = static_cast<int>(z_.endCentral_->GetThis_Disk()) + 1;
    // The directory may continue on the following parts; after a rebuild
    // it is read from the one part that was scanned.
    const bool continues = z_.multiMode_ != mmNone && !z_.rebuiltDirectory_;
    TSplitStream stream(z_.rebuiltDirectory_ || !sideCarMode ? *z_.archiveStream_ : *sideCar,
                        z_.currentDisk_, continues ? TSplitStream::kOpenEnded : z_.currentDisk_,
                        [this](int number) -> TStream& { return *z_.SwapDisk(number + 1); });
    if (!z_.rebuiltDirectory_) {
        const bool onePart = !sideCarMode && z_.multiMode_ == mmNone;
        prefix_ = onePart ? PrefixLength(*z_.archiveStream_) : 0;
        PositionAtDirectory(stream, sideCarMode);
    }
    if (!z_.entryList_) {
        z_.NewEntryList();
    }
    ReadCentralEntries(stream);
    LoadArchiveCommentAfterRead(sideCar.get());
    z_.currentDisk_ = sideCarMode ? 0 : static_cast<int>(z_.endCentral_->GetThis_Disk());
    z_.Sort(z_.sortMode_);
}
