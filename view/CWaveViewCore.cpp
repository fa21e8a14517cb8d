#include "view/CWaveViewCore.h"

#include "doc/COndrelDoc.h"
#include "frame/CCurrentFormat.h"

#include <algorithm>
#include <cstring>
#include <cstdlib>

namespace {
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kGrey = RGB(192, 192, 192);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kNavy = RGB(0, 0, 128);

// Sample `channel` of frame `i` as a signed value: 8-bit data unsigned with
// 128 as silence, 16-bit data signed little-endian.
inline int Sample(const std::uint8_t* p, std::uint32_t i, int channel, int nChannels, int nBytes)
{
    const std::size_t at = (static_cast<std::size_t>(i) * nChannels + channel) * nBytes;
    if (nBytes == 1)
        return static_cast<int>(p[at]) - 128;
    std::int16_t v;
    std::memcpy(&v, p + at, 2);
    return v;
}

// The maxima and minima of `count` samples starting at `q`, lane by lane
// over runs of kLanes samples (a shape compilers turn into vector max/min),
// then folded per channel: with samples interleaved from an even start,
// even lanes hold the first channel and odd lanes the second.
template <typename T, int kLanes>
void ExtremesOfRun(const T* q, std::size_t count, int nc, int bias, int mx[2], int mn[2])
{
    T lmx[kLanes], lmn[kLanes];
    for (int k = 0; k < kLanes; ++k) {
        lmx[k] = static_cast<T>(bias);
        lmn[k] = static_cast<T>(bias);
    }
    std::size_t j = 0;
    for (; j + kLanes <= count; j += kLanes) {
        for (int k = 0; k < kLanes; ++k) {
            lmx[k] = std::max(lmx[k], q[j + k]);
            lmn[k] = std::min(lmn[k], q[j + k]);
        }
    }
    for (int k = 0; j < count; ++j, ++k) {
        lmx[k] = std::max(lmx[k], q[j]);
        lmn[k] = std::min(lmn[k], q[j]);
    }
    for (int k = 0; k < kLanes; ++k) {
        const int ch = nc == 2 ? (k & 1) : 0;
        mx[ch] = std::max(mx[ch], static_cast<int>(lmx[k]) - bias);
        mn[ch] = std::min(mn[ch], static_cast<int>(lmn[k]) - bias);
    }
}

// Per overview column (n frames from frame 0 on, while the column starts
// below `limit`): max and min of each channel, both starting at 0.
void ComputeColumnExtremes(const std::uint8_t* p, int nc, int nBytes, std::uint32_t n,
                           std::uint32_t limit, std::int32_t* out)
{
    std::uint32_t pos = 0;
    do {
        int mx[2] = {0, 0}, mn[2] = {0, 0};
        const std::size_t first = static_cast<std::size_t>(pos) * nc;
        const std::size_t count = static_cast<std::size_t>(n) * nc;
        if (nBytes == 1) {
            // Unsigned bytes, 128 as silence: the bias (128) keeps the start
            // value on silence, i.e. 0.
            ExtremesOfRun<std::uint8_t, 32>(p + first, count, nc, 128, mx, mn);
        } else {
            ExtremesOfRun<std::int16_t, 16>(reinterpret_cast<const std::int16_t*>(p) + first, count, nc, 0,
                                            mx, mn);
        }
        for (int ch = 0; ch < nc; ++ch) {
            *out++ = mx[ch];
            *out++ = mn[ch];
        }
        pos += n;
    } while (pos < limit);
}

// Locks the document's data for one drawing operation and unlocks it on
// every way out.
class CDataLock {
public:
    explicit CDataLock(COndrelDoc& doc) : m_doc(doc), m_p(doc.LockData()) {}
    ~CDataLock() { m_doc.UnlockData(); }
    CDataLock(const CDataLock&) = delete;
    CDataLock& operator=(const CDataLock&) = delete;
    const std::uint8_t* Get() const { return m_p; }

private:
    COndrelDoc& m_doc;
    const std::uint8_t* m_p;
};
} // namespace

CWaveViewCore::CWaveViewCore(COndrelDoc& doc) : m_doc(doc), m_frame(doc.GetFrame()) {}

std::uint32_t CWaveViewCore::GetFrameCount() const
{
    const unsigned channels = m_frame.m_wChannels;
    const unsigned bytes = m_frame.m_wBitsPerSample / 8u;
    if (channels == 0 || bytes == 0)
        return 0;
    return m_doc.GetDataSize() / channels / bytes;
}

