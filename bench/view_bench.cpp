// Times the waveform view on a long file: the first full paint, a repeated
// full paint and a scroll step at 1280x800, next to one pass that sums the
// data (the floor for anything that reads all of it).
//   view_bench [FILE.wav]   (without a file: one hour of 44.1 kHz 16-bit
//                            stereo is written to a temporary file first)
// Goals: repeated full paint under 16 ms, scroll step under 2 ms, first
// paint within 2x of the summing pass.

#include "audio/WaveFile.h"
#include "doc/COndrelDoc.h"
#include "frame/CCurrentFormat.h"
#include "view/CWaveViewCore.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {
double Ms(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// One hour of a stereo tone whose loudness changes, written in the editor's
// own layout.
bool WriteHour(const std::string& path)
{
    CCurrentFormat frame;
    COndrelDoc doc(frame);
    const std::uint32_t frames = 44100u * 3600u;
    if (!doc.m_wave.Allocate(frames * 4))
        return false;
    auto* p = reinterpret_cast<std::int16_t*>(doc.LockData());
    for (std::uint32_t i = 0; i < frames; ++i) {
        const double env = 0.5 + 0.5 * std::sin(i * 1e-5);
        p[2 * i] = static_cast<std::int16_t>(20000 * env * std::sin(i * 0.0627));
        p[2 * i + 1] = static_cast<std::int16_t>(15000 * env * std::sin(i * 0.0311));
    }
    doc.UnlockData();
    doc.m_wave.m_dwDataSize = frames * 4;
    *doc.m_wave.m_pFormat = WAVEFORMATEX{1, 2, 44100, 176400, 4, 16, 0};
    return doc.SaveWaveFile(path, false) == 1;
}
} // namespace

int main(int argc, char** argv)
{
    std::string path;
    bool temporary = false;
    if (argc > 1) {
        path = argv[1];
    } else {
        path = "/tmp/ondrel-view-bench-" + std::to_string(getpid()) + ".wav";
        temporary = true;
        std::printf("writing one hour of 44.1 kHz 16-bit stereo to %s ...\n", path.c_str());
        if (!WriteHour(path)) {
            std::fprintf(stderr, "view_bench: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    CCurrentFormat frame;
    COndrelDoc doc(frame);
    auto t0 = std::chrono::steady_clock::now();
    if (!doc.LoadWaveFile(path)) {
        std::fprintf(stderr, "view_bench: %s\n", ReasonTextEnglish(doc.GetError()).c_str());
        return 1;
    }
    auto t1 = std::chrono::steady_clock::now();
    if (temporary)
        unlink(path.c_str());
    std::printf("loaded %u bytes in %.1f ms\n", doc.GetDataSize(), Ms(t0, t1));

    // The floor: one pass over the data, summing the 16-bit samples.
    const std::uint32_t bytes = doc.GetDataSize();
    auto s0 = std::chrono::steady_clock::now();
    const auto* p = reinterpret_cast<const std::int16_t*>(doc.LockData());
    long long sum = 0;
    for (std::uint32_t i = 0; i < bytes / 2; ++i)
        sum += p[i];
    doc.UnlockData();
    auto s1 = std::chrono::steady_clock::now();
    const double floorMs = Ms(s0, s1);

    CWaveViewCore view(doc);
    const int W = 1280, H = 800;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(W) * H);
    CDrawSurface dc(pixels.data(), W, H, W);

    auto f0 = std::chrono::steady_clock::now();
    view.OnDraw(dc);
    auto f1 = std::chrono::steady_clock::now();
    const double firstMs = Ms(f0, f1);

    const int repeats = 50;
    auto r0 = std::chrono::steady_clock::now();
    for (int i = 0; i < repeats; ++i)
        view.OnDraw(dc);
    auto r1 = std::chrono::steady_clock::now();
    const double repeatMs = Ms(r0, r1) / repeats;

    const int steps = 500;
    int pos = 0;
    auto c0 = std::chrono::steady_clock::now();
    for (int i = 0; i < steps; ++i)
        view.OnHScroll(i % 2 ? SB_PAGERIGHT : SB_LINERIGHT, 0, 1000, dc, pos);
    auto c1 = std::chrono::steady_clock::now();
    const double scrollMs = Ms(c0, c1) / steps;

    std::printf("summing pass (floor)  %8.2f ms   (checksum %lld)\n", floorMs, sum);
    std::printf("first full paint      %8.2f ms   %.2fx the floor   goal <= 2x: %s\n", firstMs,
                firstMs / floorMs, firstMs <= 2 * floorMs ? "met" : "NOT met");
    std::printf("repeated full paint   %8.2f ms   goal < 16 ms: %s\n", repeatMs, repeatMs < 16 ? "met" : "NOT met");
    std::printf("scroll step           %8.3f ms   goal < 2 ms: %s\n", scrollMs, scrollMs < 2 ? "met" : "NOT met");
    return 0;
}
