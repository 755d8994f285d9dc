#pragma once

// The zip component's own texts (exception messages and prompts), each
// spelled here once, and the ids its prompts carry to OnHandleMessage.
namespace ZipStrings {
inline constexpr const char* NotAValidZipFile = "Not a valid zip file!";
inline constexpr const char* IncompleteZipFile = "Incomplete Zip File";
inline constexpr const char* UserAborted = "User Aborted Operation";
inline constexpr const char* UserCanceledZipName = "User canceled setting zip file name.";
inline constexpr const char* UserCanceledNewDisk = "User canceled loading new disk.";
// The misspelling is the component's text as callers know it.
inline constexpr const char* UserCanceledDestDir = "User canceled Set Desination Directory";
inline constexpr const char* UserCanceledBuffer = "User canceled Buffered Memory UnZip";
inline constexpr const char* IndexOutOfRange = "Index %d is out of range";
inline constexpr const char* PrematureEnd = "Premature end of file reached";
inline constexpr const char* LargerThanDeclared = "File is larger than uncompressed size!";
inline constexpr const char* CantWriteUCF = "Cant write uncompressed file";

// Why an entry's data could not be decoded, and why the archive could not be
// read: the decoders' and the system's verdicts as the user sees them.
inline constexpr const char* DataTruncated = "compressed data ends early (truncated)";
inline constexpr const char* DataDamaged = "compressed data is damaged";
inline constexpr const char* DataDamagedDetail = "compressed data is damaged: ";
inline constexpr const char* DecoderOutOfMemory = "not enough memory to decompress";
inline constexpr const char* ArchiveReadError = "I/O error reading the archive: ";

// Memory targets: "Cannot unzip <name> to memory: ..."
inline constexpr const char* CannotUnzipPrefix = "Cannot unzip ";
inline constexpr const char* CannotUnzipToMemory = " to memory: ";

// Entry lists.
inline constexpr const char* ListIndexOutOfBounds = "List index out of bounds (%d)";
inline constexpr const char* PutInSortedList = "Cannot <Put> an Object in a sorted list!";
inline constexpr const char* DuplicateObjectIndex = "Duplicate Object index";

// Prompts: message id, text and caption.
inline constexpr int InsertDiskMessageId = 184;
inline constexpr const char* InsertDiskPrefix = "Please insert disk ";
inline constexpr const char* InsertDiskSuffix = " of the multi-disk set.";
inline constexpr int ReplaceFileMessageId = 196;
inline constexpr const char* ReplaceFilePrefix = "Replace existing file ";
inline constexpr const char* ReplaceFileSuffix = "?";
inline constexpr const char* ReplaceFileCaption = "File Exists Alert";
inline constexpr int UnknownMethodMessageId = 197;
inline constexpr const char* UnknownMethod = "Unknown Compression Method";
inline constexpr const char* UnknownMethodCaption = "Zip Error";

// The directory: warnings about a directory that was read anyway, and
// refusals of one that cannot be trusted.
inline constexpr int DirectoryWarningMessageId = 198;
inline constexpr const char* DirectoryWarningCaption = "Zip Warning";
inline constexpr const char* EntryCountPrefix = "The end record counts ";
inline constexpr const char* EntryCountMiddle = " entries, the central directory holds ";
inline constexpr const char* EntryCountSuffix = "; all of them are read.";
inline constexpr const char* DirectoryRebuilt =
    "The central directory is missing or unusable; the entries were found from their local "
    "headers, and names, attributes and flags may be incomplete.";
inline constexpr const char* SharedLocalHeaderPrefix =
    "Two central records name one local header: ";

// Symbolic-link entries that are not made: "<name> -> <target>: <reason>,
// skipped".
inline constexpr int LinkSkippedMessageId = 199;
inline constexpr const char* LinkSkippedCaption = "Zip Warning";
inline constexpr const char* LinkSkippedSuffix = ", skipped";
inline constexpr const char* LinkTargetTooLong = "symbolic link target too long";
inline constexpr const char* LinkNotCreated = "the symbolic link cannot be created";
}  // namespace ZipStrings
