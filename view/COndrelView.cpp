#include "view/COndrelView.h"

#include "doc/COndrelDoc.h"
#include "frame/CCurrentFormat.h"
#include "framework/MessageBox.h"
#include "framework/ReasonText.h"
#include "res/resource.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

namespace {
constexpr int kScrollRange = 1000;

COLORREF FromQColor(const QColor& c) { return RGB(c.red(), c.green(), c.blue()); }

CDrawSurface SurfaceOn(QImage& image)
{
    return CDrawSurface(reinterpret_cast<std::uint32_t*>(image.bits()), image.width(), image.height(),
                        static_cast<int>(image.bytesPerLine() / 4));
}
} // namespace

COndrelView::COndrelView(COndrelDoc& doc, QWidget* parent)
    : QWidget(parent), CWaveViewCore(doc), m_doc(doc), m_pScroll(new QScrollBar(Qt::Horizontal, this))
{
    setAttribute(Qt::WA_OpaquePaintEvent); // every paint covers the whole client area
    setMouseTracking(true);                // moves arrive with no button held too
    // A click in the waveform takes the keyboard from the recording panel's
    // box, so Delete and Ctrl+Z reach the commands again.
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(64, 64);
    m_pScroll->setRange(0, kScrollRange);
    m_pScroll->setPageStep(10);
    m_pScroll->hide(); // shown by the first initial update
    connect(m_pScroll, &QScrollBar::actionTriggered, this, &COndrelView::OnScrollAction);
    // The thumb is dropped where the drag put it: the bar's own position has
    // been rounded to the start frame meanwhile.
    connect(m_pScroll, &QScrollBar::sliderReleased, this, [this] {
        const int position = m_nTrackPos >= 0 ? m_nTrackPos : m_pScroll->sliderPosition();
        m_nTrackPos = -1;
        HScroll(SB_THUMBPOSITION, position);
    });
    ReadSystemColors();
    m_doc.AddView(this);

    OnCommand(ID_PCM_RECORD, [this] { OnPcmRecord(); });
    OnCommand(ID_PCM_PLAY, [this] { OnPcmPlay(); });
    OnCommand(ID_PCM_STOP, [this] { OnPcmStop(); });
    OnUpdateCommand(ID_PCM_RECORD, [this](CCmdUI* ui) {
        ui->SetCheck(m_nTransport == 1);
        ui->Enable(m_nTransport != 2);
    });
    OnUpdateCommand(ID_PCM_PLAY, [this](CCmdUI* ui) {
        ui->SetCheck(m_nTransport == 2);
        ui->Enable(m_nTransport == 2 || (m_nTransport == 0 && m_doc.GetDataSize() != 0));
    });
    OnUpdateCommand(ID_PCM_STOP, [this](CCmdUI* ui) {
        ui->SetCheck(0);
        ui->Enable(m_nTransport != 0);
    });

    OnCommand(ID_EDIT_DELETE, [this] { OnEditDelete(); });
    OnUpdateCommand(ID_EDIT_DELETE, [this](CCmdUI* ui) {
        // Nothing may change the data while a sound device holds it.
        ui->Enable(GetSelectionLength() != 0 && IsDataFree());
    });
}

COndrelView::~COndrelView() { m_doc.RemoveView(this); }

void COndrelView::ReadSystemColors()
{
    const QPalette pal = palette();
    m_colors.menu = FromQColor(pal.color(QPalette::Window));
    m_colors.btnHighlight = FromQColor(pal.color(QPalette::Light));
    m_colors.btnShadow = FromQColor(pal.color(QPalette::Dark));
    m_colors.nFrameMetric = 4;
}

void COndrelView::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::PaletteChange || e->type() == QEvent::StyleChange) {
        ReadSystemColors();
        Invalidate();
    }
    QWidget::changeEvent(e);
}

QSize COndrelView::ClientSize() const
{
    const int bar = m_pScroll->isHidden() ? 0 : m_pScroll->sizeHint().height();
    return QSize(width(), std::max(0, height() - bar));
}

void COndrelView::LayoutScrollBar()
{
    const int bar = m_pScroll->sizeHint().height();
    m_pScroll->setGeometry(0, height() - bar, width(), bar);
}

