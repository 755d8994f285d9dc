#include "Manifest.h"

#include <set>

#include "PackageErrors.h"

namespace {

const std::string_view kHeader = "zuvo-package 1";
// Version parts beyond this many digits would not fit the comparison.
const size_t kMaxVersionDigits = 9;
// Sizes beyond this are no browser package; it also keeps the number exact.
const uint64_t kMaxFileSize = uint64_t(1) << 48;

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

bool IsDigits(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

bool IsLowerHex(std::string_view text) {
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            return false;
        }
    }
    return true;
}

std::vector<std::string_view> SplitVersion(std::string_view version) {
    std::vector<std::string_view> parts;
    while (true) {
        const size_t dot = version.find('.');
        const std::string_view part = version.substr(0, dot);
        if (!IsDigits(part) || part.size() > kMaxVersionDigits) {
            throw EPackageRefused("a version that is not dotted numbers: " + Quoted(version));
        }
        parts.push_back(part);
        if (dot == std::string_view::npos) {
            return parts;
        }
        version.remove_prefix(dot + 1);
    }
}

uint64_t ParseSize(std::string_view text) {
    if (!IsDigits(text) || text.size() > 15 || (text.size() > 1 && text[0] == '0')) {
        throw EPackageRefused("a file size that is not a plain decimal number: " + Quoted(text));
    }
    const uint64_t size = std::stoull(std::string(text));
    if (size > kMaxFileSize) {
        throw EPackageRefused("a file size beyond any package: " + Quoted(text));
    }
    return size;
}

// "file <sha256> <size> <path>"; the path is the rest of the line and may
// hold spaces.
TManifestFile ParseFileLine(std::string_view rest) {
    const size_t hashEnd = rest.find(' ');
    const size_t sizeEnd =
        hashEnd == std::string_view::npos ? hashEnd : rest.find(' ', hashEnd + 1);
    if (sizeEnd == std::string_view::npos) {
        throw EPackageRefused("a file line without hash, size and path");
    }
    TManifestFile file;
    file.sha256 = std::string(rest.substr(0, hashEnd));
    if (file.sha256.size() != 64 || !IsLowerHex(file.sha256)) {
        throw EPackageRefused("a file hash that is not 64 lower-case hex digits");
    }
    file.size = ParseSize(rest.substr(hashEnd + 1, sizeEnd - hashEnd - 1));
    file.path = std::string(rest.substr(sizeEnd + 1));
    CheckPackagePath(file.path);
    if (file.path == kManifestName || file.path == kManifestSignatureName) {
        throw EPackageRefused("the manifest lists itself or its signature");
    }
    return file;
}

// Fills one field that may be given only once.
void SetOnce(std::string& field, std::string_view value, const char* name) {
    if (!field.empty()) {
        throw EPackageRefused(std::string("a second ") + name + " line");
    }
    if (value.empty() || value.find(' ') != std::string_view::npos) {
        throw EPackageRefused(std::string("a ") + name + " that is empty or holds a space");
    }
    field = std::string(value);
}

class TManifestParser {
  public:
    void Line(std::string_view line) {
        if (line.find('\r') != std::string_view::npos) {
            throw EPackageRefused("a manifest with CR line ends");
        }
        const size_t space = line.find(' ');
        const std::string_view keyword = line.substr(0, space);
        const std::string_view rest =
            space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
        if (keyword == "product") {
            SetOnce(manifest_.product, rest, "product");
        } else if (keyword == "version") {
            SetOnce(manifest_.version, rest, "version");
            SplitVersion(rest);
        } else if (keyword == "file") {
            AddFile(ParseFileLine(rest));
        } else {
            throw EPackageRefused("an unknown manifest line: " + Quoted(line));
        }
    }

    TPackageManifest Finish() {
        if (manifest_.product.empty() || manifest_.version.empty()) {
            throw EPackageRefused("a manifest without its product or version line");
        }
        if (manifest_.files.empty()) {
            throw EPackageRefused("a manifest that lists no file");
        }
        return std::move(manifest_);
    }

  private:
    void AddFile(TManifestFile file) {
        if (!paths_.insert(file.path).second) {
            throw EPackageRefused("a file listed twice: " + Quoted(file.path));
        }
        manifest_.files.push_back(std::move(file));
    }

    TPackageManifest manifest_;
    std::set<std::string> paths_;
};

}  // namespace

const TManifestFile* TPackageManifest::Find(std::string_view path) const {
    for (const TManifestFile& file : files) {
        if (file.path == path) {
            return &file;
        }
    }
    return nullptr;
}

void CheckPackagePath(std::string_view path) {
    if (path.empty() || path.front() == '/') {
        throw EPackageRefused("an empty or absolute path: " + Quoted(path));
    }
    for (char c : path) {
        if (c == '\\') {
            throw EPackageRefused("a path with a backslash: " + Quoted(path));
        }
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            throw EPackageRefused("a path with a control character");
        }
    }
    std::string_view rest = path;
    while (true) {
        const size_t slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        if (part.empty() || part == "." || part == "..") {
            throw EPackageRefused("a path with an empty, \".\" or \"..\" part: " + Quoted(path));
        }
        if (slash == std::string_view::npos) {
            return;
        }
        rest.remove_prefix(slash + 1);
    }
}

TPackageManifest ParseManifest(std::string_view text) {
    if (text.empty() || text.back() != '\n') {
        throw EPackageRefused("a manifest that does not end with a line end");
    }
    const size_t headerEnd = text.find('\n');
    if (text.substr(0, headerEnd) != kHeader) {
        throw EPackageRefused("a manifest that does not start with \"zuvo-package 1\"");
    }
    text.remove_prefix(headerEnd + 1);
    TManifestParser parser;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        parser.Line(text.substr(0, end));
        text.remove_prefix(end + 1);
    }
    return parser.Finish();
}

std::string FormatManifest(const TPackageManifest& manifest) {
    std::string out = std::string(kHeader) + "\n";
    out += "product " + manifest.product + "\n";
    out += "version " + manifest.version + "\n";
    for (const TManifestFile& file : manifest.files) {
        out += "file " + file.sha256 + " " + std::to_string(file.size) + " " + file.path + "\n";
    }
    return out;
}

int CompareVersions(std::string_view a, std::string_view b) {
    const std::vector<std::string_view> left = SplitVersion(a);
    const std::vector<std::string_view> right = SplitVersion(b);
    for (size_t i = 0; i < std::max(left.size(), right.size()); ++i) {
        const unsigned long l = i < left.size() ? std::stoul(std::string(left[i])) : 0;
        const unsigned long r = i < right.size() ? std::stoul(std::string(right[i])) : 0;
        if (l != r) {
            return l < r ? -1 : 1;
        }
    }
    return 0;
}
