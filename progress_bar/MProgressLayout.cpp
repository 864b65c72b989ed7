// Placing the progress bar's surfaces: resizing, the four directions, the border, a new parent.

#include "progress_bar/MProgress.h"

#include "progress_bar/PictureSurface.h"

#include <QApplication>

#include <cmath>

namespace orvel {

void MProgress::ResizeHandling()
{
    // The surfaces fill the control. A surface that cannot be placed stays where it
    // was; the handling carries on.
    const int w = width();
    const int h = height();
    m_DBG->Move(0, 0, w, h);
    m_DFG->Move(0, 0, w, h);
    m_BG->Move(0, 0, w, h);
    if (automatic())
        LayoutStep();
    BuildFades();
    Q_EMIT Resize();
}

void MProgress::LayoutStep()
{
    const float W = static_cast<float>(m_BG->ScaleWidth());
    const float H = static_cast<float>(m_BG->ScaleHeight());
    // The bar's length, in whole pixels, halves to even. In directions 0 and 3 the
    // bar starts one pixel before the edge and may reach one pixel further, so that
    // its first column (row) is hidden and a full bar still covers everything.
    std::int16_t s = 0;
    if (m_ValueOffset.raw() != 0 && m_ValueRange.raw() != 0) {
        const double offset = m_ValueOffset.toDouble();
        const double range = m_ValueRange.toDouble();
        double length = 0;
        switch (m_Direction) {
        case 0: length = offset * static_cast<double>(W + 1.0f) / range; break;
        case 1: length = offset * static_cast<double>(H) / range; break;
        case 2: length = offset * static_cast<double>(W) / range; break;
        case 3: length = offset * static_cast<double>(H + 1.0f) / range; break;
        default: break;
        }
        const double rounded = std::nearbyint(length);
        if (rounded >= -32768.0 && rounded <= 32767.0)
            s = static_cast<std::int16_t>(rounded);
    }
    // Moving FG re-enters the control through FG_Resize when its size changes.
    switch (m_Direction) {
    case 0: m_FG->Move(-1, 0, s, H); break;
    case 1: m_FG->Move(0, H - s, W, s); break;
    case 2: m_FG->Move(W - s, 0, s, H); break;
    case 3: m_FG->Move(0, -1, W, s); break;
    default: break; // an unknown direction leaves the bar where it is
    }
}

void MProgress::FG_Resize()
{
    if (automatic())
        PaintBar();
    Q_EMIT BarResize();
}

void MProgress::updateCaptionInset()
{
    m_CaptionInset = (m_BorderStyle == 0 || m_BorderStyle == 1 || m_BorderStyle == 2) ? 1 : 0;
}

void MProgress::setBorderStyle(int value)
{
    if (value > 6)
        value = 6;
    m_BorderStyle = value;
    notify(QStringLiteral("BorderStyle"));
    updateCaptionInset();
    ResizeHandling();
    update();
}

void MProgress::SetParent(quintptr handle)
{
    QWidget* newParent = nullptr;
    if (handle != 0) {
        for (QWidget* w : QApplication::allWidgets())
            if (WindowHandleOf(w) == handle) {
                newParent = w;
                break;
            }
        if (!newParent)
            newParent = QWidget::find(static_cast<WId>(handle));
        if (!newParent || newParent == this || isAncestorOf(newParent))
            return; // the call fails; nothing changes
    }
    const bool wasShown = !isHidden();
    const QPoint at = pos();
    setParent(newParent);
    move(at);
    if (wasShown)
        show();
}

} // namespace orvel
