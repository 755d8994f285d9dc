#include "ReferenceListing.h"

#include <fstream>
#include <sstream>

namespace {

std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return bytes;
}

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream in(line);
    for (std::string field; std::getline(in, field, '\t');) {
        fields.push_back(field);
    }
    return fields;
}

}  // namespace

std::map<std::string, std::vector<TReferenceEntry>> ReadReferenceListing() {
    std::map<std::string, std::vector<TReferenceEntry>> byArchive;
    std::ifstream in(std::string(ZUVO_TESTDATA_DIR) + "/zip/expected.tsv");
    std::string line;
    while (std::getline(in, line)) {
        const auto f = SplitTabs(line);
        if (line.empty() || line[0] == '#' || f.size() < 7) {
            continue;
        }
        byArchive[f[0]].push_back({f[1], std::stoi(f[2]), std::stoull(f[3]), std::stoull(f[4]),
                                   static_cast<uint32_t>(std::stoul(f[5], nullptr, 16)),
                                   FromHex(f[6])});
    }
    return byArchive;
}
