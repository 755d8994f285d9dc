#pragma once

#include <cstdint>

// Enumerations of the zip component, in the order their values are used.
enum TZipSortMode {
    ByName,
    ByFileName,
    ByDirectoryName,
    ByDate,
    ByCompressedSize,
    ByUnCompressedSize,
    ByRate,
    ByNone
};
enum TIncompleteZipMode { izAssumeMulti, izAssumeBad, izAssumeNotAZip };
enum TOEMConvert { oemAlways, oemNever, oemFlexible };
enum TBlockMode { bmStandard, bmClassic };
enum TSplitPartType { spFirst, spMiddle, spLast };
enum TOperationMode { omZip, omUnZip, omNone };
enum TUZOverwriteMode { Prompt, Always, Never, ifNewer, ifOlder };
enum TMultiMode { mmNone, mmSpan, mmBlocks };
enum TSkipReason {
    srBadPassword,
    srNoOverwrite,
    srFileOpenError,
    srCreateError,
    srExcludeList,
    srArchiveBitNotSet,
    srNoFileToFreshen,
    srSkippedInStartZip
};

// The framework's date-time: days since 30 December 1899, local time, with
// the time of day as the fraction.
using TDateTime = double;