void COndrelView::resizeEvent(QResizeEvent* e)
{
    LayoutScrollBar();
    Invalidate();
    QWidget::resizeEvent(e);
}

void COndrelView::Invalidate()
{
    m_bFullPaintPending = true;
    update();
}

bool COndrelView::EnsureImage()
{
    const QSize size = ClientSize();
    if (size.isEmpty())
        return false;
    if (m_image.size() != size) {
        m_image = QImage(size, QImage::Format_RGB32);
        m_bFullPaintPending = true;
    }
    return true;
}

void COndrelView::PaintNow()
{
    // While a run writes the block on its worker thread the image stays as
    // it was; the run's end repaints.
    if (m_doc.IsBusy() || !EnsureImage())
        return;
    if (m_bFullPaintPending) {
        CDrawSurface dc = SurfaceOn(m_image);
        OnDraw(dc);
        m_bFullPaintPending = false;
    }
}

void COndrelView::paintEvent(QPaintEvent*)
{
    PaintNow();
    QPainter painter(this);
    if (!m_image.isNull())
        painter.drawImage(0, 0, m_image);
}

void COndrelView::OnUpdate(CView*, std::intptr_t, void*) { Invalidate(); }

void COndrelView::OnInitialUpdate()
{
    // A document that was replaced takes its selection and scroll place
    // with it: the pixels would otherwise stand for other bytes.
    m_bDragging = 0;
    ResetScrollAndSelection();
    SetScrollPos(0);
    LayoutScrollBar();
    m_pScroll->show();
    m_doc.GetFrame().SetSelInfo(0.0, 0.0);
    Invalidate();
}

void COndrelView::SetScrollPos(int position)
{
    m_nScrollPos = position;
    const bool bWasSetting = m_bSettingScroll;
    m_bSettingScroll = true;
    m_pScroll->setSliderPosition(position);
    m_bSettingScroll = bWasSetting;
}

void COndrelView::OnScrollAction(int action)
{
    // The bar reports our own setting of its position as a move: not a
    // scroll of the user's.
    if (m_bSettingScroll)
        return;
    if (action == QAbstractSlider::SliderMove && m_pScroll->isSliderDown())
        m_nTrackPos = m_pScroll->sliderPosition();
    int code;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub: code = SB_LINELEFT; break;
    case QAbstractSlider::SliderSingleStepAdd: code = SB_LINERIGHT; break;
    case QAbstractSlider::SliderPageStepSub: code = SB_PAGELEFT; break;
    case QAbstractSlider::SliderPageStepAdd: code = SB_PAGERIGHT; break;
    case QAbstractSlider::SliderMove: code = SB_THUMBTRACK; break;
    case QAbstractSlider::SliderToMinimum: code = SB_LEFT; break;
    case QAbstractSlider::SliderToMaximum: code = SB_RIGHT; break;
    default: code = SB_ENDSCROLL; break;
    }
    HScroll(code, m_pScroll->sliderPosition());
}

void COndrelView::HScroll(int nCode, int nThumbPos)
{
    int position = m_nScrollPos;
    bool bScrolled = false;
    if (m_doc.IsBusy()) {
        // The detail pane would be drawn from the block a run is writing.
    } else if (!m_image.isNull() && m_image.size() == ClientSize()) {
        CDrawSurface dc = SurfaceOn(m_image);
        bScrolled = OnHScroll(nCode, nThumbPos, m_pScroll->maximum(), dc, position);
        if (bScrolled)
            update();
    } else {
        // Nothing drawn yet: scroll, and let the full paint show it.
        QImage scratch(1, 1, QImage::Format_RGB32);
        CDrawSurface dc = SurfaceOn(scratch);
        bScrolled = OnHScroll(nCode, nThumbPos, m_pScroll->maximum(), dc, position);
        if (bScrolled)
            Invalidate();
    }
    // The position is always the one worked out from the start frame; a
    // scroll that did not happen (no data) leaves the thumb where it was.
    SetScrollPos(bScrolled ? position : m_nScrollPos);
}

void COndrelView::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton || m_doc.IsBusy())
        return QWidget::mousePressEvent(e);
    const QPoint pt = e->position().toPoint();
    if (OnLButtonDown(pt.x(), pt.y()))
        Invalidate(); // the repaint shows the new, empty selection
}

