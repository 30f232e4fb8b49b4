// The one scratch file a fuzzer rewrites for every input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace gozfuzz {

// Path of this process's scratch file, in a folder of its own.
const std::string& ScratchFile();

void WriteScratch(const uint8_t* data, size_t size);
std::string ReadScratch();

// Takes a NUL-terminated text of at most `limit` bytes off the front of the input.
std::string TakeText(const uint8_t*& data, size_t& size, size_t limit);

} // namespace gozfuzz
