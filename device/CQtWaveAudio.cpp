#include "device/CQtWaveAudio.h"

#include "audio/WaveFormat.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QAudioSource>
#include <QCoreApplication>
#include <QMediaDevices>
#include <QPointer>

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

namespace {

// The Qt format for a WAV format record; false for every shape the devices
// here are not asked to take.
bool ToAudioFormat(const WAVEFORMATEX& wfx, QAudioFormat& format)
{
    if (wfx.wFormatTag != WAVE_FORMAT_PCM)
        return false;
    if (wfx.nChannels != 1 && wfx.nChannels != 2)
        return false;
    if (wfx.wBitsPerSample != 8 && wfx.wBitsPerSample != 16)
        return false;
    if (wfx.nBlockAlign != wfx.nChannels * wfx.wBitsPerSample / 8)
        return false;
    if (wfx.nSamplesPerSec == 0 || wfx.nSamplesPerSec > static_cast<std::uint32_t>(INT_MAX))
        return false;
    format.setSampleRate(static_cast<int>(wfx.nSamplesPerSec));
    format.setChannelCount(wfx.nChannels);
    format.setSampleFormat(wfx.wBitsPerSample == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
    return true;
}

// Device `id` of `devices`, or the default one for WAVE_MAPPER. No server
// shows as an empty list and a null default device.
MMRESULT FindDevice(const QList<QAudioDevice>& devices, const QAudioDevice& defaultDevice, int id,
                    QAudioDevice& found)
{
    if (id == WAVE_MAPPER) {
        if (defaultDevice.isNull())
            return MMSYSERR_NODRIVER;
        found = defaultDevice;
        return MMSYSERR_NOERROR;
    }
    if (devices.isEmpty())
        return MMSYSERR_NODRIVER;
    if (id < 0 || id >= devices.size())
        return MMSYSERR_BADDEVICEID;
    found = devices[id];
    return MMSYSERR_NOERROR;
}

// Device, then format: the order of the checks for both directions.
MMRESULT Resolve(const QList<QAudioDevice>& devices, const QAudioDevice& defaultDevice, int id,
                 const WAVEFORMATEX& wfx, QAudioDevice& device, QAudioFormat& format)
{
    if (MMRESULT result = FindDevice(devices, defaultDevice, id, device))
        return result;
    if (!ToAudioFormat(wfx, format) || !device.isFormatSupported(format))
        return WAVERR_BADFORMAT;
    return MMSYSERR_NOERROR;
}

std::vector<std::string> Names(const QList<QAudioDevice>& devices)
{
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(devices.size()));
    for (const QAudioDevice& device : devices)
        names.push_back(device.description().toStdString());
    return names;
}

// Runs `call` from the event loop of the user-interface thread, unless
// `owner` has been destroyed by then. The event goes to the application
// object rather than to `owner`, so the call may destroy `owner` safely.
template <class F>
void PostIfAlive(QObject* owner, F call)
{
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [guard = QPointer<QObject>(owner), call = std::move(call)]() {
            if (guard)
                call();
        },
        Qt::QueuedConnection);
}

// The bytes of a buffer the devices use: whole frames only, since the
// server neither takes nor delivers part of a frame.
std::uint32_t WholeFrames(const WAVEHDR* pHdr, const QAudioFormat& format)
{
    const auto frame = static_cast<std::uint32_t>(format.bytesPerFrame());
    return pHdr->dwBufferLength - pHdr->dwBufferLength % frame;
}

// What a sink plays: the caller's bytes, read in place (never copied as a
// whole), then a tail of silence. The tail makes the end of playback
// observable: the sink reports running dry once it has handed everything to
// the server, which still holds up to its buffer's worth (the stream's target
// length) unplayed, and stopping then would cut that much off the end. With
// a tail at least that long, everything the caller gave has been taken by
// the server when the sink runs dry.
class CPlaySource final : public QIODevice {
public:
    CPlaySource(const std::uint8_t* data, qint64 size, char silence, QObject* parent)
        : QIODevice(parent), m_data(data), m_size(size), m_silence(silence)
    {
    }

