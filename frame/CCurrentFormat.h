#pragma once
// The program's current format (channels, bits per sample, sample rate) and
// recording time, with the operations that set them and produce the format,
// size and selection readouts. The main frame derives from this class and
// puts the texts on screen; without a window (the command-line tool, tests)
// the texts are only kept.

#include <cstdint>
#include <map>
#include <string>

class CCurrentFormat {
public:
    CCurrentFormat();
    virtual ~CCurrentFormat() = default;

    int m_nRecordSeconds = 60;          // recording time in seconds
    std::uint16_t m_wChannels = 1;      // current channel count
    std::uint16_t m_wBitsPerSample = 16;
    std::uint32_t m_dwSamplesPerSec = 22050; // current sample rate in Hz

    // Reads the recording time and format from the recording panel into the
    // four fields; returns 1, or 0 with nothing changed when the panel's
    // time is not usable. Without a panel there is nothing to read: the
    // fields stay as they are and the result is 1.
    virtual int ReadPanel();

    // Shows the data size: IDC_DATA_BYTES gets `bytes` in decimal, IDC_DATA_MS
    // the length in milliseconds, (bytes x 1000) / bytes-per-second in 64-bit
    // integer arithmetic, 0 when the current format has no bytes per second.
    virtual void SetDataSize(std::uint32_t bytes);

    // Makes rate, channels and bits the current format (channels and bits
    // truncated to 16 bits) and shows them: "Stereo" for 2 channels and
    // "Mono" for any other count, "%d Bits", "%d Hz". Returns 1.
    virtual int SetFormat(std::uint32_t rate, unsigned channels, unsigned bits);

    // Shows a selection's duration (milliseconds) and frequency (hertz) in
    // the status-bar panes: "%.3lfmS" below 1000 ms, else seconds with
    // "%.3lfS"; "%.3lfHz" below 100 Hz, else "%.1lfHz". A duration of 0
    // empties both panes.
    virtual void SetSelInfo(double dMilliseconds, double dHertz);

    // The text last shown in a readout control or status-bar pane.
    std::string GetText(unsigned nID) const;

protected:
    // Puts `text` into the readout `nID`. The base keeps it for GetText;
    // the frame also shows it on screen.
    virtual void ShowText(unsigned nID, const std::string& text);

private:
    std::map<unsigned, std::string> m_texts;
};