std::uint32_t CWaveViewCore::GetBytesPerFrame() const
{
    return (m_frame.m_wBitsPerSample / 8u) * m_frame.m_wChannels;
}

int CWaveViewCore::GetVisibleFrames() const
{
    return (m_rcPosition.right - m_rcPosition.left) / m_nPixelsPerFrame;
}

void CWaveViewCore::RecalcLayout(int W, int H)
{
    const int f = m_colors.nFrameMetric;
    const int t = H / 3;
    m_rcPosition = {0, 0, W, 16};
    m_rcOverview = {0, 17, W, t - f};
    m_rcDetail = {0, t + f - 2, W, H};
    const int ob = m_rcOverview.bottom;
    const int dt = m_rcDetail.top;
    m_rcOverviewCh1 = {0, 17, W, 17 + (ob - 17) / 2 - 2};
    m_rcOverviewCh2 = {0, 17 + (ob - 17) / 2 + f - 2, W, ob};
    m_rcDetailCh1 = {0, dt, W, dt + (H - dt) / 2 - 4};
    m_rcDetailCh2 = {0, dt + (H - dt) / 2, W, H};
}

void CWaveViewCore::OnDraw(CDrawSurface& dc)
{
    RecalcLayout(dc.Width(), dc.Height());
    DrawPaneBorders(dc);
    DrawOverview(dc);
    DrawDetail(dc);
    DrawPositionBar(dc);
    DrawSelection(dc);
}

int CWaveViewCore::FormatMember() const
{
    // Mono means exactly one channel and 8-bit exactly 8 bits; every other
    // shape is drawn as stereo and 16-bit.
    const bool mono = m_frame.m_wChannels == 1;
    const bool eight = m_frame.m_wBitsPerSample == 8;
    return (mono ? 0 : 2) + (eight ? 0 : 1);
}

void CWaveViewCore::DrawOverview(CDrawSurface& dc)
{
    static constexpr void (CWaveViewCore::*kDraw[4])(CDrawSurface&) = {
        &CWaveViewCore::DrawOverviewMono8, &CWaveViewCore::DrawOverviewMono16,
        &CWaveViewCore::DrawOverviewStereo8, &CWaveViewCore::DrawOverviewStereo16};
    (this->*kDraw[FormatMember()])(dc);
}

void CWaveViewCore::DrawDetail(CDrawSurface& dc)
{
    static constexpr void (CWaveViewCore::*kDraw[4])(CDrawSurface&) = {
        &CWaveViewCore::DrawDetailMono8, &CWaveViewCore::DrawDetailMono16,
        &CWaveViewCore::DrawDetailStereo8, &CWaveViewCore::DrawDetailStereo16};
    (this->*kDraw[FormatMember()])(dc);
}

void CWaveViewCore::DrawPaneBorders(CDrawSurface& dc)
{
    const int f = m_colors.nFrameMetric;
    const int W = m_rcPosition.right;
    const int ob = m_rcOverview.bottom;
    const int dt = m_rcDetail.top;
    const COLORREF menu = m_colors.menu, hi = m_colors.btnHighlight, shadow = m_colors.btnShadow;
    dc.Line(0, ob + f - 1, W, ob + f - 1, menu, f);
    dc.Line(0, ob, W, ob, hi);
    dc.Line(0, dt - 1, W, dt - 1, shadow);
    if (m_frame.m_wChannels == 2) {
        const int b1 = m_rcOverviewCh1.bottom, t2 = m_rcOverviewCh2.top;
        const int b3 = m_rcDetailCh1.bottom, t4 = m_rcDetailCh2.top;
        dc.Line(0, b1 + 2, W, b1 + 2, menu, 2);
        dc.Line(0, b1, W, b1, hi);
        dc.Line(0, t2 - 1, W, t2 - 1, shadow);
        dc.Line(0, b3 + 2, W, b3 + 2, menu, 2);
        dc.Line(0, b3, W, b3, hi);
        dc.Line(0, t4 - 1, W, t4 - 1, shadow);
    }
    dc.Line(0, 16, W, 16, hi);
}

