#pragma once

// The engine reads files, so every fuzz input is handed to it as one.

#include <cstddef>
#include <cstdint>

// Writes the input to the fuzzer's scratch file and returns its path
// (windows-1250, as the engine takes paths).
const char *WriteFuzzInput(const uint8_t *data, size_t size);
// A second scratch path, for writing a document back out.
const char *FuzzOutputPath();
