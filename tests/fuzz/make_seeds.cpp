// Writes the hand-made seed files of the fuzz targets:
//   make_seeds WAVE_DIR PROFILE_DIR
// WAVE_DIR gets small WAV files (8/16 bits, mono/stereo, LIST chunks,
// extensible and longer fmt chunks, truncated and refused ones), which seed
// both the loader and the effect engine; PROFILE_DIR gets settings files.
// scripts/fuzz adds files written by sox beside them.

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void Tag(Bytes& b, const char* t)
{
    b.insert(b.end(), t, t + 4);
}
void U16(Bytes& b, std::uint32_t v)
{
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void U32(Bytes& b, std::uint32_t v)
{
    U16(b, v & 0xFFFF);
    U16(b, v >> 16);
}
// A chunk with the body's true size (or `size` when given), padded to even.
void Chunk(Bytes& b, const char* id, const Bytes& body, std::int64_t size = -1, bool pad = true)
{
    Tag(b, id);
    U32(b, size < 0 ? static_cast<std::uint32_t>(body.size()) : static_cast<std::uint32_t>(size));
    b.insert(b.end(), body.begin(), body.end());
    if (pad && body.size() % 2)
        b.push_back(0);
}

Bytes Fmt(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits)
{
    Bytes b;
    U16(b, tag);
    U16(b, channels);
    U32(b, rate);
    U32(b, rate * channels * (bits / 8));
    U16(b, channels * (bits / 8));
    U16(b, bits);
    return b;
}

Bytes Extensible(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits, std::uint8_t subFormat)
{
    Bytes b = Fmt(0xFFFE, channels, rate, bits);
    U16(b, 22);
    U16(b, bits);
    U32(b, channels == 2 ? 3 : 4);
    const std::uint8_t guid[16] = {subFormat, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    b.insert(b.end(), guid, guid + 16);
    return b;
}

Bytes Riff(const Bytes& chunks, std::int64_t size = -1)
{
    Bytes body;
    Tag(body, "WAVE");
    body.insert(body.end(), chunks.begin(), chunks.end());
    Bytes file;
    Chunk(file, "RIFF", body, size);
    return file;
}

// Samples that change from frame to frame, so that misplaced bytes show.
Bytes Samples(std::size_t n)
{
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<std::uint8_t>(i * 37 + 11);
    return b;
}

Bytes InfoList()
{
    Bytes b;
    Tag(b, "INFO");
    Tag(b, "ISFT");
    U32(b, 5);
    b.insert(b.end(), {'t', 'e', 's', 't', 0});
    return b;
}

Bytes Simple(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits, std::size_t bytes)
{
    Bytes c;
    Chunk(c, "fmt ", Fmt(1, channels, rate, bits));
    Chunk(c, "data", Samples(bytes));
    return Riff(c);
}

int failures = 0;

void Write(const std::string& dir, const std::string& name, const Bytes& b)
{
    std::ofstream out(dir + "/" + name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    if (!out) {
        std::fprintf(stderr, "cannot write %s/%s\n", dir.c_str(), name.c_str());
        ++failures;
    }
}

void Write(const std::string& dir, const std::string& name, const std::string& text)
{
    Write(dir, name, Bytes(text.begin(), text.end()));
}

void WaveSeeds(const std::string& dir)
{
    Write(dir, "mono8.wav", Simple(1, 8000, 8, 40));
    Write(dir, "stereo8.wav", Simple(2, 11025, 8, 40));
    Write(dir, "mono16.wav", Simple(1, 22050, 16, 40));
    Write(dir, "stereo16.wav", Simple(2, 44100, 16, 64));
    Write(dir, "odd-data.wav", Simple(1, 8000, 16, 33));

    Bytes c;
    Chunk(c, "LIST", InfoList());
    Chunk(c, "fmt ", Fmt(1, 2, 22050, 16));
    Chunk(c, "data", Samples(32));
    Write(dir, "list-before-fmt.wav", Riff(c));

    c.clear();
    Chunk(c, "fmt ", Fmt(1, 1, 8000, 8));
    Chunk(c, "LIST", Bytes{'I', 'N', 'F', 'O', 'x'});
    Chunk(c, "data", Samples(24));
    Chunk(c, "LIST", InfoList());
    Write(dir, "odd-list-around-data.wav", Riff(c));

    c.clear();
    Chunk(c, "fmt ", Fmt(1, 1, 8000, 8));
    Chunk(c, "LIST", Bytes{'I', 'N', 'F', 'O', 'x'}, -1, false);
    Chunk(c, "data", Samples(24));
    Write(dir, "odd-list-unpadded.wav", Riff(c));

    c.clear();
    Bytes fmt18 = Fmt(1, 2, 48000, 16);
    U16(fmt18, 0);
    Chunk(c, "fmt ", fmt18);
    Chunk(c, "data", Samples(48));
    Write(dir, "fmt18.wav", Riff(c));

    c.clear();
    Chunk(c, "fmt ", Extensible(2, 44100, 16, 1));
    Chunk(c, "data", Samples(40));
    Write(dir, "extensible-pcm.wav", Riff(c));

    c.clear();
    Chunk(c, "fmt ", Extensible(1, 44100, 16, 3));
    Chunk(c, "data", Samples(40));
    Write(dir, "extensible-float.wav", Riff(c));

    // Chunks the probe of the effect engine must read past.
    c.clear();
    Chunk(c, "JUNK", Bytes(30, 'j'));
    Chunk(c, "JUNK", Bytes(48, 'j'));
    Chunk(c, "fmt ", Fmt(1, 1, 8000, 16));
    Chunk(c, "data", Samples(20));
    Write(dir, "junk-before-fmt.wav", Riff(c));

    // A data chunk claiming far more frames than the file holds: runs go on
    // to the end of the claim (silence after the file).
    c.clear();
    Chunk(c, "fmt ", Fmt(1, 2, 8000, 16));
    Chunk(c, "data", Samples(64), 4 * 70000, false);
    Write(dir, "data-claims-more.wav", Riff(c, 36 + 64));

    // The RIFF body said to be larger, and smaller, than the file.
    Write(dir, "riff-too-large.wav", Riff([] {
              Bytes k;
              Chunk(k, "fmt ", Fmt(1, 1, 11025, 8));
              Chunk(k, "data", Samples(20));
              return k;
          }(), 0xFFFFFFF0));
    Write(dir, "riff-too-small.wav", Riff([] {
              Bytes k;
              Chunk(k, "fmt ", Fmt(1, 1, 11025, 8));
              Chunk(k, "data", Samples(20));
              return k;
          }(), 20));

    // Something before the RIFF chunk.
    Bytes lead;
    Chunk(lead, "JUNK", Bytes(6, 0));
    Bytes plain = Simple(1, 8000, 8, 16);
    lead.insert(lead.end(), plain.begin(), plain.end());
    Write(dir, "chunk-before-riff.wav", lead);

    // Cut short: inside the header, inside fmt, inside data.
    Bytes full = Simple(2, 22050, 16, 64);
    for (std::size_t n : {8u, 12u, 30u, 43u, 60u}) {
        Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
        Write(dir, "truncated-" + std::to_string(n) + ".wav", cut);
    }

    // Shapes converted to 16 bits: each tag and size, plain and extensible,
    // mono and stereo, one with a partial last frame.
    struct SShape {
        const char* name;
        std::uint16_t tag, bits;
    };
    for (const SShape& shape : {SShape{"pcm24", 1, 24}, SShape{"pcm32", 1, 32}, SShape{"float32", 3, 32},
                                SShape{"float64", 3, 64}, SShape{"alaw", 6, 8}, SShape{"mulaw", 7, 8}}) {
        for (std::uint16_t channels : {1, 2}) {
            const std::size_t bytes = std::size_t{channels} * (shape.bits / 8) * 12;
            const std::string stem = std::string(shape.name) + (channels == 2 ? "-stereo" : "-mono");
            c.clear();
            Chunk(c, "fmt ", Fmt(shape.tag, channels, 8000, shape.bits));
            Chunk(c, "data", Samples(bytes));
            Write(dir, stem + ".wav", Riff(c));
            c.clear();
            Chunk(c, "fmt ", Extensible(channels, 48000, shape.bits, static_cast<std::uint8_t>(shape.tag)));
            Chunk(c, "data", Samples(bytes + channels)); // a partial frame at the end
            Write(dir, stem + "-extensible.wav", Riff(c));
        }
    }
    // Floats at the edges: ties, the ends, beyond them, NaN and infinities.
    c.clear();
    Chunk(c, "fmt ", Fmt(3, 1, 8000, 32));
    Bytes floats;
    for (std::uint32_t bits : {0x3F800000u, 0xBF800000u, 0x37800000u, 0xB7800000u, 0x40000000u, 0x7FC00000u,
                               0x7F800000u, 0xFF800000u, 0x80000000u})
        U32(floats, bits);
    Chunk(c, "data", floats);
    Write(dir, "float32-edges.wav", Riff(c));

    // Refused shapes.
    Write(dir, "rate0.wav", Simple(1, 0, 16, 16));
    Write(dir, "three-channels.wav", Simple(3, 8000, 16, 36));
    Write(dir, "three-channels-24.wav", Simple(3, 8000, 24, 36));
    Write(dir, "bits12.wav", Simple(1, 8000, 12, 36));
    c.clear();
    Bytes badAlign = Fmt(1, 2, 8000, 24);
    badAlign[12] = 8;
    Chunk(c, "fmt ", badAlign);
    Chunk(c, "data", Samples(48));
    Write(dir, "pcm24-block-align.wav", Riff(c));
    c.clear();
    Chunk(c, "fmt ", Fmt(3, 1, 8000, 16));
    Chunk(c, "data", Samples(16));
    Write(dir, "float16.wav", Riff(c));
    c.clear();
    Chunk(c, "fmt ", Fmt(1, 2, 8000, 32));
    Chunk(c, "data", Samples(64), 6400, false);
    Write(dir, "pcm32-truncated.wav", Riff(c, 36 + 64));
    c.clear();
    Chunk(c, "data", Samples(16));
    Chunk(c, "fmt ", Fmt(1, 1, 8000, 8));
    Write(dir, "data-before-fmt.wav", Riff(c));
    c.clear();
    Chunk(c, "fmt ", Fmt(1, 1, 8000, 8));
    Chunk(c, "data", Bytes{});
    Write(dir, "empty-data.wav", Riff(c));
}

void ProfileSeeds(const std::string& dir)
{
    Write(dir, "editor.ini", "[WAV Config]\nWavInDevice=0\nWavOutDevice=-1\n");
    Write(dir, "crlf.ini", "; settings\r\n[WAV Config]\r\nWavInDevice = 2\r\n\r\n[Settings]\r\nKey=\"  spaced  \"\r\n");
    Write(dir, "duplicates.ini",
          "# two sections of one name\n[wav config]\nWavOutDevice=+12abc\n\n[Other]\nx=1\n[WAV CONFIG]\n"
          "WavOutDevice=3\nwavindevice=-2147483649\n");
    Write(dir, "damaged.ini", "loose=1\n[WAV Config\nWavInDevice\t=\t  99999999999\n[]\n=empty\n[Settings]\nKey=\"\"\"\"");
    Write(dir, "no-newline.ini", "[Settings]\nKey=last");
    Write(dir, "empty.ini", "");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s WAVE_DIR PROFILE_DIR\n", argv[0]);
        return 2;
    }
    WaveSeeds(argv[1]);
    ProfileSeeds(argv[2]);
    return failures ? 1 : 0;
}