void CWaveViewCore::DrawOverviewMono8(CDrawSurface& dc) { DrawOverviewFamily(dc, 0, {1, 1, {&m_rcOverview, nullptr}}); }
void CWaveViewCore::DrawOverviewMono16(CDrawSurface& dc) { DrawOverviewFamily(dc, 1, {1, 2, {&m_rcOverview, nullptr}}); }
void CWaveViewCore::DrawOverviewStereo8(CDrawSurface& dc) { DrawOverviewFamily(dc, 2, {2, 1, {&m_rcOverviewCh1, &m_rcOverviewCh2}}); }
void CWaveViewCore::DrawOverviewStereo16(CDrawSurface& dc) { DrawOverviewFamily(dc, 3, {2, 2, {&m_rcOverviewCh1, &m_rcOverviewCh2}}); }
void CWaveViewCore::DrawDetailMono8(CDrawSurface& dc) { DrawDetailFamily(dc, {1, 1, {&m_rcDetail, nullptr}}); }
void CWaveViewCore::DrawDetailMono16(CDrawSurface& dc) { DrawDetailFamily(dc, {1, 2, {&m_rcDetail, nullptr}}); }
void CWaveViewCore::DrawDetailStereo8(CDrawSurface& dc) { DrawDetailFamily(dc, {2, 1, {&m_rcDetailCh1, &m_rcDetailCh2}}); }
void CWaveViewCore::DrawDetailStereo16(CDrawSurface& dc) { DrawDetailFamily(dc, {2, 2, {&m_rcDetailCh1, &m_rcDetailCh2}}); }

bool CWaveViewCore::PreparePanes(CDrawSurface& dc, const SPaneSpec& spec, bool bHasData, int cy[2], int half[2])
{
    // White panes; with data, a grey centre line in each, and the centre
    // and half height the samples are scaled to.
    for (int ch = 0; ch < spec.nChannels; ++ch)
        dc.FillRect(*spec.panes[ch], kWhite);
    if (!bHasData)
        return false;
    for (int ch = 0; ch < spec.nChannels; ++ch) {
        const RECT& rc = *spec.panes[ch];
        cy[ch] = rc.top + (rc.bottom - rc.top) / 2;
        dc.Line(rc.left, cy[ch], rc.right, cy[ch], kGrey);
        half[ch] = (rc.bottom - rc.top) / 2 - 1;
    }
    return true;
}

void CWaveViewCore::DrawOverviewFamily(CDrawSurface& dc, int nMember, const SPaneSpec& spec)
{
    CDataLock lock(m_doc);
    const std::uint8_t* p = lock.Get();
    const std::uint32_t L = m_doc.GetDataSize();
    int cy[2], half[2];
    if (!PreparePanes(dc, spec, p && L != 0, cy, half))
        return;
    const std::uint32_t N = L / static_cast<std::uint32_t>(spec.nChannels * spec.nBytes);
    const int w = spec.panes[0]->right - spec.panes[0]->left;
    if (w <= 0)
        return; // no room: nothing to scale to
    const std::uint32_t uw = static_cast<std::uint32_t>(w);
    std::uint32_t n, limit;
    if (N % uw == 0) {
        n = N / uw;
        limit = N;
    } else {
        n = N / uw + 1;
        limit = N - n;
    }
    m_nFramesPerColumn = n;
    if (limit == 0 || n == 0)
        return;

    // Each column's maxima and minima (both starting at 0), computed once
    // for the data as it is now.
    const int nc = spec.nChannels;
    SSummary& s = m_summary;
    const std::uint64_t version = m_doc.m_wave.m_nDataVersion;
    if (!s.bValid || s.nVersion != version || s.nLength != L || s.nMember != nMember ||
        s.nFramesPerColumn != n || s.nLimit != limit) {
        s.bValid = false;
        const std::size_t columns = (static_cast<std::size_t>(limit) + n - 1) / n;
        s.extremes.assign(columns * 2 * nc, 0);
        ComputeColumnExtremes(p, nc, spec.nBytes, n, limit, s.extremes.data());
        s.nVersion = version;
        s.nLength = L;
        s.nMember = nMember;
        s.nFramesPerColumn = n;
        s.nLimit = limit;
        s.bValid = true;
    }

    const int D = spec.nBytes == 1 ? 128 : 32768;
    const std::size_t columns = s.extremes.size() / (2 * nc);
    const std::int32_t* in = s.extremes.data();
    for (std::size_t c = 0; c < columns; ++c) {
        for (int ch = 0; ch < nc; ++ch) {
            const int sMax = in[0] * half[ch] / D;
            const int sMin = in[1] * half[ch] / D;
            in += 2;
            const int x = spec.panes[ch]->left + static_cast<int>(c);
            if (sMax == sMin)
                dc.Line(x, cy[ch], x + 1, cy[ch], kBlack);
            else
                dc.Line(x, cy[ch] - sMax, x, cy[ch] - sMin, kBlack);
        }
    }
}

