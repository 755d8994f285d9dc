#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

// Decodes standard-alphabet base64 with '=' padding, as minisign writes
// its key and signature lines. Strict: the length must be a multiple of 4,
// no other characters, padding only at the end, unused bits zero; raises
// EPackageRefused otherwise.
std::vector<uint8_t> DecodeBase64(std::string_view text);

// The encoding of DecodeBase64, with padding.
std::string EncodeBase64(const std::vector<uint8_t>& bytes);
