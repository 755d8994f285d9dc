#pragma once

#include <string>

// What the machine was like while a figure was taken: the benchmark prints
// these beside its figures, since other work on the cores and the kernel's
// socket buffer limits move every throughput figure.

// The 1-minute load average, e.g. "0.42", or "?" when unknown.
std::string LoadAverage1();
// A /proc/sys value with its blanks squeezed, or "?".
std::string KernelSetting(const std::string& path);
// The share (0 to 1) of the file's pages in the page cache, -1 when unknown.
double PageCacheShare(const std::string& path);
// A counter of the system's TCP statistics in /proc/net/snmp ("Tcp" lines)
// or /proc/net/netstat ("TcpExt" lines), e.g. ("Tcp", "RetransSegs"); -1
// when unknown. Counts every connection of the machine, not only ours.
long long TcpCounter(const std::string& group, const std::string& name);
