#pragma once
// WAV fixtures: hand-made files with exactly the chunks a test needs, and
// files written by sox.

#include "tests/support/TempDir.h"

#include <cstdio>
#include <string>

struct PcmFormat {
    std::uint16_t channels = 1;
    std::uint32_t rate = 22050;
    std::uint16_t bits = 16;
    std::uint16_t tag = 1;
};

// The 16 bytes of a `fmt ` chunk body for `f`.
inline Bytes FmtBody(const PcmFormat& f)
{
    Bytes b;
    Put16(b, f.tag);
    Put16(b, f.channels);
    Put32(b, f.rate);
    Put32(b, f.rate * f.channels * (f.bits / 8));
    Put16(b, static_cast<std::uint16_t>(f.channels * (f.bits / 8)));
    Put16(b, f.bits);
    return b;
}

// A RIFF WAVE file made of the given chunks (already laid out).
inline Bytes RiffWave(const Bytes& chunks)
{
    Bytes body;
    PutTag(body, "WAVE");
    body.insert(body.end(), chunks.begin(), chunks.end());
    Bytes file;
    PutChunk(file, "RIFF", body);
    return file;
}

// The usual file: `fmt ` then `data`.
inline Bytes SimpleWave(const PcmFormat& f, const Bytes& data)
{
    Bytes chunks;
    PutChunk(chunks, "fmt ", FmtBody(f));
    PutChunk(chunks, "data", data);
    return RiffWave(chunks);
}

// The body of a LIST chunk of odd size (5 bytes), as other tools write them.
inline Bytes OddListBody()
{
    Bytes b;
    PutTag(b, "INFO");
    b.push_back('x');
    return b;
}

// The bytes 0, 1, 2, ... n-1 (mod 256): every offset recognisable.
inline Bytes Ramp(std::size_t n)
{
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return b;
}

// Writes a short sine with sox: 8-bit files unsigned, 16-bit signed. Fails
// the calling test when sox cannot run.
inline bool SoxSine(const std::string& path, std::uint32_t rate, int bits, int channels,
                    const char* seconds = "0.05")
{
    std::string cmd = "sox -q -n -r " + std::to_string(rate) + " -b " + std::to_string(bits) +
                      " -e " + (bits == 8 ? "unsigned-integer" : "signed-integer") + " -c " +
                      std::to_string(channels) + " '" + path + "' synth " + seconds +
                      " sine 440 2>&1";
    return std::system(cmd.c_str()) == 0;
}

// The `data` chunk body of a simple 44-byte-header file.
inline Bytes DataOf44(const Bytes& file)
{
    return Bytes(file.begin() + 44, file.begin() + 44 + Get32(file, 40));
}
