// Small text helpers the tests share: ASCII case folding and hex dumps.
#pragma once

#include <cstddef>
#include <string>

namespace testsupport {

// `s` with A-Z turned into a-z; every other byte as it is.
std::string LowerAscii(std::string s);

// Lower-case hex of `n` bytes at `data`, two digits a byte.
std::string Hex(const void* data, size_t n);

}  // namespace testsupport