    // Bytes of silence after the data; set before the end of the data has
    // been read.
    void SetTail(qint64 bytes) { m_tail = bytes; }

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override
    {
        return m_size + m_tail - m_pos + QIODevice::bytesAvailable();
    }

protected:
    qint64 readData(char* out, qint64 maxSize) override
    {
        qint64 done = 0;
        if (m_pos < m_size) {
            done = std::min(maxSize, m_size - m_pos);
            std::memcpy(out, m_data + m_pos, static_cast<std::size_t>(done));
        }
        const qint64 quiet = std::min(maxSize - done, m_size + m_tail - (m_pos + done));
        if (quiet > 0) {
            std::memset(out + done, m_silence, static_cast<std::size_t>(quiet));
            done += quiet;
        }
        m_pos += done;
        return done;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    const std::uint8_t* const m_data;
    const qint64 m_size;
    const char m_silence;
    qint64 m_tail = 0;
    qint64 m_pos = 0; // bytes read so far, data then tail
};

// ---------------------------------------------------------------------------
// Output: one buffer at a time, each played by a QAudioSink of its own (a
// sink restarted after a stop does not always report running dry again)
// through a CPlaySource over the caller's bytes; a partial frame at the end
// is not played.
//
// The buffer ends when the sink runs dry (IdleState, reached once the silent
// tail has been handed over, so the caller's sound has been taken by the
// server) or stops with an error, or at Reset. Ending it clears m_pHdr
// first, so only one of these can end it, and counts m_serial up, so a state
// change of an old sink that arrives late is ignored. The sink is never
// stopped inside its own signal: the signal only schedules the end.
//
// Sinks are stopped at once but deleted only from the event loop, and have
// no parent: the backend's sink processes pending events while it is being
// destroyed, which must not happen inside a call of ours (notices of other
// devices would arrive in the middle of it).
class CQtWaveOut final : public QObject, public IWaveOut {
public:
    CQtWaveOut(const QAudioDevice& device, const QAudioFormat& format, IWaveNotify* notify)
        : m_device(device), m_format(format), m_notify(notify)
    {
    }
    // A buffer still playing stops and is dropped without notice.
    ~CQtWaveOut() override { StopSink(); }

    MMRESULT Write(WAVEHDR* pHdr) override
    {
        if (!pHdr || (!pHdr->lpData && pHdr->dwBufferLength))
            return MMSYSERR_ERROR;
        if (m_pHdr)
            return WAVERR_STILLPLAYING;
        m_pHdr = pHdr;
        const quint64 serial = ++m_serial;
        const std::uint32_t bytes = WholeFrames(pHdr, m_format);
        if (bytes == 0) {
            Finish(); // nothing to play
            return MMSYSERR_NOERROR;
        }

        m_sink = new QAudioSink(m_device, m_format);
        // The sink is fed from the user-interface thread: ask for half a
        // second of buffer (the server grants what it can) so that a busy
        // moment there, such as drawing a long file, does not break the sound.
        m_sink->setBufferSize(m_format.bytesForDuration(500000));
        const char silence = m_format.sampleFormat() == QAudioFormat::UInt8 ? '\x80' : '\0';
        auto* source = new CPlaySource(pHdr->lpData, bytes, silence, m_sink);
        source->open(QIODevice::ReadOnly | QIODevice::Unbuffered);
        m_play = source;
        connect(m_sink, &QAudioSink::stateChanged, this,
                [this, serial](QAudio::State state) { OnSinkState(serial, state); });
        m_sink->start(source);
        if (m_sink->state() == QAudio::StoppedState && m_sink->error() != QAudio::NoError) {
            // The sink did not open (the server went away): the buffer is
            // not taken, so nothing will be notified for it.
            StopSink();
            m_pHdr = nullptr;
            ++m_serial;
            return MMSYSERR_ERROR;
        }
        // The sink reads nothing before the event loop runs again, and only
        // now knows the server's buffer. One period more than that, in
        // case the server takes a little beyond it; 0.5 s when it tells none.
        const qint64 held = std::max<qint64>(m_sink->bufferSize(), 0);
        const qint64 tail = held + m_format.bytesForDuration(held > 0 ? 50000 : 500000);
        source->SetTail(tail - tail % m_format.bytesPerFrame());
        return MMSYSERR_NOERROR;
    }

    MMRESULT Reset() override
    {
        if (m_pHdr)
            Finish();
        return MMSYSERR_NOERROR;
    }

private:
    void OnSinkState(quint64 serial, QAudio::State state)
    {
        if (serial != m_serial || !m_sink)
            return;
        // Idle before the source is used up is an underrun (the event loop
        // was held up): the sink goes on once it is fed again.
        const bool ended = (state == QAudio::IdleState && m_play->atEnd())
            || (state == QAudio::StoppedState && m_sink->error() != QAudio::NoError);
        if (!ended)
            return;
        QMetaObject::invokeMethod(
            this,
            [this, serial]() {
                if (serial == m_serial && m_pHdr)
                    Finish();
            },
            Qt::QueuedConnection);
    }

