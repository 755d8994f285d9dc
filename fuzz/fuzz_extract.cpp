// Extracting every entry of an arbitrary archive, with a password: to files
// under a scratch destination, to memory, to a caller's stream, and as an
// integrity test. After each input nothing may exist outside the
// destination.
//
// The whole input is the archive (real archives are the seeds); its size
// picks the password and the settings that do not depend on the bytes.
//
// ZUVO_FUZZ_SCRATCH names the scratch folder (default: ./extract-scratch
// under the working directory). ZUVO_FUZZ_WATCH, a colon-separated list of
// folders, names folders that must hold nothing but the scratch folder: the
// runner points it at private, empty /tmp-like folders when it can.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "FuzzSupport.h"
#include "platform/MemoryStream.h"
#include "zip/UnZipper.h"

namespace fs = std::filesystem;

namespace {

const char* const kPasswords[] = {"", "a", "test", "12345678", "pass1", "foo", "1234", "1"};
// The destination sits a few levels down, so that a name climbing out of it
// lands in a folder this target watches.
const char* const kChain[] = {"a", "b", "c", "d"};

fs::path gScratch;

[[noreturn]] void Escaped(const fs::path& path) {
    std::fprintf(stderr, "written outside the destination: %s\n", path.c_str());
    __builtin_trap();
}

fs::path gDest;
std::vector<fs::path> gWatched;

// Only the chain to the destination may exist in the scratch folder, and
// only the scratch folder in a watched one.
void CheckNothingOutside() {
    std::error_code ec;
    fs::path at = gScratch;
    for (const char* step : kChain) {
        for (const auto& item : fs::directory_iterator(at, ec)) {
            if (item.path().filename() != step) {
                Escaped(item.path());
            }
        }
        at /= step;
    }
    for (const auto& item : fs::directory_iterator(at, ec)) {
        if (item.path().filename() != "dest") {
            Escaped(item.path());
        }
    }
    for (const fs::path& watched : gWatched) {
        for (const auto& item : fs::directory_iterator(watched, ec)) {
            if (!fs::equivalent(item.path(), gScratch, ec) &&
                gScratch.string().rfind(item.path().string() + "/", 0) != 0) {
                Escaped(item.path());
            }
        }
    }
}

void ResetDestination() {
    std::error_code ec;
    fs::remove_all(gDest, ec);
    fs::create_directories(gDest, ec);
}

void Configure(TUnZipper& zip, size_t size) {
    const size_t first = size % std::size(kPasswords);
    zip.Password = kPasswords[first];
    // A refused password is answered with the next one of the list, a few
    // times per run, so encrypted seeds decrypt and the retry path runs.
    zip.OnBadPassword = [first, tries = 0](TUnZipper&, int, std::string& password) mutable {
        if (tries < 12) {
            ++tries;
            password = kPasswords[(first + static_cast<size_t>(tries)) % std::size(kPasswords)];
        }
    };
    zip.DoAll = true;
    zip.RecreateDirs = (size & 1) == 0;
    zip.OverwriteMode = (size & 2) == 0 ? Always : Prompt;  // the prompt answers No
    zip.IncompleteZipMode = izAssumeBad;
    zip.SetDestDir(gDest.string());
}

// Every other size extracts from a file the component opens itself, as the
// updater does (in the working directory, not the scratch folder, which must
// hold only the destination); the rest from the caller's stream.
void ToFiles(TMemoryStream& archive, const uint8_t* data, size_t size) {
    TUnZipper zip;
    Configure(zip, size);
    try {
        if ((size / 16) % 2 == 1 && WriteArchiveFile(data, size)) {
            zip.SetZipName(kArchiveFile);
        } else {
            zip.SetArchiveStream(&archive);
        }
        zip.UnZip();
    } catch (const Exception&) {
    }
}

void ToMemoryAndStreams(TMemoryStream& archive, size_t size) {
    TUnZipper zip;
    Configure(zip, size);
    zip.SetArchiveStream(&archive);
    try {
        zip.ReadZip();
    } catch (const Exception&) {
        return;
    }
    zip.DoAll = false;
    for (int32_t i = 0; i < zip.GetCount() && i < 64; ++i) {
        try {
            std::vector<uint8_t> buffer;
            zip.UnZipToBufferByIndex(buffer, i);
            TMemoryStream out;
            zip.UnZipToStreamByIndex(&out, i);
        } catch (const Exception&) {
        }
    }
    try {
        (void)zip.CheckArchive();
    } catch (const Exception&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    InstallQuietHooks();
    const char* scratch = std::getenv("ZUVO_FUZZ_SCRATCH");
    gScratch = fs::absolute(scratch != nullptr ? scratch : "extract-scratch");
    gDest = gScratch;
    for (const char* step : kChain) {
        gDest /= step;
    }
    gDest /= "dest";
    if (const char* watch = std::getenv("ZUVO_FUZZ_WATCH")) {
        std::string list = watch;
        for (size_t start = 0; start <= list.size();) {
            const size_t end = std::min(list.find(':', start), list.size());
            if (end > start) {
                gWatched.emplace_back(list.substr(start, end - start));
            }
            start = end + 1;
        }
    }
    std::error_code ec;
    fs::remove_all(gScratch, ec);
    ResetDestination();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TMemoryStream archive;
    LoadStream(archive, data, size);
    ToFiles(archive, data, size);
    CheckNothingOutside();
    ResetDestination();
    archive.SetPosition(0);
    ToMemoryAndStreams(archive, size);
    CheckNothingOutside();
    return 0;
}
