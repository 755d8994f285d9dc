#include "UnzipCommand.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <set>

#include "PrintableName.h"
#include "platform/FileSystem.h"
#include "platform/MessageHooks.h"
#include "zip/UnZipper.h"
#include "zip/base/DateTimeHelpers.h"
#include "zip/base/FileHelpers.h"
#include "zip/base/WildMatch.h"
#include "zip/base/ZipStrings.h"
#include "zip/extract/EntryAttributes.h"
#include "zip/extract/OutputPaths.h"

namespace {

std::string Hex8(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

bool MethodSupported(uint16_t method) { return method <= 6 || method == 8; }

std::string DateText(TDateTime value) {
    const DateTimeParts p = DecodeDateTime(value);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", p.year, p.month, p.day, p.hour,
                  p.minute);
    return text;
}

std::string Padded(const std::string& text, size_t width, bool left = false) {
    if (text.size() >= width) {
        return text;
    }
    const std::string pad(width - text.size(), ' ');
    return left ? text + pad : pad + text;
}

bool PathExists(const std::string& path) {
    const TPathKind kind = PathStatus(path, TLinks::Follow).Kind;
    return kind != TPathKind::Absent && kind != TPathKind::Unknown;
}

// The component's texts for damaged data are short; say what they mean.
std::string Explain(const Exception& e) {
    if (dynamic_cast<const EZCompressionError*>(&e) != nullptr) {
        return "damaged compressed data (" + e.Message() + ")";
    }
    if (dynamic_cast<const ENotAZipFile*>(&e) != nullptr ||
        dynamic_cast<const EBadZipFile*>(&e) != nullptr) {
        return "not a zip archive, or a damaged one (" + e.Message() + ")";
    }
    if (dynamic_cast<const EIncompleteZip*>(&e) != nullptr) {
        return "not a zip archive, or not all of its parts (" + e.Message() + ")";
    }
    return e.Message();
}

}  // namespace

TUnzipCommand::TUnzipCommand(const TUnzipOptions& options, std::ostream& out, std::ostream& err,
                             TUnzipTerminal terminal)
    : options_(options), out_(out), err_(err), terminal_(std::move(terminal)) {}

TUnzipCommand::~TUnzipCommand() = default;

int TUnzipCommand::Run() {
    if (!PathExists(options_.archive)) {
        err_ << "zuvo-unzip: cannot find archive " << options_.archive << "\n";
        return kUnzipArchiveError;
    }
    TUnZipper zip;
    zip.DoProcessMessages = false;
    zip.IncompleteZipMode = izAssumeNotAZip;
    InstallMessageHandler(zip);
    if (!OpenArchive(zip)) {
        return kUnzipArchiveError;
    }
    switch (options_.mode) {
        case TUnzipOptions::Mode::List:
            return List(zip);
        case TUnzipOptions::Mode::Test:
            return Test(zip);
        case TUnzipOptions::Mode::Extract:
            break;
    }
    return Extract(zip);
}

bool TUnzipCommand::OpenArchive(TUnZipper& zip) {
    try {
        zip.SetZipName(options_.archive);
        zip.ReadZip();
        return true;
    } catch (const Exception& e) {
        ArchiveError(Explain(e));
        return false;
    }
}

int TUnzipCommand::RunError(const TUnZipper& zip, const Exception& e) {
    // The run names its entry before it looks for the entry's data: an
    // error on the way there belongs to that entry, not the one before.
    const TZipHeaderInfo& entry = zip.ScratchHeader;
    if (!entry.directory.empty() || !entry.filename.empty()) {
        currentEntry_ = Printable(DOSToUnixFilename(entry.directory + entry.filename));
    }
    return ArchiveError(Explain(e));
}

int TUnzipCommand::ArchiveError(const std::string& message) {
    err_ << "zuvo-unzip: " << options_.archive;
    if (!currentEntry_.empty()) {
        err_ << ": " << currentEntry_;
    }
    err_ << ": " << Printable(message) << "\n";
    return kUnzipArchiveError;
}

void TUnzipCommand::ReportFailure(const std::string& what) {
    ++failures_;
    err_ << "zuvo-unzip: " << what << "\n";
}

std::string TUnzipCommand::DisplayName(const TUnZipper& zip, int32_t index) const {
    return Printable(DOSToUnixFilename(zip.GetFullname(index)));
}

bool TUnzipCommand::Matches(const TUnZipper& zip, int32_t index) const {
    if (options_.patterns.empty()) {
        return true;
    }
    const std::string name = zip.GetFullname(index);
    return std::any_of(options_.patterns.begin(), options_.patterns.end(),
                       [&](const std::string& p) { return IsMatch(UnixToDOSFilename(p), name); });
}

