// The Qt Multimedia devices against a real sound server: a private
// PulseAudio whose default output is a null sink and whose default input
// ("LoopIn") records what that sink plays, so a tone played out comes back
// in and can be measured. The fixture starts the server (pulse-up.sh).
//
// Run with --no-server-child the program is the child of noServer(): it
// checks that nothing opens when the server cannot be reached, in a process
// of its own because Qt keeps its connection to the server for the life of
// the process.

#include "audio/WaveFormat.h"
#include "device/CQtWaveAudio.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <vector>

namespace {

WAVEFORMATEX Format(std::uint32_t rate, int channels, int bits)
{
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = static_cast<std::uint16_t>(channels);
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = static_cast<std::uint16_t>(bits);
    f.nBlockAlign = static_cast<std::uint16_t>(channels * bits / 8);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    return f;
}

std::uint32_t Bytes(const WAVEFORMATEX& f, double seconds)
{
    return static_cast<std::uint32_t>(seconds * f.nSamplesPerSec) * f.nBlockAlign;
}

// Channel c of a stereo tone is a sine of hz[c] at half of full scale.
std::vector<std::uint8_t> Tone(const WAVEFORMATEX& f, double seconds, const double hz[2])
{
    std::vector<std::uint8_t> data(Bytes(f, seconds));
    const std::size_t frames = data.size() / f.nBlockAlign;
    std::uint8_t* p = data.data();
    for (std::size_t i = 0; i < frames; ++i)
        for (int c = 0; c < f.nChannels; ++c) {
            const double v = 0.5 * std::sin(2 * std::numbers::pi * hz[c] * static_cast<double>(i)
                                            / f.nSamplesPerSec);
            if (f.wBitsPerSample == 8) {
                *p++ = static_cast<std::uint8_t>(std::lround(128 + 127 * v));
            } else {
                const auto s = static_cast<std::int16_t>(std::lround(32767 * v));
                std::memcpy(p, &s, 2);
                p += 2;
            }
        }
    return data;
}

// One channel of recorded bytes, as fractions of full scale.
std::vector<double> Channel(const std::uint8_t* data, std::uint32_t bytes, const WAVEFORMATEX& f,
                            int c)
{
    std::vector<double> x;
    const unsigned sampleBytes = f.wBitsPerSample / 8u;
    for (std::uint32_t at = 0; at + f.nBlockAlign <= bytes; at += f.nBlockAlign) {
        const std::uint8_t* sample = data + at + static_cast<unsigned>(c) * sampleBytes;
        if (sampleBytes == 1) {
            x.push_back((sample[0] - 128) / 128.0);
        } else {
            std::int16_t s;
            std::memcpy(&s, sample, 2);
            x.push_back(s / 32768.0);
        }
    }
    return x;
}

struct STone {
    double rms = 0;     // over the span where the tone sounds, of full scale
    double hz = 0;      // from the rising zero crossings
    double seconds = 0; // length of that span
};

STone Measure(const std::vector<double>& x, std::uint32_t rate)
{
    STone t;
    double peak = 0;
    for (double v : x)
        peak = std::max(peak, std::abs(v));
    if (peak < 0.01)
        return t;
    const double gate = 0.3 * peak;
    auto loud = [gate](double v) { return std::abs(v) > gate; };
    const auto first = static_cast<std::size_t>(std::find_if(x.begin(), x.end(), loud) - x.begin());
    const auto last = x.size() - 1
        - static_cast<std::size_t>(std::find_if(x.rbegin(), x.rend(), loud) - x.rbegin());
    double sum = 0;
    for (std::size_t i = first; i <= last; ++i)
        sum += x[i] * x[i];
    t.rms = std::sqrt(sum / static_cast<double>(last - first + 1));
    t.seconds = static_cast<double>(last - first) / rate;

    // Rising crossings with hysteresis, so that quantisation noise near
    // zero is not counted.
    const double h = 0.2 * peak;
    bool armed = false;
    std::vector<std::size_t> rises;
    for (std::size_t i = first; i <= last; ++i) {
        if (x[i] < -h)
            armed = true;
        else if (armed && x[i] > h) {
            rises.push_back(i);
            armed = false;
        }
    }
    if (rises.size() > 2)
        t.hz = static_cast<double>(rises.size() - 1) * rate
            / static_cast<double>(rises.back() - rises.front());
    return t;
}

// Records every notice, and whether each came on the user-interface thread
// and outside any call into a device.
class CNotifyLog : public IWaveNotify {
public:
    void OnWomDone(WAVEHDR* pHdr) override { Note(m_done, pHdr); }
    void OnWimData(WAVEHDR* pHdr) override { Note(m_data, pHdr); }

