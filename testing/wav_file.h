// Test fixtures: sound files written at test time.
#pragma once

#include <cstdint>
#include <string>

namespace testing_support {

// A 16-bit mono PCM WAV holding `milliseconds` of a sine tone. True on success.
bool WriteToneWav(const std::string& path, uint32_t milliseconds, uint32_t sampleRate = 22050,
                  double frequency = 440.0);

// A WAV of a tone cut off inside its format chunk: no media layer can read it.
bool WriteTruncatedWav(const std::string& path);

// Arbitrary bytes under any name (e.g. plain text called "x.wav", or empty).
bool WriteBytes(const std::string& path, const std::string& bytes);

// A fresh, empty directory for one test's files (narrow path, trailing
// separator), under the system's temporary folder.
std::string MakeScratchDir(const std::string& tag);

// Removes the directory and everything below it; false if anything is left.
bool RemoveTree(const std::string& path);

}  // namespace testing_support