    // Ends the queued buffer: the sink goes, the notice is scheduled.
    void Finish()
    {
        WAVEHDR* pHdr = std::exchange(m_pHdr, nullptr);
        ++m_serial;
        StopSink();
        PostIfAlive(this, [this, pHdr]() {
            if (m_notify)
                m_notify->OnWomDone(pHdr);
        });
    }

    void StopSink()
    {
        if (!m_sink)
            return;
        m_sink->disconnect(this);
        m_sink->stop(); // from here on the caller's bytes are no longer read
        m_sink->deleteLater();
        m_sink = nullptr;
        m_play = nullptr;
    }

    const QAudioDevice m_device;
    const QAudioFormat m_format;
    IWaveNotify* const m_notify;
    WAVEHDR* m_pHdr = nullptr;    // the queued buffer, until it ends
    QAudioSink* m_sink = nullptr; // playing m_pHdr
    CPlaySource* m_play = nullptr; // what m_sink reads; its child
    quint64 m_serial = 0;         // counts buffers and their ends
};

// ---------------------------------------------------------------------------
// Input: one buffer at a time, recorded by a QAudioSource in push mode. Each
// delivery is read straight into the buffer, never past its last whole
// frame. A full buffer stops the source and ends; Reset takes what the
// server still holds, stops and ends the buffer with the bytes so far.
//
// Start() marks the device as recording: a buffer queued then, or later
// while it stays so, starts a fresh source at once. A full buffer leaves the
// device recording, so the next AddBuffer continues (with the gap of opening
// a new source); Reset or an error stops it. The position counts the bytes
// received since Start() and still reads after the recording has stopped.
// Sources, like sinks, are deleted from the event loop.
class CQtWaveIn final : public QObject, public IWaveIn {
public:
    CQtWaveIn(const QAudioDevice& device, const QAudioFormat& format, IWaveNotify* notify)
        : m_device(device), m_format(format), m_notify(notify)
    {
    }
    // A buffer still queued is dropped without notice.
    ~CQtWaveIn() override { StopSource(); }

    MMRESULT AddBuffer(WAVEHDR* pHdr) override
    {
        if (!pHdr || (!pHdr->lpData && pHdr->dwBufferLength))
            return MMSYSERR_ERROR;
        if (m_pHdr)
            return WAVERR_STILLPLAYING;
        pHdr->dwBytesRecorded = 0;
        m_pHdr = pHdr;
        m_filled = 0;
        ++m_serial;
        if (!m_started)
            return MMSYSERR_NOERROR;
        const MMRESULT result = Begin();
        if (result != MMSYSERR_NOERROR) {
            m_pHdr = nullptr; // not taken
            ++m_serial;
        }
        return result;
    }

    MMRESULT Start() override
    {
        if (m_started)
            return MMSYSERR_NOERROR;
        m_started = true;
        m_received = 0;
        // On failure the buffer stays queued; Reset returns it.
        return m_pHdr ? Begin() : MMSYSERR_NOERROR;
    }

    MMRESULT Reset() override
    {
        m_started = false;
        if (m_pHdr) {
            Pull();
            Finish();
        }
        StopSource();
        return MMSYSERR_NOERROR;
    }

    MMRESULT GetPosition(std::uint32_t& frames) override
    {
        const auto frame = static_cast<std::uint64_t>(m_format.bytesPerFrame());
        const std::uint64_t count = m_received / frame;
        frames = count > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(count);
        return MMSYSERR_NOERROR;
    }

private:
    // Opens a source recording into m_pHdr.
    MMRESULT Begin()
    {
        const quint64 serial = m_serial;
        if (WholeFrames(m_pHdr, m_format) == 0) {
            // No room for a frame: full at once.
            ScheduleFinish(serial, true);
            return MMSYSERR_NOERROR;
        }
        m_source = new QAudioSource(m_device, m_format);
        connect(m_source, &QAudioSource::stateChanged, this,
                [this, serial](QAudio::State state) { OnSourceState(serial, state); });
        m_io = m_source->start();
        if (!m_io) {
            StopSource();
            m_started = false;
            return MMSYSERR_ERROR;
        }
        connect(m_io, &QIODevice::readyRead, this, [this, serial]() {
            if (serial == m_serial)
                Pull();
        });
        return MMSYSERR_NOERROR;
    }

