// Reading an archive's directory from arbitrary bytes, in a caller's memory
// stream or in a file the component opens itself, then asking every entry
// query the component offers.
//
// The whole input is the archive, so real archives serve as seeds. Its size
// picks the settings that do not depend on the bytes: the answer to a
// missing end record (rebuild from local headers or treat as multi-part),
// the sort order, the name conversion and whether a file is read.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "FuzzSupport.h"
#include "platform/MemoryStream.h"
#include "zip/UnZipper.h"

namespace {

void QueryEntries(TUnZipper& zip) {
    for (int32_t i = 0; i < zip.GetCount(); ++i) {
        (void)zip.GetFullname(i);
        (void)zip.GetCompressMethodStr(i);
        (void)zip.GetDateTime(i);
        (void)zip.GetCrc(i);
        (void)zip.GetCompressedSize(i);
        (void)zip.GetUnCompressedSize(i);
        (void)zip.GetIsEncrypted(i);
        (void)zip.GetDiskNo(i);
        zip.SetSelected(i, (i & 1) == 0);
        if (zip.GetHasComment(i)) {
            (void)zip.GetFileComment(i);
        }
    }
    std::vector<std::string> lines;
    zip.FillList(lines);
    if (zip.GetZipHasComment()) {
        (void)zip.GetZipComment();
    }
    (void)zip.GetZipSize();
    (void)zip.GetIsZip64();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    InstallQuietHooks();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TMemoryStream stream;
    LoadStream(stream, data, size);

    TUnZipper zip;
    zip.IncompleteZipMode = (size % 3 == 0) ? izAssumeMulti : izAssumeBad;
    zip.OEMConvert = static_cast<TOEMConvert>(size % 3);
    zip.SetSortMode(static_cast<TZipSortMode>((size / 3) % 8));
    try {
        // Every other size reads through the component's own buffered file
        // stream, as the updater does, the rest from the caller's stream. The
        // file lies in the working directory, which the runner makes a
        // scratch folder.
        if ((size / 24) % 2 == 1 && WriteArchiveFile(data, size)) {
            zip.SetZipName(kArchiveFile);
        } else {
            zip.SetArchiveStream(&stream);
        }
        zip.ReadZip();
        QueryEntries(zip);
        zip.Sort(ByName);
        QueryEntries(zip);
    } catch (const Exception&) {
        // Bad archives end in the component's errors.
    }
    return 0;
}
