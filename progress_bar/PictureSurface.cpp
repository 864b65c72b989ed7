// A drawing surface's picture: placing it, its pixels, its text, and copies between surfaces.

#include "progress_bar/PictureSurface.h"

#include "platform/SystemColors.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace orvel {

namespace {

QRgb toRgb(std::uint32_t directColor)
{
    return qRgb(static_cast<int>(directColor & 0xFF), static_cast<int>((directColor >> 8) & 0xFF),
                static_cast<int>((directColor >> 16) & 0xFF));
}

// Text is measured on a picture like the ones it is drawn on, so that the sizes match
// whatever the screen's resolution.
const QImage& measuringDevice()
{
    static const QImage device(1, 1, QImage::Format_RGB32);
    return device;
}

// Hard glyph edges: where the bar's edge crosses the caption each side shows exactly
// one of the two colours.
QFont drawingFont(const QFont& font)
{
    QFont f(font);
    f.setStyleStrategy(QFont::NoAntialias);
    return f;
}

} // namespace

PictureSurface::PictureSurface(const QString& name, QWidget* parent)
    : QWidget(parent)
{
    setObjectName(name);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(0, 0, 0, 0);
}

bool PictureSurface::Move(double left, double top, double width, double height)
{
    if (!std::isfinite(left) || !std::isfinite(top) || !std::isfinite(width) || !std::isfinite(height))
        return false;
    if (width < 0 || height < 0 || width > 32767 || height > 32767 || std::fabs(left) > 32767 || std::fabs(top) > 32767)
        return false;
    const int l = static_cast<int>(std::nearbyint(left));
    const int t = static_cast<int>(std::nearbyint(top));
    const int w = static_cast<int>(std::nearbyint(width));
    const int h = static_cast<int>(std::nearbyint(height));
    if (l == m_left && t == m_top && w == m_width && h == m_height)
        return true;
    const bool resized = w != m_width || h != m_height;
    m_left = l;
    m_top = t;
    m_width = w;
    m_height = h;
    if (resized) {
        QImage grown(w, h, QImage::Format_RGB32);
        grown.fill(toRgb(ResolveColor(m_backColor)));
        const int keepW = std::min(w, m_image.width());
        const int keepH = keepW > 0 ? std::min(h, m_image.height()) : 0; // a zero-width picture has no rows
        for (int y = 0; y < keepH; ++y)
            std::memcpy(grown.scanLine(y), m_image.constScanLine(y), static_cast<size_t>(keepW) * 4);
        m_image = std::move(grown);
    }
    setGeometry(l, t, w, h);
    if (resized && onResized)
        onResized();
    return true;
}

void PictureSurface::setBackColor(std::uint32_t colorValue)
{
    m_backColor = colorValue;
    Cls();
}

void PictureSurface::setTextFont(const QFont& font)
{
    m_font = font;
}

void PictureSurface::Cls()
{
    if (!m_image.isNull())
        m_image.fill(toRgb(ResolveColor(m_backColor)));
}

void PictureSurface::SetPixel(int x, int y, std::uint32_t directColor)
{
    if (x < 0 || y < 0 || x >= m_image.width() || y >= m_image.height())
        return;
    reinterpret_cast<QRgb*>(m_image.scanLine(y))[x] = toRgb(directColor);
}

std::uint32_t PictureSurface::GetPixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_image.width() || y >= m_image.height())
        return 0;
    const QRgb p = reinterpret_cast<const QRgb*>(m_image.constScanLine(y))[x];
    return static_cast<std::uint32_t>(qRed(p)) | (static_cast<std::uint32_t>(qGreen(p)) << 8)
        | (static_cast<std::uint32_t>(qBlue(p)) << 16);
}

void PictureSurface::Print(const QString& text)
{
    if (m_image.isNull() || text.isEmpty())
        return;
    const QFont font = drawingFont(m_font);
    QPainter painter(&m_image);
    painter.setFont(font);
    painter.setPen(ToQColor(m_foreColor));
    // A half-pixel position is taken down to the pixel. Flooring (not rounding)
    // keeps text drawn on two surfaces whose origins differ by whole pixels in
    // register, so its halves meet exactly at the bar's edge.
    const int x = static_cast<int>(std::floor(CurrentX));
    const int y = static_cast<int>(std::floor(CurrentY));
    painter.drawText(QPoint(x, y + QFontMetrics(font, &m_image).ascent()), text);
}

double PictureSurface::TextWidth(const QString& text) const
{
    return QFontMetricsF(drawingFont(m_font), &measuringDevice()).horizontalAdvance(text);
}

double PictureSurface::TextHeight(const QString&) const
{
    return QFontMetricsF(drawingFont(m_font), &measuringDevice()).height();
}

void PictureSurface::ShowPicture()
{
    if (isVisible())
        repaint();
}

void PictureSurface::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, m_image);
}

void PictureSurface::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}

void PictureSurface::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

void PictureSurface::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
}

void PictureSurface::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
}

void BitBlt(PictureSurface& destination, int x, int y, int width, int height, const PictureSurface& source, int sourceX,
            int sourceY)
{
    if (width <= 0 || height <= 0)
        return;
    QImage& dst = destination.picture();
    const QImage& src = source.picture();
    // Clip against both pictures, moving source and destination together.
    int left = 0;
    int top = 0;
    int right = width;
    int bottom = height;
    left = std::max({left, -x, -sourceX});
    top = std::max({top, -y, -sourceY});
    right = std::min({right, dst.width() - x, src.width() - sourceX});
    bottom = std::min({bottom, dst.height() - y, src.height() - sourceY});
    if (left >= right || top >= bottom)
        return;
    const size_t bytes = static_cast<size_t>(right - left) * 4;
    if (&dst == &src && sourceY + top < y + top) {
        for (int row = bottom - 1; row >= top; --row)
            std::memmove(dst.scanLine(y + row) + (x + left) * 4,
                         src.constScanLine(sourceY + row) + (sourceX + left) * 4, bytes);
        return;
    }
    for (int row = top; row < bottom; ++row)
        std::memmove(dst.scanLine(y + row) + (x + left) * 4, src.constScanLine(sourceY + row) + (sourceX + left) * 4,
                     bytes);
}

void StretchRow(PictureSurface& surface, int length)
{
    QImage& image = surface.picture();
    length = std::min(length, image.width());
    if (length <= 0 || image.height() == 0)
        return;
    // Stretching a row onto the full width: each column takes the pixel of the row
    // that maps onto it; with equal widths that is a plain repeat.
    if (length != image.width()) {
        const QImage row = image.copy(0, 0, length, 1).scaled(image.width(), 1);
        std::memcpy(image.scanLine(0), row.constScanLine(0), static_cast<size_t>(image.width()) * 4);
    }
    for (int y = 1; y < image.height(); ++y)
        std::memcpy(image.scanLine(y), image.constScanLine(0), static_cast<size_t>(image.width()) * 4);
}

void StretchColumn(PictureSurface& surface, int length)
{
    QImage& image = surface.picture();
    length = std::min(length, image.height());
    if (length <= 0 || image.width() == 0)
        return;
    std::vector<QRgb> column(static_cast<size_t>(image.height()));
    for (int y = 0; y < image.height(); ++y)
        column[static_cast<size_t>(y)] = reinterpret_cast<const QRgb*>(
            image.constScanLine(static_cast<int>(static_cast<long long>(y) * length / image.height())))[0];
    for (int y = 0; y < image.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        std::fill(line, line + image.width(), column[static_cast<size_t>(y)]);
    }
}

} // namespace orvel