    // Copies what the source holds into the buffer, up to its last whole
    // frame; once full, schedules the end (the source is not stopped inside
    // its own signal).
    void Pull()
    {
        if (!m_io || !m_pHdr)
            return;
        const std::uint32_t room = WholeFrames(m_pHdr, m_format);
        while (m_filled < room) {
            const qint64 got = m_io->read(reinterpret_cast<char*>(m_pHdr->lpData) + m_filled,
                                          static_cast<qint64>(room - m_filled));
            if (got <= 0)
                break;
            m_filled += static_cast<std::uint32_t>(got);
            m_received += static_cast<std::uint64_t>(got);
        }
        if (m_filled == room) {
            m_io->disconnect(this);
            ScheduleFinish(m_serial, true);
        }
    }

    void OnSourceState(quint64 serial, QAudio::State state)
    {
        if (serial == m_serial && m_source && state == QAudio::StoppedState
            && m_source->error() != QAudio::NoError)
            ScheduleFinish(serial, false);
    }

    // Ends buffer `serial` later, unless it has ended by then; a failed
    // source also stops the recording.
    void ScheduleFinish(quint64 serial, bool keepRecording)
    {
        QMetaObject::invokeMethod(
            this,
            [this, serial, keepRecording]() {
                if (serial != m_serial || !m_pHdr)
                    return;
                if (!keepRecording)
                    m_started = false;
                Finish();
            },
            Qt::QueuedConnection);
    }

    // Ends the queued buffer with the bytes so far: the source goes, the
    // notice is scheduled.
    void Finish()
    {
        WAVEHDR* pHdr = std::exchange(m_pHdr, nullptr);
        ++m_serial;
        pHdr->dwBytesRecorded = m_filled;
        StopSource();
        PostIfAlive(this, [this, pHdr]() {
            if (m_notify)
                m_notify->OnWimData(pHdr);
        });
    }

    void StopSource()
    {
        if (!m_source)
            return;
        if (m_io)
            m_io->disconnect(this);
        m_io = nullptr; // the source deletes it when it stops
        m_source->disconnect(this);
        m_source->stop();
        m_source->deleteLater();
        m_source = nullptr;
    }

    const QAudioDevice m_device;
    const QAudioFormat m_format;
    IWaveNotify* const m_notify;
    WAVEHDR* m_pHdr = nullptr;        // the queued buffer, until it ends
    std::uint32_t m_filled = 0;       // bytes written into m_pHdr
    std::uint64_t m_received = 0;     // bytes received since Start()
    bool m_started = false;           // between Start() and Reset() or an error
    QAudioSource* m_source = nullptr; // recording into m_pHdr; deleted from the event loop
    QIODevice* m_io = nullptr;        // m_source's push-mode device
    quint64 m_serial = 0;             // counts buffers and their ends
};

} // namespace

std::vector<std::string> CQtWaveAudio::OutputDevices() { return Names(QMediaDevices::audioOutputs()); }

std::vector<std::string> CQtWaveAudio::InputDevices() { return Names(QMediaDevices::audioInputs()); }

MMRESULT CQtWaveAudio::OpenOutput(int id, const WAVEFORMATEX& wfx, IWaveNotify* notify,
                                  std::unique_ptr<IWaveOut>& device)
{
    QAudioDevice found;
    QAudioFormat format;
    if (MMRESULT result = Resolve(QMediaDevices::audioOutputs(), QMediaDevices::defaultAudioOutput(),
                                  id, wfx, found, format))
        return result;
    device = std::make_unique<CQtWaveOut>(found, format, notify);
    return MMSYSERR_NOERROR;
}

MMRESULT CQtWaveAudio::OpenInput(int id, const WAVEFORMATEX& wfx, IWaveNotify* notify,
                                 std::unique_ptr<IWaveIn>& device)
{
    QAudioDevice found;
    QAudioFormat format;
    if (MMRESULT result = Resolve(QMediaDevices::audioInputs(), QMediaDevices::defaultAudioInput(),
                                  id, wfx, found, format))
        return result;
    device = std::make_unique<CQtWaveIn>(found, format, notify);
    return MMSYSERR_NOERROR;
}