    std::vector<WAVEHDR*> m_done;
    std::vector<WAVEHDR*> m_data;
    bool m_inCall = false;  // set by the test around its device calls
    bool m_misplaced = false; // a notice came off the UI thread or inside a call

private:
    void Note(std::vector<WAVEHDR*>& list, WAVEHDR* pHdr)
    {
        if (m_inCall || QThread::currentThread() != QCoreApplication::instance()->thread())
            m_misplaced = true;
        list.push_back(pHdr);
    }
};

// Marks the log while a device is being called.
template <class F>
MMRESULT Call(CNotifyLog& log, F f)
{
    log.m_inCall = true;
    const MMRESULT r = f();
    log.m_inCall = false;
    return r;
}

constexpr int kTimeout = 5000; // ms; playback ends up to ~0.8 s after its data

// The child's checks with the server unreachable; 0 when all pass.
int RunNoServerChild()
{
    CQtWaveAudio audio;
    CNotifyLog log;
    const WAVEFORMATEX f = Format(44100, 1, 16);
    int failures = 0;
    auto expectFail = [&failures](const char* what, MMRESULT r) {
        std::printf("%s: %u\n", what, r);
        if (r == MMSYSERR_NOERROR)
            ++failures;
    };
    std::unique_ptr<IWaveOut> out;
    std::unique_ptr<IWaveIn> in;
    expectFail("output mapper", audio.OpenOutput(WAVE_MAPPER, f, &log, out));
    expectFail("output 0", audio.OpenOutput(0, f, &log, out));
    expectFail("input mapper", audio.OpenInput(WAVE_MAPPER, f, &log, in));
    expectFail("input 0", audio.OpenInput(0, f, &log, in));
    if (out || in)
        ++failures;
    std::printf("outputs %zu inputs %zu\n", audio.OutputDevices().size(),
                audio.InputDevices().size());
    QTest::qWait(500);
    if (!log.m_done.empty() || !log.m_data.empty())
        ++failures;
    std::printf("failures %d\n", failures);
    return failures;
}

} // namespace

class TestLoopback : public QObject {
    Q_OBJECT

private slots:
    void deviceNames();
    void openErrors_data();
    void openErrors();
    void toneComesBack_data();
    void toneComesBack();
    void playsToTheEndOnce();
    void resetEndsPlaybackAtOnce();
    void destroyedDeviceNotifiesNothing();
    void fullBufferEndsRecording_data();
    void fullBufferEndsRecording();
    void resetStopsRecording();
    void noServer();

private:
    CQtWaveAudio m_audio;
};

void TestLoopback::deviceNames()
{
    const std::vector<std::string> outs = m_audio.OutputDevices();
    const std::vector<std::string> ins = m_audio.InputDevices();
    const auto nullOut = std::find(outs.begin(), outs.end(), "Null Output");
    const auto loopIn = std::find(ins.begin(), ins.end(), "LoopIn");
    QVERIFY(nullOut != outs.end());
    QVERIFY(loopIn != ins.end());

    // A name's position is its identifier.
    CNotifyLog log;
    std::unique_ptr<IWaveOut> out;
    std::unique_ptr<IWaveIn> in;
    const WAVEFORMATEX f = Format(44100, 2, 16);
    QCOMPARE(m_audio.OpenOutput(static_cast<int>(nullOut - outs.begin()), f, &log, out),
             MMSYSERR_NOERROR);
    QCOMPARE(m_audio.OpenInput(static_cast<int>(loopIn - ins.begin()), f, &log, in),
             MMSYSERR_NOERROR);
    QVERIFY(out && in);
}