void CWaveViewCore::DrawDetailFamily(CDrawSurface& dc, const SPaneSpec& spec)
{
    CDataLock lock(m_doc);
    const std::uint8_t* p = lock.Get();
    const std::uint32_t L = m_doc.GetDataSize();
    int cy[2], half[2];
    if (!PreparePanes(dc, spec, p && L != 0, cy, half))
        return;
    const std::uint32_t N = L / static_cast<std::uint32_t>(spec.nChannels * spec.nBytes);
    if (N < 2)
        return; // no pair of frames to join
    const int D = spec.nBytes == 1 ? 128 : 32768;
    const std::uint32_t last = N - 1;
    std::uint32_t i = static_cast<std::uint32_t>(m_nStartFrame);
    const int s = m_nPixelsPerFrame;
    for (int x = 0; i < last && x < m_rcDetail.right; x += s, ++i) {
        for (int ch = 0; ch < spec.nChannels; ++ch) {
            const int a = Sample(p, i, ch, spec.nChannels, spec.nBytes);
            const int b = Sample(p, i + 1, ch, spec.nChannels, spec.nBytes);
            const int left = spec.panes[ch]->left;
            dc.Line(left + x, cy[ch] - a * half[ch] / D, left + x + s, cy[ch] - b * half[ch] / D, kBlack);
        }
    }
}

void CWaveViewCore::DrawPositionBar(CDrawSurface& dc)
{
    dc.FillRect({0, 0, m_rcPosition.right, m_rcPosition.bottom}, m_colors.menu);
    const std::uint32_t N = GetFrameCount();
    const std::uint32_t n = m_nFramesPerColumn;
    if (N == 0 || n == 0)
        return;
    const std::uint32_t V = static_cast<std::uint32_t>(std::max(GetVisibleFrames(), 0));
    const std::uint32_t x = static_cast<std::uint32_t>(m_nStartFrame) / n;
    const std::uint32_t width = std::max(V / n, 2u);
    if (x > static_cast<std::uint32_t>(m_rcPosition.right))
        return; // entirely off the bar
    dc.FillRect({static_cast<int>(x), 2, static_cast<int>(std::min<std::uint64_t>(std::uint64_t{x} + width, 0x7FFFFFFF)), 14},
                kNavy);
}

int CWaveViewCore::IsInsidePane(int x, int y, const RECT& rc) const
{
    return rc.left < x && x < rc.right && rc.top < y && y < rc.bottom ? 1 : 0;
}

void CWaveViewCore::InvertColumns(CDrawSurface& dc, int a, int b)
{
    const RECT* panes[2] = {nullptr, nullptr};
    switch (m_nSelPane) {
    case PaneOverviewMono: panes[0] = &m_rcOverview; break;
    case PaneOverviewCh1:
    case PaneOverviewCh2: panes[0] = &m_rcOverviewCh1; panes[1] = &m_rcOverviewCh2; break;
    case PaneDetailMono: panes[0] = &m_rcDetail; break;
    case PaneDetailCh1:
    case PaneDetailCh2: panes[0] = &m_rcDetailCh1; panes[1] = &m_rcDetailCh2; break;
    default: return;
    }
    for (const RECT* rc : panes)
        if (rc)
            dc.InvertRect({a, rc->top + 1, b + 1, rc->bottom - 1});
}

void CWaveViewCore::TrackSelection(CDrawSurface& dc, int x, int /*y*/)
{
    if (!m_bDragging || x < 0)
        return;
    const std::uint32_t N = GetFrameCount();
    if (N == 0)
        return;
    if (IsOverviewKind()) {
        if (m_nFramesPerColumn == 0 || static_cast<std::uint32_t>(x) > N / m_nFramesPerColumn)
            return;
    } else if (IsDetailKind()) {
        if (std::int64_t{m_nStartFrame} + x / m_nPixelsPerFrame >= std::int64_t{N})
            return;
    } else {
        return;
    }
    const int p = m_nSelCurrent;
    m_nSelCurrent = x;
    if (x != p)
        InvertColumns(dc, std::min(p, x), std::max(p, x) - 1);

    const std::int64_t d = std::abs(std::int64_t{m_nSelCurrent} - m_nSelAnchor);
    const double r = m_frame.m_dwSamplesPerSec;
    double ms = 0.0;
    if (r != 0.0) {
        ms = IsOverviewKind() ? static_cast<double>(d * m_nFramesPerColumn) * 1000.0 / r
                              : static_cast<double>(d) * 1000.0 / (r * m_nPixelsPerFrame);
    }
    m_frame.SetSelInfo(ms, ms != 0.0 ? 1000.0 / ms : 0.0);
}