bool TUnzipCommand::ReportUnmatchedPatterns(const TUnZipper& zip) {
    bool all = true;
    for (const auto& pattern : options_.patterns) {
        bool found = false;
        for (int32_t i = 0; i < zip.GetCount() && !found; ++i) {
            found = IsMatch(UnixToDOSFilename(pattern), zip.GetFullname(i));
        }
        if (!found) {
            ReportFailure("no entry matches " + pattern);
            all = false;
        }
    }
    return all;
}

int TUnzipCommand::List(TUnZipper& zip) {
    out_ << "Archive:  " << options_.archive << "\n"
         << "    Length  Method       Size  Cmpr  Date       Time   CRC-32    Name\n"
         << "----------  ------ ----------  ----  ---------- -----  --------  ----\n";
    uint64_t total = 0;
    uint64_t packed = 0;
    int listed = 0;
    for (int32_t i = 0; i < zip.GetCount(); ++i) {
        if (!Matches(zip, i)) {
            continue;
        }
        const uint64_t size = zip.GetUnCompressedSize(i);
        const uint64_t stored = zip.GetCompressedSize(i);
        const int ratio =
            size == 0 ? 0 : static_cast<int>(100 - std::min<uint64_t>(100, stored * 100 / size));
        out_ << Padded(std::to_string(size), 10) << "  "
             << Padded(zip.GetCompressMethodStr(i), 6, true) << " "
             << Padded(std::to_string(stored), 10) << "  " << Padded(std::to_string(ratio) + "%", 4)
             << "  " << DateText(zip.GetDateTime(i)) << "  " << Hex8(zip.GetCrc(i)) << "  "
             << DisplayName(zip, i) << "\n";
        total += size;
        packed += stored;
        ++listed;
    }
    out_ << "----------         ----------                                  -------\n"
         << Padded(std::to_string(total), 10) << "         " << Padded(std::to_string(packed), 10)
         << Padded(std::to_string(listed) + (listed == 1 ? " file" : " files"), 44) << "\n";
    ReportUnmatchedPatterns(zip);
    return failures_ > 0 ? kUnzipEntryErrors : kUnzipOk;
}

// Before the archive is opened: reading the directory may already warn.
void TUnzipCommand::InstallMessageHandler(TUnZipper& zip) {
    zip.OnHandleMessage = [this](TUnZipper&, int id, const std::string& text, const std::string&,
                                 unsigned, int& result) {
        // A directory the component had to read around (a wrong entry
        // count, a rebuild) is worth a warning, not a failure.
        if (id == ZipStrings::LinkSkippedMessageId) {
            ReportFailure(Printable(text));
            result = IDOK;
            return;
        }
        if (id == ZipStrings::DirectoryWarningMessageId) {
            err_ << "zuvo-unzip: warning: " << Printable(options_.archive) << ": "
                 << Printable(text) << "\n";
            result = IDOK;
            return;
        }
        // Unknown methods are reported with the entry's verdict; nothing
        // else may wait for an answer that no window can give.
        result = id == ZipStrings::UnknownMethodMessageId ? IDOK : IDCANCEL;
    };
}

void TUnzipCommand::InstallReporters(TUnZipper& zip) {
    zip.OnStartUnZip = [this](TUnZipper& z, int index, std::string&, bool&) {
        currentEntry_ = DisplayName(z, index);
    };
    zip.OnBadCRC = [this](TUnZipper& z, uint32_t computed, uint32_t stored, int index) {
        const std::string name = DisplayName(z, index);
        const uint16_t method = z.GetCompressMethod(index);
        if (!MethodSupported(method)) {
            ReportFailure(name + ": unsupported compression method " + std::to_string(method) +
                          " (" + z.GetCompressMethodStr(index) + "), skipped");
        } else if (!z.LastEntryProblem.empty()) {
            ReportFailure(name + ": " + z.LastEntryProblem + ", output removed");
        } else {
            ReportFailure(name + ": CRC error (computed " + Hex8(computed) + ", stored " +
                          Hex8(stored) + " or size mismatch), output removed");
        }
    };
    zip.OnSkippingFile = [this](TUnZipper& z, TSkipReason reason, const std::string& fName,
                                int index, bool&) {
        const std::string name = index >= 0 ? DisplayName(z, index) : Printable(fName);
        switch (reason) {
            case srBadPassword:
                ReportFailure(name + (z.Password.empty() && !options_.password
                                          ? ": encrypted, and no password was given, skipped"
                                          : ": incorrect password, skipped"));
                break;
            case srCreateError:
                ReportFailure(name + ": " + CreateProblem(z, index, fName) + ", skipped");
                break;
            case srNoOverwrite:
                if (!options_.quiet) {
                    out_ << "  kept existing: " << Printable(fName) << "\n";
                }
                break;
            default:
                break;
        }
    };
}