void TestLoopback::openErrors_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("tag");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("bits");
    QTest::addColumn<unsigned>("rate");
    QTest::addColumn<int>("blockAlignDelta");
    QTest::addColumn<unsigned>("expected");

    QTest::newRow("id past the list") << 1000 << 1 << 1 << 16 << 44100u << 0 << MMSYSERR_BADDEVICEID;
    QTest::newRow("id below the mapper") << -2 << 1 << 1 << 16 << 44100u << 0 << MMSYSERR_BADDEVICEID;
    QTest::newRow("24-bit") << WAVE_MAPPER << 1 << 2 << 24 << 44100u << 0 << WAVERR_BADFORMAT;
    QTest::newRow("32-bit") << WAVE_MAPPER << 1 << 1 << 32 << 44100u << 0 << WAVERR_BADFORMAT;
    QTest::newRow("3 channels") << WAVE_MAPPER << 1 << 3 << 16 << 44100u << 0 << WAVERR_BADFORMAT;
    QTest::newRow("no channels") << WAVE_MAPPER << 1 << 0 << 16 << 44100u << 0 << WAVERR_BADFORMAT;
    QTest::newRow("rate 0") << WAVE_MAPPER << 1 << 1 << 16 << 0u << 0 << WAVERR_BADFORMAT;
    QTest::newRow("rate past int") << WAVE_MAPPER << 1 << 1 << 16 << 0x80000000u << 0 << WAVERR_BADFORMAT;
    QTest::newRow("extensible") << WAVE_MAPPER << 0xFFFE << 2 << 16 << 44100u << 0 << WAVERR_BADFORMAT;
    QTest::newRow("block align off") << WAVE_MAPPER << 1 << 2 << 16 << 44100u << 1 << WAVERR_BADFORMAT;
}

void TestLoopback::openErrors()
{
    QFETCH(int, id);
    QFETCH(int, tag);
    QFETCH(int, channels);
    QFETCH(int, bits);
    QFETCH(unsigned, rate);
    QFETCH(int, blockAlignDelta);
    QFETCH(unsigned, expected);

    WAVEFORMATEX f = Format(rate, channels, bits);
    f.wFormatTag = static_cast<std::uint16_t>(tag);
    f.nBlockAlign = static_cast<std::uint16_t>(f.nBlockAlign + blockAlignDelta);
    CNotifyLog log;
    std::unique_ptr<IWaveOut> out;
    std::unique_ptr<IWaveIn> in;
    QCOMPARE(m_audio.OpenOutput(id, f, &log, out), expected);
    QCOMPARE(m_audio.OpenInput(id, f, &log, in), expected);
    QVERIFY(!out && !in);
}