void CWaveViewCore::DrawSelection(CDrawSurface& dc)
{
    if (GetFrameCount() == 0 || m_nSelAnchor == m_nSelCurrent)
        return;
    InvertColumns(dc, std::min(m_nSelAnchor, m_nSelCurrent), std::max(m_nSelAnchor, m_nSelCurrent));
}

std::uint32_t CWaveViewCore::GetSelectionStart() const
{
    const std::int64_t m = std::min(m_nSelAnchor, m_nSelCurrent);
    const std::int64_t B = GetBytesPerFrame();
    std::int64_t start = m;
    if (IsOverviewKind())
        start = m * B * m_nFramesPerColumn;
    else if (IsDetailKind())
        start = (m_nStartFrame + m / m_nPixelsPerFrame) * B;
    // Never a place beyond the data.
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(start, 0, m_doc.GetDataSize()));
}

std::uint32_t CWaveViewCore::GetSelectionLength() const
{
    const std::int64_t d = std::abs(std::int64_t{m_nSelAnchor} - m_nSelCurrent);
    const std::int64_t B = GetBytesPerFrame();
    std::int64_t length = d;
    if (IsOverviewKind())
        length = d * B * m_nFramesPerColumn;
    else if (IsDetailKind())
        length = d / m_nPixelsPerFrame * B;
    const std::int64_t room = std::int64_t{m_doc.GetDataSize()} - GetSelectionStart();
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(length, 0, room));
}

bool CWaveViewCore::OnHScroll(int nCode, int nThumbPos, int nRangeMax, CDrawSurface& dc, int& nNewPos)
{
    const std::int64_t N = GetFrameCount();
    if (N == 0)
        return false;
    const std::int64_t V = GetVisibleFrames();
    const std::int64_t R = nRangeMax;
    const std::int64_t M = N - V;
    const std::int64_t top = std::max<std::int64_t>(M, 0);
    std::int64_t start = m_nStartFrame;
    // 64-bit arithmetic: in 32 bits a long file's thumb position would wrap.
    const std::int64_t P = N * 10 / 1000;
    switch (nCode) {
    case SB_LINELEFT:
        if (start > 0)
            --start;
        break;
    case SB_LINERIGHT:
        if (start < M)
            ++start;
        break;
    case SB_PAGELEFT:
        start = std::max<std::int64_t>(start - P, 0);
        break;
    case SB_PAGERIGHT:
        start = std::min(start + P, top);
        break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
        start = R > 0 ? M * nThumbPos / R : 0;
        break;
    default:
        break;
    }
    m_nStartFrame = static_cast<int>(std::clamp<std::int64_t>(start, 0, top));
    nNewPos = M > 0 ? static_cast<int>(std::int64_t{m_nStartFrame} * R / M) : 0;
    DrawDetail(dc);
    DrawPositionBar(dc);
    return true;
}

bool CWaveViewCore::OnLButtonDown(int x, int y)
{
    if (m_doc.GetDataSize() == 0)
        return false;
    struct SCandidate {
        const RECT* rc;
        ESelPane kind;
    };
    std::vector<SCandidate> candidates;
    if (m_frame.m_wChannels == 1)
        candidates = {{&m_rcOverview, PaneOverviewMono}, {&m_rcDetail, PaneDetailMono}};
    else
        candidates = {{&m_rcOverviewCh1, PaneOverviewCh1}, {&m_rcOverviewCh2, PaneOverviewCh2},
                      {&m_rcDetailCh1, PaneDetailCh1}, {&m_rcDetailCh2, PaneDetailCh2}};
    for (const SCandidate& c : candidates) {
        if (IsInsidePane(x, y, *c.rc)) {
            m_nSelPane = c.kind;
            m_bDragging = 1;
            m_nSelAnchor = m_nSelCurrent = x;
            m_frame.SetSelInfo(0.0, 0.0);
            return true;
        }
    }
    return false;
}

void CWaveViewCore::OnLButtonUp() { m_bDragging = 0; }

void CWaveViewCore::OnMouseMove(CDrawSurface& dc, int x, int y) { TrackSelection(dc, x, y); }

void CWaveViewCore::ResetScrollAndSelection()
{
    m_nStartFrame = 0;
    m_nSelAnchor = m_nSelCurrent;
    m_nSelPane = PaneNone;
}