void COndrelView::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton)
        OnLButtonUp();
    QWidget::mouseReleaseEvent(e);
}

void COndrelView::mouseMoveEvent(QMouseEvent* e)
{
    if (m_doc.IsBusy())
        return QWidget::mouseMoveEvent(e);
    // A drag inverts only the columns it crosses, straight on the image.
    PaintNow();
    if (!m_image.isNull()) {
        CDrawSurface dc = SurfaceOn(m_image);
        const QPoint pt = e->position().toPoint();
        OnMouseMove(dc, pt.x(), pt.y());
        update();
    }
    QWidget::mouseMoveEvent(e);
}

void COndrelView::OnEditDelete()
{
    const std::uint32_t length = GetSelectionLength();
    if (length == 0)
        return;
    const std::uint32_t offset = GetSelectionStart();
    if (!m_doc.DeleteRange(offset, length)) {
        AfxMessageBox(ReasonText(m_doc.GetError()));
        return;
    }
    m_doc.GetFrame().SetDataSize(m_doc.GetDataSize());
    SetScrollPos(0);
    ResetScrollAndSelection();
    m_doc.GetFrame().SetSelInfo(0.0, 0.0);
}

bool COndrelView::OnCmdMsg(unsigned nID, CCmdUI* pCmdUI)
{
    return CCmdTarget::OnCmdMsg(nID, pCmdUI) || m_doc.OnCmdMsg(nID, pCmdUI);
}

bool COndrelView::HasCommand(unsigned nID) const
{
    return CCmdTarget::HasCommand(nID) || m_doc.HasCommand(nID);
}

void COndrelView::OnPcmRecord()
{
    // Record while recording, or while a device still holds the block, does
    // nothing: the block must not be released under the device.
    if (m_nTransport != 0 || m_doc.m_wave.IsDeviceBusy())
        return;
    // Recording replaces the audio: unsaved changes are asked about first.
    if (m_replaceHandler && !m_replaceHandler())
        return;
    if (m_doc.BeginRecording(this) != 0) {
        m_doc.CloseRecording();
        // A refused time has had the panel's own message already.
        if (!m_doc.GetError().IsNone())
            AfxMessageBox(ReasonText(m_doc.GetError()));
        return;
    }
    m_nTransport = 1;
}

void COndrelView::OnPcmPlay()
{
    if (m_nTransport != 0 || m_doc.m_wave.IsDeviceBusy())
        return; // play while playing: the queued buffer stays as it is
    const std::uint32_t length = GetSelectionLength();
    const int ok = length != 0 ? m_doc.PlayRange(this, GetSelectionStart(), length) : m_doc.PlayAll(this);
    if (ok) {
        m_nTransport = 2;
    } else {
        m_doc.ClosePlayback();
        // Nothing plays: say why rather than stay silent.
        if (!m_doc.GetError().IsNone())
            AfxMessageBox(ReasonText(m_doc.GetError()));
    }
}

void COndrelView::OnPcmStop()
{
    if (m_nTransport == 1)
        m_doc.StopRecording();
    else if (m_nTransport == 2)
        m_doc.StopPlayback();
    m_nTransport = 0;
}

void COndrelView::OnWomDone(WAVEHDR*)
{
    m_doc.ClosePlayback();
    m_nTransport = 0;
}

void COndrelView::OnWimData(WAVEHDR* pHdr)
{
    const std::uint32_t bytes = pHdr ? pHdr->dwBytesRecorded : 0;
    m_doc.CloseRecording();
    // The recorded format becomes the current one (FinishRecording); the
    // panel is not read again, so the data is never shown in another format.
    m_doc.FinishRecording(bytes);
    m_doc.GetFrame().SetDataSize(m_doc.GetDataSize());
    m_nTransport = 0;
    SetScrollPos(0);
    m_bDragging = 0;
    ResetScrollAndSelection();
    m_doc.GetFrame().SetSelInfo(0.0, 0.0);
    Invalidate();
}

bool COndrelView::IsDataFree() const { return m_nTransport == 0 && !m_doc.m_wave.IsDeviceBusy(); }
