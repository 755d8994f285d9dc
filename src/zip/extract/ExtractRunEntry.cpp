// Extraction of one entry: where it goes, whether it may replace a file,
// the password, the target, decompression, date and attributes, verdict.
#include <algorithm>
#include <array>
#include <cmath>
#include <span>

#include "platform/FileOps.h"
#include "platform/FileSystem.h"
#include "platform/MessageHooks.h"
#include "platform/ScopeExit.h"
#include "zip/UnZipper.h"
#include "zip/base/DateTimeHelpers.h"
#include "zip/base/FileHelpers.h"
#include "zip/base/SmallHelpers.h"
#include "zip/base/StreamUtil.h"
#include "zip/base/ZipStrings.h"
#include "zip/codec/Explode.h"
#include "zip/codec/Inflate.h"
#include "zip/codec/Unreduce.h"
#include "zip/codec/Unshrink.h"
#include "zip/extract/EntryAttributes.h"
#include "zip/extract/ExtractRun.h"
#include "zip/extract/MemoryTarget.h"
#include "zip/extract/OutputFile.h"
#include "zip/format/ZipRecords.h"

namespace {

std::string DirectoryPart(const std::string& path) {
    const size_t cut = path.rfind('/');
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

}  // namespace

void TExtractRun::ExtractEntry(int32_t index) {
    retry_ = false;
    z_.LastEntryProblem.clear();
    z_.ScratchHeader.Assign(*z_.SortedList()->Entry(index));
    const TZipHeaderInfo& entry = z_.ScratchHeader;
    const bool isDirectory = entry.filename.empty();
    if (!isDirectory && !PositionAtData(entry)) {
        if (z_.OnBadCRC) {
            z_.OnBadCRC(z_, 0, entry.crc32, index);
        }
        return;
    }
    const TOutputPlace place = PlaceEntry(rules_, entry.directory, entry.filename);
    if (isDirectory) {
        ExtractDirectory(index, entry, place);
        return;
    }
    // Control characters stay out of created names, as out of directories.
    std::string fName =
        FilesTarget()
            ? place.directory + DOSToUnixFilename(WithoutControlCharacters(entry.filename))
            : std::string();
    if (FilesTarget() && !place.safe) {
        Skip(index, srCreateError, fName);
        return;
    }
    const std::string ourName = fName;
    bool skip = false;
    if (z_.OnStartUnZip) {
        z_.OnStartUnZip(z_, index, fName, skip);
    }
    if (skip) {
        return;
    }
    // Whether nothing has the target's name yet, from the one look that
    // also checks it for a link: then there is nothing to ask about.
    bool targetAbsent = false;
    if (FilesTarget()) {
        // A name of our own making is checked for links on the way; one
        // that a handler chose is the handler's business.
        if (fName == ourName) {
            if (!MakeDirectoriesInside(rules_.destDir, fName, true, checkedDirs_).empty()) {
                Skip(index, srCreateError, fName);
                return;
            }
            const TPathKind kind = PathStatus(fName, TLinks::DoNotFollow).Kind;
            if (kind == TPathKind::Link) {
                Skip(index, srCreateError, fName);
                return;
            }
            targetAbsent = kind == TPathKind::Absent;
        } else if (const std::string dir = DirectoryPart(fName); !dir.empty() && !DirExists(dir)) {
            ForceCreateDirectories(dir);
        }
    }
    int64_t compressedLeft = static_cast<int64_t>(entry.GetCompressedSize());
    if (entry.GetIsEncrypted() && !CheckPassword(index, entry, compressedLeft)) {
        return;
    }
    if (FilesTarget() &&
        IsSymbolicLinkEntry(entry.version_made_by, entry.external_file_attributes)) {
        ExtractLinkEntry(index, entry, fName, compressedLeft);
        return;
    }
    if (FilesTarget()) {
        if (!MayReplace(index, entry, fName, targetAbsent) ||
            !CreateOutputFile(index, entry, fName)) {
            return;
        }
        stages_.UseFile(file_.get());
    } else {
        PrepareStreamOrMemory(entry, compressedLeft);
    }
    // The file of an entry that does not come out whole is removed, also
    // when an exception ends the run: no partial or preallocated (sparse)
    // file of the declared size stays behind. A buffer sized here is dropped.
    std::string partial = file_ ? fName : std::string();
    ScopeExit abandonEntry([this, &partial] {
        stages_.UseNothing();
        file_.reset();
        if (!partial.empty()) {
            DeleteFile(partial);
        }
        if (memory_) {
            memory_->Drop();
        }
    });
    stages_.BeginEntry(compressedLeft, static_cast<int64_t>(entry.GetUnCompressedSize()));
    stages_.SetEncrypted(entry.GetIsEncrypted());
    const TEntryOutcome outcome = DecompressEntry(entry);
    FinishFile(entry, outcome == TEntryOutcome::Decoded);
    partial.clear();
    abandonEntry.Release();
    if (outcome != TEntryOutcome::Decoded && memory_) {
        memory_->Drop();
    }
    Verdict(index, entry, fName, outcome);
}

TExtractRun::TEntryOutcome TExtractRun::DecompressEntry(const TZipHeaderInfo& entry) {
    try {
        RaiseUnlessDecoded(Decompress(entry), entry);
    } catch (const EBiggerThanUncompressed&) {
        return TEntryOutcome::TooLong;
    } catch (const ECanceledUnzipToBuffer&) {
        return TEntryOutcome::Cancelled;
    } catch (const EZLibError&) {
        // A wrong password that passes the one-byte header check (one in
        // 256 do) turns the data into noise that the decoder refuses: for
        // an encrypted entry that is the wrong-password verdict, and the
        // run goes on. Damaged data of a plain entry ends the run.
        if (!entry.GetIsEncrypted()) {
            throw;
        }
        return TEntryOutcome::Undecodable;
    }
    return TEntryOutcome::Decoded;
}

void TExtractRun::RaiseUnlessDecoded(TDecodeResult result, const TZipHeaderInfo& entry) {
    // A legacy decoder that stopped early explains a failed check; when the
    // output is whole and its CRC right, a stray last code is no failure.
    // Only an encrypted entry turns it into an error (the wrong-password
    // verdict below): a damaged plain entry keeps its bad-CRC verdict, so
    // the entries after it are still extracted.
    const bool whole =
        stages_.BytesWritten() == static_cast<int64_t>(entry.GetUnCompressedSize()) &&
        ~stages_.Crc() == entry.crc32;
    if (result == TDecodeResult::Complete || whole) {
        return;
    }
    const char* problem =
        result == TDecodeResult::Truncated ? ZipStrings::DataTruncated : ZipStrings::DataDamaged;
    if (!entry.GetIsEncrypted()) {
        z_.LastEntryProblem = problem;
        return;
    }
    throw EZCompressionError(problem);
}

bool TExtractRun::PositionAtData(const TZipHeaderInfo& entry) {
    const auto startDisk = static_cast<int>(entry.GetDisk_number_start());
    const bool onePart = z_.EndCentral().GetThis_Disk() == 0;
    if (!onePart) {
        archive_.GoTo(startDisk);
    }
    // A local header that lies (partly) beyond the end of a one-part archive
    // is this entry's fault, not the run's: it is reported with the entry
    // like a missing one, and the entries after it are still extracted.
    TStream& archive = archive_;
    const int64_t size = ArchiveSize();
    const auto holds = [&](int64_t count) {
        return !onePart || size - archive.Position() >= count;
    };
    if (size < 0 || entry.GetRelativeOffset() > static_cast<uint64_t>(size)) {
        return false;
    }
    archive.Seek(static_cast<int64_t>(entry.GetRelativeOffset()), TSeekOrigin::soBeginning);
    if (!holds(local_file_header::kSize)) {
        return false;
    }
    std::array<uint8_t, local_file_header::kSize> bytes{};
    stages_.ReadExact(bytes.data(), static_cast<uint32_t>(bytes.size()));
    local_file_header header;
    if (!ParseLocalHeader(std::span<const uint8_t>(bytes), header) || header.signature != LOCSIG) {
        // No local header where the directory says: the entry's data cannot
        // be found, and guessing would write garbage.
        return false;
    }
    const uint32_t nameAndExtra =
        static_cast<uint32_t>(header.filename_length) + header.extra_field_length;
    if (!holds(nameAndExtra)) {
        return false;
    }
    stages_.SkipExact(nameAndExtra);
    localDosDateTime_ = header.last_mod_file_date_time;
    return true;
}

void TExtractRun::ExtractDirectory(int32_t index, const TZipHeaderInfo& entry,
                                   const TOutputPlace& place) {
    if (FilesTarget() && z_.RecreateDirs) {
        if (!place.safe ||
            !MakeDirectoriesInside(rules_.destDir, place.directory, true, checkedDirs_).empty()) {
            Skip(index, srCreateError, place.directory);
            return;
        }
        if (z_.RetainAttributes && !place.directory.empty()) {
            ApplyDirectoryAttributes(place.directory.c_str(), entry.version_made_by,
                                     entry.external_file_attributes);
        }
    }
    ++fileCount_;
}

bool TExtractRun::MayReplace(int32_t index, const TZipHeaderInfo& entry, const std::string& fName,
                             bool knownAbsent) {
    if (knownAbsent || z_.OverwriteMode == Always || !FileExists(DOSToUnixFilename(fName))) {
        return true;
    }
    bool replace = false;
    switch (z_.OverwriteMode) {
        case Always:
            replace = true;
            break;
        case Never:
            break;
        case Prompt:
            if (z_.OnPromptForOverwrite) {
                std::string name = fName;
                z_.OnPromptForOverwrite(z_, replace, index, name);
            } else {
                replace = z_.DoHandleMessage(ZipStrings::ReplaceFileMessageId,
                                             ZipStrings::ReplaceFilePrefix + entry.filename +
                                                 ZipStrings::ReplaceFileSuffix,
                                             ZipStrings::ReplaceFileCaption, MB_YESNO) == IDYES;
            }
            break;
        case ifNewer:
        case ifOlder: {
            TDateTime entryDate = 0;
            TryDosDateTimeToDateTime(GoodTimeStamp(entry.last_mod_file_date_time), entryDate);
            // Whole seconds: the two values reach the same second by
            // different arithmetic and must compare equal then.
            const auto entrySecond = std::llround(entryDate * 86400.0);
            const auto fileSecond = std::llround(FileDateTime(fName) * 86400.0);
            replace =
                z_.OverwriteMode == ifNewer ? entrySecond > fileSecond : entrySecond < fileSecond;
            break;
        }
    }
    if (!replace) {
        Skip(index, srNoOverwrite, fName);
    }
    return replace;
}

bool TExtractRun::CreateOutputFile(int32_t index, const TZipHeaderInfo& entry,
                                   const std::string& fName) {
    for (int attempt = 0;; ++attempt) {
        try {
            file_ = std::make_unique<TOutputFile>(fName, z_.BufferSize, z_.FlushFilesOnClose);
            file_->SetSize(static_cast<int64_t>(entry.GetUnCompressedSize()));
            return true;
        } catch (const EFCreateError&) {
            file_.reset();
            if (z_.ReplaceReadOnly && attempt == 0) {
                if (FileIsReadOnly(fName)) {
                    ClearReadOnly(fName);
                }
                continue;
            }
        } catch (const Exception&) {
            file_.reset();
        }
        Skip(index, srCreateError, fName);
        return false;
    }
}

bool TExtractRun::CheckPassword(int32_t index, const TZipHeaderInfo& entry,
                                int64_t& compressedLeft) {
    const std::string storedName = entry.directory + entry.filename;
    if (compressedLeft < static_cast<int64_t>(TZipCrypt::kHeaderSize)) {
        // Too short to hold even the encryption header: no password opens it.
        Skip(index, srBadPassword, storedName);
        return false;
    }
    std::array<uint8_t, TZipCrypt::kHeaderSize> header{};
    stages_.ReadExact(header.data(), static_cast<uint32_t>(header.size()));
    compressedLeft -= static_cast<int64_t>(header.size());
    // The writer took the check byte from the time it stored in the local
    // header, an impossible one (hour 24) included; the entry's own time
    // has been repaired since.
    const uint8_t check =
        PasswordCheckByte(entry.general_purpose_bit_flag, localDosDateTime_, entry.crc32);
    bool accepted = false;
    for (;;) {
        if (stages_.Cipher().DecryptHeaderByteByPtr(z_.Password, header.data()) == check) {
            accepted = true;
            break;
        }
        if (!z_.OnBadPassword) {
            break;
        }
        std::string newPassword = z_.Password;
        z_.OnBadPassword(z_, index, newPassword);
        if (newPassword == z_.Password) {
            break;
        }
        z_.Password = newPassword;
    }
    SecureWipe(header.data(), header.size());
    if (!accepted) {
        Skip(index, srBadPassword, storedName);
    }
    return accepted;
}

void TExtractRun::PrepareStreamOrMemory(const TZipHeaderInfo& entry, int64_t compressedLeft) {
    const auto size = static_cast<int64_t>(entry.GetUnCompressedSize());
    // The compressed size is only what the header claims: in a one-part
    // archive no more bytes can follow than the archive still holds, and the
    // believable uncompressed size rests on those. Otherwise a few hundred
    // bytes claiming a large entry would make the target allocate 1 GB.
    if (z_.EndCentral().GetThis_Disk() == 0) {
        TStream& archive = archive_;
        compressedLeft =
            std::min(compressedLeft, std::max<int64_t>(0, ArchiveSize() - archive.Position()));
    }
    if (memory_) {
        memory_->BeginEntry(entry.directory + entry.filename, entry.compression_method,
                            compressedLeft, size, request_.testing);
        stages_.UseMemory(memory_.get());
        return;
    }
    TStream* stream = request_.stream;
    // Sized up front only when the size is believable: a damaged header
    // must not make the caller's stream claim gigabytes.
    if (stream->Size() == 0 &&
        size <= PlausibleUncompressedLimit(entry.compression_method, compressedLeft) &&
        size <= kMemoryTargetCap) {
        stream->SetSize(size);
    }
    stream->SetPosition(0);
    stages_.UseStream(stream);
}

TDecodeResult TExtractRun::Decompress(const TZipHeaderInfo& entry) {
    const uint16_t method = entry.compression_method;
    switch (method) {
        case ZipMethod::Stored:
            UnStore(stages_);
            break;
        case ZipMethod::Shrunk:
            return UnShrink(stages_);
        case ZipMethod::Reduced1:
        case ZipMethod::Reduced1 + 1:
        case ZipMethod::Reduced1 + 2:
        case ZipMethod::Reduced4:
            return UnReduce(stages_, method - ZipMethod::Reduced1 + 1);
        case ZipMethod::Imploded:
            return Explode(stages_, entry.general_purpose_bit_flag);
        case ZipMethod::Deflated:
            Inflate(stages_);
            break;
        default:
            if (!request_.testing) {
                z_.DoHandleMessage(ZipStrings::UnknownMethodMessageId, ZipStrings::UnknownMethod,
                                   ZipStrings::UnknownMethodCaption, MB_OK);
            }
            break;
    }
    return TDecodeResult::Complete;
}

void TExtractRun::FinishFile(const TZipHeaderInfo& entry, bool decompressed) {
    if (!file_) {
        return;
    }
    if (decompressed) {
        file_->SetModificationTime(DosDateTimeToUnix(entry.last_mod_file_date_time));
        if (z_.RetainAttributes) {
            // The file's present mode is asked only when the entry's depends
            // on it: one system call less for most entries.
            const uint32_t current =
                ModeDependsOnCurrent(entry.version_made_by, entry.external_file_attributes)
                    ? file_->CurrentMode()
                    : 0;
            if (const auto mode = ModeForEntry(entry.version_made_by,
                                               entry.external_file_attributes, current, false)) {
                file_->SetMode(*mode);
            }
        }
    }
    std::unique_ptr<TOutputFile> file = std::move(file_);
    stages_.UseNothing();
    file->Close();
}

bool TExtractRun::Intact(const TZipHeaderInfo& entry, TEntryOutcome outcome) {
    // A CRC that matches over fewer bytes than declared still leaves a file
    // of the wrong size (it was sized up front): that is no success either.
    const bool complete =
        stages_.BytesWritten() == static_cast<int64_t>(entry.GetUnCompressedSize());
    return outcome != TEntryOutcome::Undecodable && ~stages_.Crc() == entry.crc32 && complete;
}

void TExtractRun::Verdict(int32_t index, const TZipHeaderInfo& entry, const std::string& fName,
                          TEntryOutcome outcome) {
    if (outcome == TEntryOutcome::Cancelled || Intact(entry, outcome)) {
        if (z_.OnEndUnZip) {
            z_.OnEndUnZip(z_, index, fName);
        }
        ++fileCount_;
        return;
    }
    ReportDamaged(index, entry);
    if (FilesTarget()) {
        DeleteFile(fName);
    }
}

void TExtractRun::ReportDamaged(int32_t index, const TZipHeaderInfo& entry) {
    if (entry.GetIsEncrypted()) {
        if (z_.OnBadPassword) {
            std::string newPassword = z_.Password;
            z_.OnBadPassword(z_, index, newPassword);
            if (newPassword != z_.Password) {
                z_.Password = newPassword;
                retry_ = true;
            }
        }
        if (!retry_ && z_.OnSkippingFile) {
            z_.OnSkippingFile(z_, srBadPassword, entry.directory + entry.filename, index,
                              skipRetry_);
        }
    } else if (z_.OnBadCRC) {
        z_.OnBadCRC(z_, ~stages_.Crc(), entry.crc32, index);
    }
}

int64_t TExtractRun::ArchiveSize() {
    if (z_.EndCentral().GetThis_Disk() != 0) {
        return archive_.Size();
    }
    if (onePartSize_ < 0) {
        onePartSize_ = archive_.Size();
    }
    return onePartSize_;
}

void TExtractRun::Skip(int32_t index, TSkipReason reason, const std::string& name) {
    if (z_.OnSkippingFile) {
        z_.OnSkippingFile(z_, reason, name, index, skipRetry_);
    }
    stages_.TotalBytes -= static_cast<double>(z_.ScratchHeader.GetUnCompressedSize());
}