std::string TUnzipCommand::CreateProblem(const TUnZipper& zip, int32_t index,
                                         const std::string& path) const {
    if (index < 0) {
        return "cannot create it";
    }
    const TPlacementRules rules{zip.DestDir(), zip.RecreateDirs, zip.RelativePathList};
    const TOutputPlace place =
        PlaceEntry(rules, zip.Entry(index).directory, zip.Entry(index).filename);
    if (!place.safe) {
        return place.reason;
    }
    std::set<std::string> none;
    std::string reason = MakeDirectoriesInside(zip.DestDir(), path, false, none);
    if (reason.empty()) {
        reason = CheckFinalComponent(path);
    }
    return reason.empty() ? "cannot create " + Printable(path) : reason;
}

void TUnzipCommand::InstallQuestions(TUnZipper& zip) {
    zip.OnPromptForOverwrite = [this](TUnZipper&, bool& overWriteIt, int, std::string& fName) {
        if (!replaceAll_ && terminal_.askLine) {
            for (;;) {
                const auto answer = terminal_.askLine("replace " + Printable(fName) +
                                                      "? [y]es, [n]o, [A]ll, [N]one: ");
                if (!answer || *answer == "N") {
                    replaceAll_ = false;
                } else if (*answer == "A") {
                    replaceAll_ = true;
                } else if (*answer == "y" || *answer == "Y" || *answer == "n") {
                    overWriteIt = *answer != "n";
                    return;
                } else {
                    continue;
                }
                break;
            }
        }
        overWriteIt = replaceAll_.value_or(false);
    };
    if (!options_.password && terminal_.askSecret) {
        zip.OnBadPassword = [this](TUnZipper& z, int index, std::string& newPassword) {
            const auto typed = terminal_.askSecret("[" + options_.archive + "] " +
                                                   DisplayName(z, index) + " password: ");
            if (typed && !typed->empty()) {
                newPassword = *typed;
            }
        };
    }
}

int TUnzipCommand::Test(TUnZipper& zip) {
    InstallReporters(zip);
    if (options_.password) {
        zip.Password = *options_.password;
    }
    InstallQuestions(zip);
    int tested = 0;
    zip.OnEndUnZip = [this, &tested](TUnZipper& z, int index, const std::string&) {
        ++tested;
        if (!options_.quiet) {
            out_ << "    testing: " << DisplayName(z, index) << "   OK\n";
        }
    };
    if (!options_.quiet) {
        out_ << "Archive:  " << options_.archive << "\n";
    }
    try {
        if (options_.patterns.empty()) {
            zip.CheckArchive();
        } else {
            zip.ClearSelected();
            for (int32_t i = 0; i < zip.GetCount(); ++i) {
                zip.SetSelected(i, Matches(zip, i));
            }
            zip.DoAll = false;
            if (zip.SelectedCount() > 0) {
                zip.ProcessIntegrityCheck(-1);
            }
        }
    } catch (const Exception& e) {
        return RunError(zip, e);
    }
    ReportUnmatchedPatterns(zip);
    if (failures_ > 0) {
        err_ << "zuvo-unzip: " << failures_ << " error(s) in " << options_.archive << "\n";
        return kUnzipEntryErrors;
    }
    if (!options_.quiet) {
        out_ << "No errors detected in " << options_.archive << " (" << tested
             << " entries tested).\n";
    }
    return kUnzipOk;
}

int TUnzipCommand::Extract(TUnZipper& zip) {
    InstallReporters(zip);
    InstallQuestions(zip);
    if (options_.password) {
        zip.Password = *options_.password;
    }
    zip.SetDestDir(options_.destDir);
    zip.RecreateDirs = true;
    zip.OverwriteMode = options_.overwrite == TUnzipOptions::Overwrite::Always  ? Always
                        : options_.overwrite == TUnzipOptions::Overwrite::Never ? Never
                                                                                : Prompt;
    // Whether a file is replaced is the overwrite option's decision alone;
    // a read-only file from an earlier run is replaced like any other.
    zip.ReplaceReadOnly = true;
    zip.DoAll = options_.patterns.empty();
    std::vector<std::string> patterns;
    for (const auto& pattern : options_.patterns) {
        patterns.push_back(UnixToDOSFilename(pattern));
    }
    zip.SetFilesList(patterns);
    zip.OnEndUnZip = [this](TUnZipper& z, int index, const std::string& fName) {
        if (options_.quiet) {
            return;
        }
        const TZipHeaderInfo& entry = z.Entry(index);
        if (IsSymbolicLinkEntry(entry.version_made_by, entry.external_file_attributes)) {
            out_ << "    linking: " << Printable(fName) << " -> "
                 << Printable(std::filesystem::read_symlink(fName).string()) << "\n";
        } else {
            out_ << "  extracted: " << Printable(fName) << "\n";
        }
    };
    if (!options_.quiet) {
        out_ << "Archive:  " << options_.archive << "\n";
    }
    ReportUnmatchedPatterns(zip);
    try {
        zip.UnZip();
    } catch (const Exception& e) {
        return RunError(zip, e);
    }
    return failures_ > 0 ? kUnzipEntryErrors : kUnzipOk;
}
