// What the fuzzing harnesses share: a quiet message sink, and the input written to a file of
// this process (the readers take paths, as the editor hands them).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "key/u_key.h"

namespace vorlin::fuzz {

// The KEY read from the file; none when the reader refuses the bytes as no KEY at all, which is
// an answer, not a fault. What it saves must always read back.
std::unique_ptr<TKEYFile> ReadKey(const std::string& path);

// Writes the input to a file named name in a folder of this process; returns its path.
std::string WriteInput(const uint8_t* data, size_t size, const std::string& name);
// The folder of this process, for files the harness writes itself.
std::string WorkFile(const std::string& name);
// Settings at their defaults, no project folder, no containers, messages to nowhere.
void Quiet();

} // namespace vorlin::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
