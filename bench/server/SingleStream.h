#pragma once

#include <cstddef>
#include <string>

// The benchmark's old yardstick, kept for comparison only: one sender thread
// pushes the package `copies` times with sendfile into one loopback
// connection, one receiver reads and discards. Returns MB/s.
double SingleStreamMBps(const std::string& package, std::size_t size, int copies);
