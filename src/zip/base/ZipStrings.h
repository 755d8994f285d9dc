#pragma once

// The component's own message texts.
namespace ZipStrings {
inline constexpr const char* NotAValidZipFile = "Not a valid zip file!";
inline constexpr const char* IncompleteZipFile = "Incomplete Zip File";
inline constexpr const char* UserAborted = "User Aborted Operation";
inline constexpr const char* UserCanceledZipName = "User canceled setting zip file name.";
inline constexpr const char* UserCanceledNewDisk = "User canceled loading new disk.";
inline constexpr const char* IndexOutOfRange = "Index %d is out of range";
inline constexpr const char* InsertDiskPrefix = "Please insert disk ";
inline constexpr const char* InsertDiskSuffix = " of the multi-disk set.";
inline constexpr int InsertDiskMessageId = 184;
}  // namespace ZipStrings