void TestLoopback::toneComesBack_data()
{
    QTest::addColumn<unsigned>("rate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("bits");

    QTest::newRow("16-bit mono 44100") << 44100u << 1 << 16;
    QTest::newRow("16-bit stereo 44100") << 44100u << 2 << 16;
    QTest::newRow("8-bit mono 11025") << 11025u << 1 << 8;
    QTest::newRow("8-bit stereo 11025") << 11025u << 2 << 8;
    QTest::newRow("16-bit stereo 11025") << 11025u << 2 << 16;
}

// One second of tone played out comes back in at its level, pitch and
// length; stereo keeps its channels apart (440 Hz left, 660 Hz right).
void TestLoopback::toneComesBack()
{
    QFETCH(unsigned, rate);
    QFETCH(int, channels);
    QFETCH(int, bits);
    const WAVEFORMATEX f = Format(rate, channels, bits);
    const double hz[2] = {440, 660};

    CNotifyLog log;
    std::unique_ptr<IWaveOut> out;
    std::unique_ptr<IWaveIn> in;
    QCOMPARE(m_audio.OpenInput(WAVE_MAPPER, f, &log, in), MMSYSERR_NOERROR);
    QCOMPARE(m_audio.OpenOutput(WAVE_MAPPER, f, &log, out), MMSYSERR_NOERROR);

    // Room for the tone, the latency and the wait for the end of playback.
    std::vector<std::uint8_t> recorded(Bytes(f, 3.0));
    WAVEHDR inHdr{recorded.data(), static_cast<std::uint32_t>(recorded.size())};
    QCOMPARE(Call(log, [&] { return in->AddBuffer(&inHdr); }), MMSYSERR_NOERROR);
    QCOMPARE(Call(log, [&] { return in->Start(); }), MMSYSERR_NOERROR);

    std::vector<std::uint8_t> tone = Tone(f, 1.0, hz);
    WAVEHDR outHdr{tone.data(), static_cast<std::uint32_t>(tone.size())};
    QCOMPARE(Call(log, [&] { return out->Write(&outHdr); }), MMSYSERR_NOERROR);
    QTRY_COMPARE_WITH_TIMEOUT(log.m_done.size(), std::size_t{1}, kTimeout);
    QCOMPARE(log.m_done[0], &outHdr);

    QCOMPARE(Call(log, [&] { return in->Reset(); }), MMSYSERR_NOERROR);
    QTRY_COMPARE_WITH_TIMEOUT(log.m_data.size(), std::size_t{1}, kTimeout);
    QCOMPARE(log.m_data[0], &inHdr);
    QVERIFY(!log.m_misplaced);

    const std::uint32_t got = inHdr.dwBytesRecorded;
    QVERIFY(got > 0 && got < inHdr.dwBufferLength);
    QCOMPARE(got % f.nBlockAlign, 0u);
    std::uint32_t frames = 0;
    QCOMPARE(in->GetPosition(frames), MMSYSERR_NOERROR);
    QCOMPARE(frames, got / f.nBlockAlign);

    for (int c = 0; c < channels; ++c) {
        const STone t = Measure(Channel(recorded.data(), got, f, c), rate);
        qInfo("channel %d: rms %.3f, %.1f Hz, %.3f s", c, t.rms, t.hz, t.seconds);
        QVERIFY2(t.rms > 0.2 && t.rms < 0.5, "the level is not the tone's");
        QVERIFY2(std::abs(t.hz - hz[c]) < 0.03 * hz[c], "the pitch is not the tone's");
        QVERIFY2(t.seconds > 0.9 && t.seconds < 1.2, "the tone is not a second long");
    }
}

// Each buffer written ends exactly once, after its sound, and the device
// takes the next one (a fresh sink each time) as soon as it has ended.
void TestLoopback::playsToTheEndOnce()
{
    const WAVEFORMATEX f = Format(22050, 1, 16);
    const double hz[2] = {440, 440};
    std::vector<std::uint8_t> tone = Tone(f, 0.3, hz);
    std::vector<std::uint8_t> other = Tone(f, 0.3, hz);

    CNotifyLog log;
    std::unique_ptr<IWaveOut> out;
    QCOMPARE(m_audio.OpenOutput(WAVE_MAPPER, f, &log, out), MMSYSERR_NOERROR);
    for (std::size_t round = 1; round <= 3; ++round) {
        WAVEHDR hdr{tone.data(), static_cast<std::uint32_t>(tone.size())};
        WAVEHDR second{other.data(), static_cast<std::uint32_t>(other.size())};
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(Call(log, [&] { return out->Write(&hdr); }), MMSYSERR_NOERROR);
        QCOMPARE(Call(log, [&] { return out->Write(&second); }), WAVERR_STILLPLAYING);
        QTRY_COMPARE_WITH_TIMEOUT(log.m_done.size(), round, kTimeout);
        QVERIFY2(timer.elapsed() >= 250, "ended before its sound could have");
        QCOMPARE(log.m_done.back(), &hdr);
        QTest::qWait(1200);
        QCOMPARE(log.m_done.size(), round);
    }
    QVERIFY(!log.m_misplaced);

    // Nothing to play ends too, once.
    WAVEHDR empty{tone.data(), 0};
    QCOMPARE(Call(log, [&] { return out->Write(&empty); }), MMSYSERR_NOERROR);
    QCOMPARE(log.m_done.size(), std::size_t{3});
    QTRY_COMPARE_WITH_TIMEOUT(log.m_done.size(), std::size_t{4}, kTimeout);
    QCOMPARE(log.m_done.back(), &empty);
    QTest::qWait(300);
    QCOMPARE(log.m_done.size(), std::size_t{4});

    // Reset with nothing queued has nothing to return.
    QCOMPARE(out->Reset(), MMSYSERR_NOERROR);
    QTest::qWait(300);
    QCOMPARE(log.m_done.size(), std::size_t{4});
}

void TestLoopback::resetEndsPlaybackAtOnce()
{
    const WAVEFORMATEX f = Format(44100, 2, 16);
    const double hz[2] = {440, 660};
    std::vector<std::uint8_t> tone = Tone(f, 5.0, hz);

    CNotifyLog log;
    std::unique_ptr<IWaveOut> out;
    QCOMPARE(m_audio.OpenOutput(WAVE_MAPPER, f, &log, out), MMSYSERR_NOERROR);
    WAVEHDR hdr{tone.data(), static_cast<std::uint32_t>(tone.size())};
    QCOMPARE(Call(log, [&] { return out->Write(&hdr); }), MMSYSERR_NOERROR);
    QTest::qWait(300);
    QVERIFY(log.m_done.empty());

    QElapsedTimer timer;
    timer.start();
    QCOMPARE(Call(log, [&] { return out->Reset(); }), MMSYSERR_NOERROR);
    QTRY_COMPARE_WITH_TIMEOUT(log.m_done.size(), std::size_t{1}, kTimeout);
    QVERIFY2(timer.elapsed() < 500, "the reset buffer did not come back promptly");
    QCOMPARE(log.m_done[0], &hdr);
    // A second reset and the stopped sink bring nothing more.
    QCOMPARE(Call(log, [&] { return out->Reset(); }), MMSYSERR_NOERROR);
    QTest::qWait(1500);
    QCOMPARE(log.m_done.size(), std::size_t{1});
    QVERIFY(!log.m_misplaced);

    // The device plays again after a reset.
    WAVEHDR next{tone.data(), Bytes(f, 0.2)};
    QCOMPARE(Call(log, [&] { return out->Write(&next); }), MMSYSERR_NOERROR);
    QTRY_COMPARE_WITH_TIMEOUT(log.m_done.size(), std::size_t{2}, kTimeout);
    QCOMPARE(log.m_done[1], &next);
}

// A device destroyed while busy, or with its notice still on its way,
// notifies nothing afterwards.
void TestLoopback::destroyedDeviceNotifiesNothing()
{
    const WAVEFORMATEX f = Format(44100, 1, 16);
    const double hz[2] = {440, 440};
    std::vector<std::uint8_t> tone = Tone(f, 1.0, hz);
    std::vector<std::uint8_t> room(Bytes(f, 1.0));
    WAVEHDR outHdr{tone.data(), static_cast<std::uint32_t>(tone.size())};
    WAVEHDR inHdr{room.data(), static_cast<std::uint32_t>(room.size())};

    CNotifyLog log;
    std::unique_ptr<IWaveOut> out;
    std::unique_ptr<IWaveIn> in;

    // Busy.
    QCOMPARE(m_audio.OpenOutput(WAVE_MAPPER, f, &log, out), MMSYSERR_NOERROR);
    QCOMPARE(m_audio.OpenInput(WAVE_MAPPER, f, &log, in), MMSYSERR_NOERROR);
    QCOMPARE(out->Write(&outHdr), MMSYSERR_NOERROR);
    QCOMPARE(in->AddBuffer(&inHdr), MMSYSERR_NOERROR);
    QCOMPARE(in->Start(), MMSYSERR_NOERROR);
    QTest::qWait(200);
    out.reset();
    in.reset();

    // Reset, then destroyed before the notice is delivered.
    QCOMPARE(m_audio.OpenOutput(WAVE_MAPPER, f, &log, out), MMSYSERR_NOERROR);
    QCOMPARE(m_audio.OpenInput(WAVE_MAPPER, f, &log, in), MMSYSERR_NOERROR);
    QCOMPARE(out->Write(&outHdr), MMSYSERR_NOERROR);
    QCOMPARE(in->AddBuffer(&inHdr), MMSYSERR_NOERROR);
    QCOMPARE(in->Start(), MMSYSERR_NOERROR);
    QTest::qWait(200);
    QCOMPARE(out->Reset(), MMSYSERR_NOERROR);
    QCOMPARE(in->Reset(), MMSYSERR_NOERROR);
    out.reset();
    in.reset();

    QTest::qWait(2000);
    QVERIFY(log.m_done.empty());
    QVERIFY(log.m_data.empty());
}

void TestLoopback::fullBufferEndsRecording_data()
{
    QTest::addColumn<unsigned>("rate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("bits");
    QTest::addColumn<unsigned>("partial"); // bytes of a partial frame after the whole ones

    QTest::newRow("16-bit stereo") << 44100u << 2 << 16 << 0u;
    QTest::newRow("8-bit mono") << 11025u << 1 << 8 << 0u;
    QTest::newRow("16-bit stereo, partial frame") << 44100u << 2 << 16 << 3u;
}

// A buffer recorded full ends by itself, once, without a byte written past
// its last whole frame.
void TestLoopback::fullBufferEndsRecording()
{
    QFETCH(unsigned, rate);
    QFETCH(int, channels);
    QFETCH(int, bits);
    QFETCH(unsigned, partial);
    const WAVEFORMATEX f = Format(rate, channels, bits);

    CNotifyLog log;
    std::unique_ptr<IWaveIn> in;
    QCOMPARE(m_audio.OpenInput(WAVE_MAPPER, f, &log, in), MMSYSERR_NOERROR);

    const std::uint32_t whole = Bytes(f, 0.3);
    constexpr std::uint8_t kCanary = 0xA5;
    std::vector<std::uint8_t> room(whole + partial + 64, kCanary);
    WAVEHDR hdr{room.data(), whole + partial};
    WAVEHDR second{room.data(), whole};
    QCOMPARE(Call(log, [&] { return in->AddBuffer(&hdr); }), MMSYSERR_NOERROR);
    QCOMPARE(Call(log, [&] { return in->AddBuffer(&second); }), WAVERR_STILLPLAYING);
    QCOMPARE(Call(log, [&] { return in->Start(); }), MMSYSERR_NOERROR);
    QTRY_COMPARE_WITH_TIMEOUT(log.m_data.size(), std::size_t{1}, kTimeout);
    QCOMPARE(log.m_data[0], &hdr);
    QCOMPARE(hdr.dwBytesRecorded, whole);
    QVERIFY(std::all_of(room.begin() + whole, room.end(),
                        [](std::uint8_t b) { return b == kCanary; }));
    std::uint32_t frames = 0;
    QCOMPARE(in->GetPosition(frames), MMSYSERR_NOERROR);
    QCOMPARE(frames, whole / f.nBlockAlign);

    QTest::qWait(1000);
    QCOMPARE(log.m_data.size(), std::size_t{1});
    // The stopped source leaves the position where it was.
    QCOMPARE(in->GetPosition(frames), MMSYSERR_NOERROR);
    QCOMPARE(frames, whole / f.nBlockAlign);
    QVERIFY(!log.m_misplaced);
}

void TestLoopback::resetStopsRecording()
{
    const WAVEFORMATEX f = Format(44100, 2, 16);
    CNotifyLog log;
    std::unique_ptr<IWaveIn> in;
    QCOMPARE(m_audio.OpenInput(WAVE_MAPPER, f, &log, in), MMSYSERR_NOERROR);

    std::vector<std::uint8_t> room(Bytes(f, 3.0));
    WAVEHDR hdr{room.data(), static_cast<std::uint32_t>(room.size())};
    QCOMPARE(Call(log, [&] { return in->AddBuffer(&hdr); }), MMSYSERR_NOERROR);
    QCOMPARE(Call(log, [&] { return in->Start(); }), MMSYSERR_NOERROR);
    // The server delivers the first block only after a while (up to about
    // a second here), then steadily.
    std::uint32_t frames = 0;
    QTRY_VERIFY_WITH_TIMEOUT(in->GetPosition(frames) == MMSYSERR_NOERROR && frames > 0, kTimeout);
    QTest::qWait(300);

    QElapsedTimer timer;
    timer.start();
    QCOMPARE(Call(log, [&] { return in->Reset(); }), MMSYSERR_NOERROR);
    QVERIFY(log.m_data.empty());
    QTRY_COMPARE_WITH_TIMEOUT(log.m_data.size(), std::size_t{1}, kTimeout);
    QVERIFY(timer.elapsed() < 500);
    QCOMPARE(log.m_data[0], &hdr);
    const std::uint32_t got = hdr.dwBytesRecorded;
    QVERIFY(got > 0 && got < hdr.dwBufferLength);
    QCOMPARE(got % f.nBlockAlign, 0u);
    QCOMPARE(in->GetPosition(frames), MMSYSERR_NOERROR);
    QCOMPARE(frames, got / f.nBlockAlign);

    QTest::qWait(1000);
    QCOMPARE(log.m_data.size(), std::size_t{1});
    QVERIFY(!log.m_misplaced);

    // Recording again: the position counts from the new start.
    WAVEHDR again{room.data(), Bytes(f, 0.2)};
    QCOMPARE(Call(log, [&] { return in->AddBuffer(&again); }), MMSYSERR_NOERROR);
    QCOMPARE(Call(log, [&] { return in->Start(); }), MMSYSERR_NOERROR);
    QTRY_COMPARE_WITH_TIMEOUT(log.m_data.size(), std::size_t{2}, kTimeout);
    QCOMPARE(again.dwBytesRecorded, again.dwBufferLength);
    QCOMPARE(in->GetPosition(frames), MMSYSERR_NOERROR);
    QCOMPARE(frames, again.dwBufferLength / f.nBlockAlign);
}

// With the server out of reach nothing opens and nothing is notified.
void TestLoopback::noServer()
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PULSE_SERVER"),
               QStringLiteral("unix:") + QDir::tempPath() + QStringLiteral("/ondrel-no-such-socket"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--no-server-child")});
    QVERIFY(child.waitForFinished(60000));
    const QByteArray output = child.readAll();
    qInfo("%s", output.constData());
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
    QVERIFY(output.contains("outputs 0 inputs 0"));
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "--no-server-child") == 0)
        return RunNoServerChild();
    TestLoopback test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_loopback.moc"
