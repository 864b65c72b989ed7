// Painting the progress bar: its colour fades, the bar and the caption.
// Fades are rendered into DBG and DFG once per change of look; repaints copy pieces onto BG and FG.

#include "progress_bar/MProgress.h"

#include "platform/SystemColors.h"
#include "progress_bar/PictureSurface.h"

#include <algorithm>
#include <cmath>

namespace orvel {

namespace {

int roundEven(double v)
{
    return static_cast<int>(std::nearbyint(v));
}

// One channel step of the fade, by blend law. Worked in double precision and stored
// back as a float, like the colour it updates.
float blendStep(int blend, float c, float s, float start, float end)
{
    const double C = c;
    const double S = s;
    switch (blend) {
    case 0: return static_cast<float>(C + S);
    case 1: return static_cast<float>(C * 0.25 + (C + S) * 0.75);
    case 2: return static_cast<float>(C / 2.0 + (C + S) / 2.0);
    case 3: return static_cast<float>(C * 0.75 + (C + S) * 0.25);
    case 4:
        return static_cast<float>(C + S + std::cos(static_cast<double>(start)) + std::sin(static_cast<double>(end)));
    case 5:
        return static_cast<float>(C + S + std::cos(static_cast<double>(start)) - std::sin(static_cast<double>(end)));
    case 6:
        return static_cast<float>(C + S - std::cos(static_cast<double>(start)) + std::sin(static_cast<double>(end)));
    default: return c;
    }
}

// Relative luminance of a direct colour 0x00BBGGRR (sRGB, as the accessibility
// guidelines measure it), and the contrast ratio of two colours, 1 to 21.
double luminance(std::uint32_t color)
{
    const auto channel = [](std::uint32_t v) {
        const double s = v / 255.0;
        return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(color & 0xFF) + 0.7152 * channel((color >> 8) & 0xFF)
        + 0.0722 * channel((color >> 16) & 0xFF);
}

double contrast(std::uint32_t a, std::uint32_t b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Shades both ends of a fade alike towards black or white, whichever lies further from
// the text colour, by the least step that lets text in that colour read at 4.5:1
// against either end. Black or white itself always does.
void keepReadable(std::uint32_t text, std::uint32_t& from, std::uint32_t& to)
{
    const std::uint32_t away = contrast(text, 0x000000) >= contrast(text, 0xFFFFFF) ? 0x000000 : 0xFFFFFF;
    const auto shade = [away](std::uint32_t c, double t) {
        std::uint32_t out = 0;
        for (int shift = 0; shift <= 16; shift += 8) {
            const double v = ((c >> shift) & 0xFF) * (1 - t) + ((away >> shift) & 0xFF) * t;
            out |= static_cast<std::uint32_t>(std::lround(v)) << shift;
        }
        return out;
    };
    for (int step = 0; step <= 20; ++step) {
        const std::uint32_t a = shade(from, step / 20.0);
        const std::uint32_t b = shade(to, step / 20.0);
        if (contrast(text, a) >= 4.5 && contrast(text, b) >= 4.5) {
            from = a;
            to = b;
            return;
        }
    }
}

bool isSystemColor(std::uint32_t value)
{
    return (value & SystemColorFlag) != 0;
}

} // namespace

void MProgress::BuildFades()
{
    m_BG->Cls();
    m_FG->Cls();
    m_CaptionCleared = true; // without fades the caption would otherwise count as drawn

    // System colours become the direct colours the screen shows, for this rendering
    // only. Resolving goes through DBG, which is left filled with the last of them.
    std::uint32_t colors[4] = {m_FadeBG1, m_FadeBG2, m_FadeFG1, m_FadeFG2};
    for (std::uint32_t& c : colors) {
        const auto asSigned = static_cast<std::int32_t>(c);
        if (asSigned >= 0 && asSigned <= 0xFFFFFF)
            continue;
        m_DBG->setBackColor(c);
        c = ResolveColor(c);
    }
    // The caption over the empty part is drawn in ForeColor. When it and the fade behind
    // it all come from the palette, a theme can pair them badly (a dark theme with light
    // text that leaves the 3-D shades light): the fade is then darkened (or lightened)
    // just enough for the caption to read. Colours the host chose are left alone.
    if (isSystemColor(m_ForeColor) && isSystemColor(m_FadeBG1) && isSystemColor(m_FadeBG2))
        keepReadable(ResolveColor(m_ForeColor), colors[0], colors[1]);

    if (m_Fade == 1 || m_Fade == 2) {
        const bool horizontal = m_Fade == 1;
        RenderFade(*m_DBG, colors[0], colors[1], horizontal);
        RenderFade(*m_DFG, colors[2], colors[3], horizontal);
    }

    if (automatic())
        PaintBar();
}

void MProgress::RenderFade(PictureSurface& buffer, std::uint32_t from, std::uint32_t to, bool horizontal)
{
    const float L = static_cast<float>(horizontal ? buffer.ScaleWidth() : buffer.ScaleHeight());
    if (L <= 0.0f)
        return; // nothing to spread a fade over

    const auto c1 = static_cast<std::int32_t>(from);
    const auto c2 = static_cast<std::int32_t>(to);
    // Blue, green, red of the start colour, then of the end colour: whole channels.
    const std::int32_t channels[6] = {c1 / 65536, (c1 % 65536) / 256, c1 % 256,
                                      c2 / 65536, (c2 % 65536) / 256, c2 % 256};
    float E[6];
    for (int i = 0; i < 6; ++i)
        E[i] = static_cast<float>(channels[i]);
    float C[3] = {E[0], E[1], E[2]};
    float S[3];
    for (int i = 0; i < 3; ++i)
        S[i] = static_cast<float>((static_cast<double>(E[i + 3]) - static_cast<double>(E[i])) / static_cast<double>(L));

    // Pixel p shows the colour after p steps. The last of the N + 1 points lies just
    // past the edge, so a plain linear fade stops one step short of its end colour.
    const int N = roundEven(L);
    for (int p = 0; p <= N; ++p) {
        const std::uint32_t color = static_cast<std::uint32_t>(roundEven(C[2]))
            | (static_cast<std::uint32_t>(roundEven(C[1])) << 8) | (static_cast<std::uint32_t>(roundEven(C[0])) << 16);
        if (horizontal)
            buffer.SetPixel(p, 0, color);
        else
            buffer.SetPixel(0, p, color);
        for (int i = 0; i < 3; ++i)
            C[i] = blendStep(m_Blend, C[i], S[i], E[i], E[i + 3]);
        for (int i = 0; i < 3; ++i)
            if (C[i] < 0.0f)
                C[i] = 0.0f;
        for (int i = 0; i < 3; ++i)
            if (C[i] > 255.0f)
                C[i] = 255.0f;
    }

    if (horizontal)
        StretchRow(buffer, static_cast<int>(L));
    else
        StretchColumn(buffer, static_cast<int>(L));
}

void MProgress::PaintBar()
{
    ComposeCaption();

    if (m_Fade != 0 && m_Direction >= 0 && m_Direction <= 3) {
        const float W = static_cast<float>(m_BG->ScaleWidth());
        const float H = static_cast<float>(m_BG->ScaleHeight());
        const float fgLeft = static_cast<float>(m_FG->Left());
        const float fgTop = static_cast<float>(m_FG->Top());
        const float fw = static_cast<float>(m_FG->ScaleWidth());
        const float fh = static_cast<float>(m_FG->ScaleHeight());
        const bool sliding = m_FadeStyle == 1;
        PictureSurface& bg = *m_BG;
        PictureSurface& fg = *m_FG;
        const PictureSurface& dbg = *m_DBG;
        const PictureSurface& dfg = *m_DFG;
        const int w = roundEven(W);
        const int h = roundEven(H);
        switch (m_Direction) {
        case 0: { // left to right
            const int e = roundEven(fgLeft + fw);
            BitBlt(bg, e, 0, roundEven(W - e), h, dbg, sliding ? 0 : e, 0);
            BitBlt(fg, 1, 0, roundEven(fw - 1), h, dfg, sliding ? roundEven(W - fw + 1) : 0, 0);
            break;
        }
        case 1: { // bottom to top
            const int e = roundEven(fgTop);
            BitBlt(bg, 0, 0, w, e, dbg, 0, sliding ? roundEven(H - e) : 0);
            BitBlt(fg, 0, 0, w, roundEven(fh), dfg, 0, sliding ? 0 : e);
            break;
        }
        case 2: { // right to left
            const int e = roundEven(fgLeft);
            BitBlt(bg, 0, 0, e, h, dbg, sliding ? roundEven(W - e) : 0, 0);
            BitBlt(fg, 0, 0, roundEven(fw), h, dfg, sliding ? 0 : e, 0);
            break;
        }
        case 3: { // top to bottom
            const int e = roundEven(fgTop + fh);
            BitBlt(bg, 0, e, w, roundEven(H - e), dbg, 0, sliding ? 0 : e);
            BitBlt(fg, 0, 1, w, roundEven(fh - 1), dfg, 0, sliding ? roundEven(H - fh + 1) : 0);
            break;
        }
        }
    }

    CaptionStep();

    m_BG->ShowPicture();
    m_FG->ShowPicture();
    announceShownValue();
}

void MProgress::CaptionStep()
{
    if (m_CaptionText.isEmpty())
        return;

    const float W = static_cast<float>(m_BG->ScaleWidth());
    const float H = static_cast<float>(m_BG->ScaleHeight());
    const float fgLeft = static_cast<float>(m_FG->Left());
    const float fgTop = static_cast<float>(m_FG->Top());
    const float fgWidth = static_cast<float>(m_FG->Width());
    const float fgHeight = static_cast<float>(m_FG->Height());
    const float fw = static_cast<float>(m_FG->ScaleWidth());
    const float fh = static_cast<float>(m_FG->ScaleHeight());
    const float tw = m_CaptionWidth;
    const float th = m_CaptionHeight;
    const float k = m_CaptionInset;

    bool onBG = false;
    bool onFG = false;
    if (m_Direction >= 0 && m_Direction <= 3) {
        const bool horizontal = m_Direction == 0 || m_Direction == 2;
        // Across the bar: centred, on both surfaces alike.
        if (horizontal) {
            m_BG->CurrentY = (H - th) / 2 + k;
            m_FG->CurrentY = m_BG->CurrentY - fgTop;
        } else {
            m_BG->CurrentX = (W - tw) / 2 + k;
            m_FG->CurrentX = m_BG->CurrentX - fgLeft;
        }
        // Along the bar. Alignments 1 to 4 follow the leading edge and go on one
        // surface; the others are fixed to the control and go on both.
        float& bgAlong = horizontal ? m_BG->CurrentX : m_BG->CurrentY;
        float& fgAlong = horizontal ? m_FG->CurrentX : m_FG->CurrentY;
        const float fgOffset = horizontal ? fgLeft : fgTop;
        switch (m_Alignment) {
        case 1: // in the empty part, just past the leading edge
            switch (m_Direction) {
            case 0: bgAlong = fgWidth + k; break;
            case 2: bgAlong = fgLeft - tw + k; break;
            case 1: bgAlong = fgTop - th + k; break;
            case 3: bgAlong = fgHeight + k; break;
            }
            onBG = true;
            break;
        case 2: // in the filled part, against the leading edge
            switch (m_Direction) {
            case 0: fgAlong = fw - tw + k; break;
            case 1:
            case 2: fgAlong = k; break;
            case 3: fgAlong = fh - th + k; break;
            }
            onFG = true;
            break;
        case 3: // centred in the empty part
            switch (m_Direction) {
            case 0: bgAlong = (W - fgWidth - tw) / 2 + fgWidth + k; break;
            case 2: bgAlong = (fgLeft - tw) / 2 + k; break;
            case 1: bgAlong = (fgTop - th) / 2 + k; break;
            case 3: bgAlong = (H - fgHeight - th) / 2 + fgHeight + k; break;
            }
            onBG = true;
            break;
        case 4: // centred in the filled part
            fgAlong = horizontal ? (fw - tw) / 2 + k : (fh - th) / 2 + k;
            onFG = true;
            break;
        case 5: // the control's left or top end
            bgAlong = k;
            fgAlong = bgAlong - fgOffset;
            onBG = onFG = true;
            break;
        case 6: // the control's right or bottom end
            bgAlong = horizontal ? W - tw + k : H - th + k;
            fgAlong = bgAlong - fgOffset;
            onBG = onFG = true;
            break;
        default: // centred on the control
            bgAlong = horizontal ? (W - tw) / 2 + k : (H - th) / 2 + k;
            fgAlong = bgAlong - fgOffset;
            onBG = onFG = true;
            break;
        }
    }

    // Without fades nothing else repaints the surfaces, so they are cleared for a
    // new text, and an unchanged text is left as it stands.
    if (m_Fade == 0 && !m_CaptionUnchanged) {
        m_BG->Cls();
        m_FG->Cls();
    }
    if (m_Fade == 0 && m_CaptionUnchanged)
        return;
    if (onBG)
        m_BG->Print(m_CaptionText);
    if (onFG)
        m_FG->Print(m_CaptionText);
}

} // namespace orvel
