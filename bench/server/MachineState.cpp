#include "MachineState.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "FileDescriptor.h"
#include "platform/ScopeExit.h"

std::string LoadAverage1() {
    std::ifstream in("/proc/loadavg");
    std::string first;
    return in >> first ? first : "?";
}

std::string KernelSetting(const std::string& path) {
    std::ifstream in(path);
    std::string word;
    std::string all;
    while (in >> word) {
        all += (all.empty() ? "" : " ") + word;
    }
    return all.empty() ? "?" : all;
}

double PageCacheShare(const std::string& path) {
    const TFileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (!file.Valid() || ::fstat(file.Get(), &info) != 0 || info.st_size == 0) {
        return -1;
    }
    const std::size_t size = static_cast<std::size_t>(info.st_size);
    void* map = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, file.Get(), 0);
    if (map == MAP_FAILED) {
        return -1;
    }
    ScopeExit unmap([map, size] { ::munmap(map, size); });
    const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    std::vector<unsigned char> resident((size + page - 1) / page);
    if (::mincore(map, size, resident.data()) != 0) {
        return -1;
    }
    std::size_t in = 0;
    for (const unsigned char flag : resident) {
        in += flag & 1U;
    }
    return static_cast<double>(in) / static_cast<double>(resident.size());
}

long long TcpCounter(const std::string& group, const std::string& name) {
    const std::string file = group == "Tcp" ? "/proc/net/snmp" : "/proc/net/netstat";
    std::ifstream in(file);
    const std::string prefix = group + ":";
    std::string names;
    std::string values;
    // Each group is a line of names followed by a line of values.
    while (std::getline(in, names) && std::getline(in, values)) {
        if (names.rfind(prefix, 0) != 0) {
            continue;
        }
        std::istringstream n(names);
        std::istringstream v(values);
        std::string key;
        long long value = 0;
        while (n >> key && v >> value) {
            if (key == name) {
                return value;
            }
        }
    }
    return -1;
}
