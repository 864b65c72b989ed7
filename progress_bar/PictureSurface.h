// The progress bar's drawing surfaces, and the block copies between them.
#pragma once

#include <QFont>
#include <QImage>
#include <QWidget>

#include <cstdint>
#include <functional>

namespace orvel {

// One drawing surface of the progress bar: a child window with a persistent picture.
// What is drawn stays until it is overwritten; assigning the background colour fills
// the whole picture with it. Geometry is in whole pixels of the parent. Colours are
// colour values (direct 0x00BBGGRR or system colours), resolved when used.
class PictureSurface : public QWidget {
    Q_OBJECT
public:
    PictureSurface(const QString& name, QWidget* parent);

    // Places the surface; sizes are rounded to whole pixels, halves to even. A
    // negative size is refused (false) and the surface stays where it was. When the
    // size changes the picture keeps its content at the top left, new parts take the
    // background colour, and onResized runs before Move returns.
    bool Move(double left, double top, double width, double height);
    int Left() const { return m_left; }
    int Top() const { return m_top; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int ScaleWidth() const { return m_width; } // no border: inner size = outer size
    int ScaleHeight() const { return m_height; }

    std::uint32_t BackColor() const { return m_backColor; }
    void setBackColor(std::uint32_t colorValue); // and clears
    std::uint32_t ForeColor() const { return m_foreColor; }
    void setForeColor(std::uint32_t colorValue) { m_foreColor = colorValue; }
    const QFont& TextFont() const { return m_font; }
    void setTextFont(const QFont& font);

    // Fills the picture with the background colour.
    void Cls();

    // Direct colours 0x00BBGGRR; points outside the picture are ignored (set) or read
    // as black.
    void SetPixel(int x, int y, std::uint32_t directColor);
    std::uint32_t GetPixel(int x, int y) const;

    float CurrentX = 0;
    float CurrentY = 0;
    // Draws one line of text with its top left at (CurrentX, CurrentY), in the text
    // colour, glyph cells left transparent.
    void Print(const QString& text);
    double TextWidth(const QString& text) const;
    double TextHeight(const QString& text) const;

    // Puts the picture on the screen now (nothing while the surface is hidden).
    void ShowPicture();

    QImage& picture() { return m_image; }
    const QImage& picture() const { return m_image; }

    std::function<void()> onResized;

protected:
    void paintEvent(QPaintEvent* event) override;
    // The surfaces keep their mouse input; only the control's own surface reports it.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QImage m_image;
    int m_left = 0;
    int m_top = 0;
    int m_width = 0;
    int m_height = 0;
    std::uint32_t m_backColor = 0xFFFFFF;
    std::uint32_t m_foreColor = 0;
    QFont m_font;
};

// Block copies between surfaces. Pixels that fall outside either picture are left
// out; an empty or negative rectangle copies nothing.
void BitBlt(PictureSurface& destination, int x, int y, int width, int height, const PictureSurface& source, int sourceX,
            int sourceY);
// Repeats row 0 (the first `length` pixels) over the whole picture.
void StretchRow(PictureSurface& surface, int length);
// Repeats column 0 (the first `length` pixels) over the whole picture.
void StretchColumn(PictureSurface& surface, int length);

} // namespace orvel
