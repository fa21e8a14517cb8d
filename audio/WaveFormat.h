#pragma once
// The PCM format record, laid out byte for byte as in a WAV file's `fmt `
// chunk (the first 16 bytes) followed by the extra-size field.

#include <bit>
#include <cstdint>

static_assert(std::endian::native == std::endian::little,
              "format records and samples are kept in the file's little-endian order");

constexpr std::uint16_t WAVE_FORMAT_PCM = 1;
constexpr std::uint16_t WAVE_FORMAT_EXTENSIBLE = 0xFFFE;

#pragma pack(push, 1)
struct WAVEFORMATEX {
    std::uint16_t wFormatTag;
    std::uint16_t nChannels;
    std::uint32_t nSamplesPerSec;
    std::uint32_t nAvgBytesPerSec;
    std::uint16_t nBlockAlign;
    std::uint16_t wBitsPerSample;
    std::uint16_t cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

// Number of bytes of the format record that a WAV file's `fmt ` chunk holds.
constexpr std::uint32_t kPcmFormatBytes = 16;
