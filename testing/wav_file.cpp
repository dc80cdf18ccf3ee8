#include "testing/wav_file.h"

#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <system_error>
#include <vector>

namespace testing_support {
namespace {

constexpr uint16_t kChannels = 1;
constexpr uint16_t kBitsPerSample = 16;
constexpr uint16_t kBlockAlign = kChannels * kBitsPerSample / 8;
constexpr uint32_t kFmtChunkBytes = 16;
constexpr uint16_t kPcmFormat = 1;
constexpr double kAmplitude = 8000.0;
constexpr std::size_t kTruncatedBytes = 30;  // inside the "fmt " chunk

void PutU16(std::string& out, uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

void PutU32(std::string& out, uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

std::string ToneWav(uint32_t milliseconds, uint32_t sampleRate, double frequency) {
    const uint32_t samples = static_cast<uint32_t>(uint64_t{sampleRate} * milliseconds / 1000);
    const uint32_t dataBytes = samples * kBlockAlign;
    std::string out;
    out.reserve(44 + dataBytes);
    out += "RIFF";
    PutU32(out, 36 + dataBytes);
    out += "WAVEfmt ";
    PutU32(out, kFmtChunkBytes);
    PutU16(out, kPcmFormat);
    PutU16(out, kChannels);
    PutU32(out, sampleRate);
    PutU32(out, sampleRate * kBlockAlign);
    PutU16(out, kBlockAlign);
    PutU16(out, kBitsPerSample);
    out += "data";
    PutU32(out, dataBytes);
    for (uint32_t i = 0; i < samples; ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        const double v = kAmplitude * std::sin(2.0 * std::numbers::pi * frequency * t);
        PutU16(out, static_cast<uint16_t>(static_cast<int16_t>(v)));
    }
    return out;
}

}  // namespace

bool WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) return false;
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file.flush());
}

bool WriteToneWav(const std::string& path, uint32_t milliseconds, uint32_t sampleRate,
                  double frequency) {
    return WriteBytes(path, ToneWav(milliseconds, sampleRate, frequency));
}

bool WriteTruncatedWav(const std::string& path) {
    return WriteBytes(path, ToneWav(200, 22050, 440.0).substr(0, kTruncatedBytes));
}

std::string MakeScratchDir(const std::string& tag) {
    static std::atomic<unsigned> serial{0};
    std::error_code error;
    const std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error) return {};
    for (;;) {
        const std::filesystem::path dir =
            base / ("tocklet-" + tag + "-" + std::to_string(serial.fetch_add(1)));
        if (std::filesystem::create_directory(dir, error)) {
            std::string text = dir.string();
            text.push_back(static_cast<char>(std::filesystem::path::preferred_separator));
            return text;
        }
        if (error) return {};
    }
}

bool RemoveTree(const std::string& path) {
    std::error_code error;
    std::filesystem::remove_all(path, error);
    return !error && !std::filesystem::exists(path, error);
}

}  // namespace testing_support
