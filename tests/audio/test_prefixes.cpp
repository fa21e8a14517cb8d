// Loading every prefix of valid files: a file cut short at any byte either
// loads (only once its whole audio data is there) or fails with an error and
// leaves the audio and the current format exactly as they were; no load
// asks for more memory than the file could hold.

#include "audio/CWaveData.h"
#include "audio/WaveFile.h"
#include "frame/CCurrentFormat.h"
#include "res/resource.h"
#include "tests/support/WaveFixtures.h"
#include "tests/support/WaveState.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {
// Caps every allocation for as long as it lives.
struct AllocLimit {
    explicit AllocLimit(std::size_t bytes) { GlobalSetAllocLimit(bytes); }
    ~AllocLimit() { GlobalSetAllocLimit(0); }
};

struct Fixture {
    std::string name;
    PcmFormat format;
    Bytes data;
    Bytes file;
    std::size_t dataEnd = 0; // offset just past the last byte of audio
};

// A RIFF WAVE file of the given chunks; "data" is the audio.
Fixture Make(const std::string& name, const PcmFormat& format,
             std::initializer_list<std::pair<const char*, Bytes>> chunks)
{
    Fixture fx{name, format, {}, {}, 0};
    Bytes laid;
    for (const auto& [id, body] : chunks) {
        PutChunk(laid, id, body);
        if (std::strcmp(id, "data") == 0) {
            fx.data = body;
            fx.dataEnd = 12 + laid.size() - (body.size() % 2);
        }
    }
    fx.file = RiffWave(laid);
    return fx;
}
} // namespace

TEST(Prefixes, EveryPrefixLoadsWholeOrFailsCleanlyWithinItsOwnSize)
{
    const Bytes list = OddListBody();
    Bytes fmt18 = FmtBody(PcmFormat{1, 8000, 16});
    Put16(fmt18, 0);
    const std::vector<Fixture> fixtures = {
        Make("8-bit mono, odd LIST before odd-sized data", PcmFormat{1, 11025, 8},
             {{"fmt ", FmtBody(PcmFormat{1, 11025, 8})}, {"LIST", list}, {"data", Ramp(3001)}}),
        Make("16-bit stereo, odd LIST before fmt", PcmFormat{2, 44100, 16},
             {{"LIST", list}, {"fmt ", FmtBody(PcmFormat{2, 44100, 16})}, {"data", Ramp(4000)}}),
        Make("8-bit stereo, odd LIST after the data", PcmFormat{2, 22050, 8},
             {{"fmt ", FmtBody(PcmFormat{2, 22050, 8})}, {"data", Ramp(2000)}, {"LIST", list}}),
        Make("16-bit mono, 18-byte fmt, odd LISTs around the data", PcmFormat{1, 8000, 16},
             {{"fmt ", fmt18}, {"LIST", list}, {"data", Ramp(2500)}, {"LIST", list}}),
    };

    CTempDir dir;
    CCurrentFormat frame;
    CWaveData wave;
    SReason error;
    // The state every load starts from: a file none of the fixtures is like.
    WriteAll(dir / "old.wav", SimpleWave(PcmFormat{2, 96000, 16}, Ramp(64)));
    auto loadOld = [&] { ASSERT_EQ(LoadWaveFile(dir / "old.wav", wave, frame, error), 1) << error; };
    loadOld();

    using Clock = std::chrono::steady_clock;
    Clock::duration slowest{};
    std::string slowestWhat;
    std::size_t loads = 0;
    const std::string path = dir / "cut.wav";
    for (const Fixture& fx : fixtures) {
        SCOPED_TRACE(fx.name);
        WriteAll(path, fx.file);
        // The whole file's audio alone exceeds a limit below its size: the
        // limit does reach the loader's allocation.
        {
            const CWaveState before(wave, frame);
            AllocLimit limit(fx.data.size() - 1);
            ASSERT_EQ(LoadWaveFile(path, wave, frame, error), 0);
            ASSERT_TRUE(CWaveState(wave, frame) == before);
        }
        for (std::size_t n = fx.file.size() + 1; n-- > 0;) {
            ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(n)), 0);
            const CWaveState before(wave, frame);
            const bool whole = n >= fx.dataEnd;

            // Under the limit of its own size; the same load without a
            // limit must end the same way, with the same reason.
            error = SReason();
            int loaded;
            {
                AllocLimit limit(n + 64);
                const auto t0 = Clock::now();
                loaded = LoadWaveFile(path, wave, frame, error);
                const auto took = Clock::now() - t0;
                if (took > slowest) {
                    slowest = took;
                    slowestWhat = fx.name + ", " + std::to_string(n) + " bytes";
                }
                ++loads;
            }
            const SReason limitedError = error;
            ASSERT_EQ(loaded, whole ? 1 : 0) << n << " of " << fx.file.size() << ": " << error;
            if (!whole) {
                ASSERT_FALSE(error.IsNone()) << n;
                ASSERT_TRUE(CWaveState(wave, frame) == before) << n << ": " << error;
            } else {
                ASSERT_EQ(wave.m_pFormat->nChannels, fx.format.channels) << n;
                ASSERT_EQ(wave.m_pFormat->wBitsPerSample, fx.format.bits) << n;
                ASSERT_EQ(frame.m_dwSamplesPerSec, fx.format.rate) << n;
                ASSERT_EQ(frame.GetText(IDC_DATA_BYTES), std::to_string(fx.data.size())) << n;
                ASSERT_TRUE(CWaveState(wave, frame).content == fx.data) << n;
                loadOld();
            }

            error = SReason();
            ASSERT_EQ(LoadWaveFile(path, wave, frame, error), loaded) << n;
            ASSERT_EQ(error, limitedError) << n;
            if (loaded)
                loadOld();
        }
    }
    const double ms = std::chrono::duration<double, std::milli>(slowest).count();
    std::printf("%zu prefix loads; slowest %.3f ms (%s)\n", loads, ms, slowestWhat.c_str());
    RecordProperty("slowest_prefix_load_us", static_cast<int>(ms * 1000));
}
