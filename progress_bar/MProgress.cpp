// The progress bar's construction, its property setters, its caption text and its input events.

#include "progress_bar/MProgress.h"

#include "platform/PlatformError.h"
#include "progress_bar/PictureSurface.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QShowEvent>

#include <cmath>

namespace orvel {

namespace {

// The names the host hears in its property-change notification; several are the
// saved names rather than the property names.
const QString kPercentAlign = QStringLiteral("PercentAlign");
const QString kBackColor = QStringLiteral("BackColor");
const QString kBlend = QStringLiteral("Blend");
const QString kPercentBefore = QStringLiteral("PercentBefore");
const QString kPercentAfter = QStringLiteral("PercentAfter");
const QString kCustomText = QStringLiteral("CustomText");
const QString kDirection = QStringLiteral("Direction");
const QString kReverse = QStringLiteral("Reverse");
const QString kVertical = QStringLiteral("Vertical");
const QString kNoPercent = QStringLiteral("NoPercent");
const QString kFade = QStringLiteral("Fade");
const QString kFadeBG1 = QStringLiteral("FadeBG1");
const QString kFadeBG2 = QStringLiteral("FadeBG2");
const QString kFadeFG1 = QStringLiteral("FadeFG1");
const QString kFadeFG2 = QStringLiteral("FadeFG2");
const QString kFadeStyle = QStringLiteral("FadeStyle");
const QString kFont = QStringLiteral("Font");
const QString kForeColor = QStringLiteral("ForeColor");
const QString kManualRefresh = QStringLiteral("ManualRefresh");
const QString kMax = QStringLiteral("Max");
const QString kMin = QStringLiteral("Min");
const QString kScaleMode = QStringLiteral("ScaleMode");
const QString kCustom = QStringLiteral("Custom");
const QString kValue = QStringLiteral("Value");

std::uint8_t toByte(long long value)
{
    if (value < 0 || value > 255)
        throw PlatformError(PlatformError::Overflow);
    return static_cast<std::uint8_t>(value);
}

std::int16_t toInt16(long long value)
{
    if (value < -32768 || value > 32767)
        throw PlatformError(PlatformError::Overflow);
    return static_cast<std::int16_t>(value);
}

// Scale modes of the control's own surface: 0 user (twips here), 1 twips, 2 points,
// 3 pixels, 4 characters, 5 inches, 6 millimetres, 7 centimetres.
constexpr int InvalidPropertyValue = 380;

// Windows virtual-key codes, which the key events report.
short virtualKeyCode(const QKeyEvent* event)
{
    const int key = event->key();
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return static_cast<short>(key); // same codes as the capital letters
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return static_cast<short>(event->modifiers() & Qt::KeypadModifier ? 0x60 + (key - Qt::Key_0) : key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return static_cast<short>(0x70 + (key - Qt::Key_F1));
    switch (key) {
    case Qt::Key_Backspace: return 0x08;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return 0x09;
    case Qt::Key_Clear: return 0x0C;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 0x0D;
    case Qt::Key_Shift: return 0x10;
    case Qt::Key_Control: return 0x11;
    case Qt::Key_Alt: return 0x12;
    case Qt::Key_Pause: return 0x13;
    case Qt::Key_CapsLock: return 0x14;
    case Qt::Key_Escape: return 0x1B;
    case Qt::Key_Space: return 0x20;
    case Qt::Key_PageUp: return 0x21;
    case Qt::Key_PageDown: return 0x22;
    case Qt::Key_End: return 0x23;
    case Qt::Key_Home: return 0x24;
    case Qt::Key_Left: return 0x25;
    case Qt::Key_Up: return 0x26;
    case Qt::Key_Right: return 0x27;
    case Qt::Key_Down: return 0x28;
    case Qt::Key_Print: return 0x2C;
    case Qt::Key_Insert: return 0x2D;
    case Qt::Key_Delete: return 0x2E;
    case Qt::Key_Asterisk: return 0x6A;
    case Qt::Key_Plus: return 0xBB;
    case Qt::Key_Comma: return 0xBC;
    case Qt::Key_Minus: return 0xBD;
    case Qt::Key_Period: return 0xBE;
    case Qt::Key_Slash: return 0xBF;
    case Qt::Key_NumLock: return 0x90;
    case Qt::Key_ScrollLock: return 0x91;
    default: return 0;
    }
}

short shiftState(Qt::KeyboardModifiers modifiers)
{
    short s = 0;
    if (modifiers & Qt::ShiftModifier)
        s |= 1;
    if (modifiers & Qt::ControlModifier)
        s |= 2;
    if (modifiers & Qt::AltModifier)
        s |= 4;
    return s;
}

short buttonCode(Qt::MouseButtons buttons)
{
    short b = 0;
    if (buttons & Qt::LeftButton)
        b |= 1;
    if (buttons & Qt::RightButton)
        b |= 2;
    if (buttons & Qt::MiddleButton)
        b |= 4;
    return b;
}

} // namespace

// ---- construction and lifecycle

MProgress::MProgress(QWidget* parent)
    : QWidget(parent)
{
    installAccessibility();
    createSurfaces();
    InitProperties();
    m_shownValue = m_Value;
}

MProgress::MProgress(PropertyBag& bag, QWidget* parent)
    : QWidget(parent)
{
    installAccessibility();
    createSurfaces();
    ReadProperties(bag);
    m_shownValue = m_Value;
}

void MProgress::createSurfaces()
{
    setMouseTracking(true); // the control reports moves without a button held, too
    m_DBG = new PictureSurface(QStringLiteral("DBG"), this);
    m_DFG = new PictureSurface(QStringLiteral("DFG"), this);
    m_DBG->hide(); // the fade buffers are never shown
    m_DFG->hide();
    m_BG = new PictureSurface(QStringLiteral("BG"), this);
    m_FG = new PictureSurface(QStringLiteral("FG"), m_BG);
    m_FG->onResized = [this] { FG_Resize(); };
    // The look the surfaces have until the control is first shown.
    m_BG->setBackColor(m_BackColor);
    m_BG->setForeColor(m_ForeColor);
    m_FG->setBackColor(m_ForeColor);
    m_FG->setForeColor(m_BackColor);
}

QFont MProgress::AmbientFont() const
{
    if (const QWidget* host = parentWidget())
        return host->font();
    return QApplication::font();
}

quintptr MProgress::WindowHandleOf(const QWidget* window)
{
    return reinterpret_cast<quintptr>(window);
}

void MProgress::InitProperties()
{
    m_Alignment = 0;
    m_BackColor = 0x8000000E;
    m_Blend = 0;
    m_BorderStyle = 6;
    m_Caption.clear();
    m_Caption2 = QStringLiteral("%");
    m_CustomCaption = QStringLiteral("Done!");
    m_Direction = 0;
    m_DisablePercent = false;
    m_Fade = 2;
    m_FadeBG1 = 0x80000010;
    m_FadeBG2 = 0x80000014;
    m_FadeFG1 = 0x8000000E;
    m_FadeFG2 = 0x8000000D;
    m_FadeStyle = 1;
    m_ForeColor = 0x80000012;
    m_ManualRefresh = false;
    m_Max = 10000;
    m_Min = 0;
    m_ScaleMode = 1;
    m_ShowCustomCaption = false;
    m_Value = 0;
    m_Reverse = false;
    m_Vertical = false;
    m_Interval = 1;
    m_Percent = 0;
    m_Font = AmbientFont();
    m_BG->setTextFont(AmbientFont());
    m_FG->setTextFont(AmbientFont());
    QWidget::setFont(m_Font);
}

void MProgress::Show()
{
    m_BG->setBackColor(m_BackColor);
    m_FG->setBackColor(m_ForeColor);
    m_BG->setForeColor(m_ForeColor);
    m_FG->setForeColor(m_BackColor);
    m_BG->setTextFont(m_Font);
    m_FG->setTextFont(m_Font);
    try {
        m_ValueOffset = m_Value - m_Min;
    } catch (const PlatformError&) {
    }
    try {
        m_ValueRange = m_Max - m_Min;
    } catch (const PlatformError&) {
    }
    updateCaptionInset();
    ComposeCaption();
    ResizeHandling();
}

void MProgress::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // A window system's own show (a restore from the task bar) is not a new show of
    // the control.
    if (!event->spontaneous())
        Show();
}

void MProgress::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    ResizeHandling();
}

void MProgress::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // System colours are looked up when the bar is drawn. A new palette (a theme
    // switched while the program runs) needs new fades and the caption drawn afresh.
    if (event->type() == QEvent::PaletteChange)
        BuildFades();
}

// ---- properties

void MProgress::setAlignment(int value)
{
    m_Alignment = toByte(value);
    notify(kPercentAlign);
    if (automatic())
        PaintBar();
}

void MProgress::setBackColor(std::uint32_t value)
{
    m_BackColor = value;
    m_FG->setForeColor(value);
    m_BG->setBackColor(value);
    notify(kBackColor);
    BuildFades();
}

void MProgress::setBlend(int value)
{
    m_Blend = value;
    notify(kBlend);
    BuildFades();
    if (automatic())
        Refresh();
}

void MProgress::setCaptionText(QString& field, const QString& value, const QString& name)
{
    field = value;
    notify(name);
    // PaintBar composes the caption itself. Composing it here as well would, without
    // fades, leave PaintBar finding the text "unchanged" and never drawing it.
    if (automatic())
        PaintBar();
    else
        ComposeCaption();
}

void MProgress::setCaption(const QString& value)
{
    setCaptionText(m_Caption, value, kPercentBefore);
}

void MProgress::setCaption2(const QString& value)
{
    setCaptionText(m_Caption2, value, kPercentAfter);
}

void MProgress::setCustomCaption(const QString& value)
{
    setCaptionText(m_CustomCaption, value, kCustomText);
}

void MProgress::setDirection(int value)
{
    m_Direction = value;
    switch (value) {
    case 0:
        m_Reverse = false;
        m_Vertical = false;
        break;
    case 1:
        m_Reverse = true;
        m_Vertical = true;
        break;
    case 2:
        m_Reverse = true;
        m_Vertical = false;
        break;
    case 3:
        m_Reverse = false;
        m_Vertical = true;
        break;
    default: break;
    }
    notify(kDirection);
    notify(kReverse);
    notify(kVertical);
    if (automatic()) {
        try {
            Refresh();
        } catch (const PlatformError&) {
        }
        try {
            PaintBar();
        } catch (const PlatformError&) {
        }
    }
}

void MProgress::setDisablePercent(bool value)
{
    m_DisablePercent = value;
    notify(kNoPercent);
    if (automatic()) {
        m_CaptionText.clear();
        PaintBar();
    }
}

void MProgress::setFade(int value)
{
    m_Fade = toByte(value);
    notify(kFade);
    BuildFades();
}

void MProgress::setFadeColor(std::uint32_t& field, std::uint32_t value, const QString& name)
{
    field = value;
    notify(name);
    BuildFades();
}

void MProgress::setFadeBG1(std::uint32_t value)
{
    setFadeColor(m_FadeBG1, value, kFadeBG1);
}

void MProgress::setFadeBG2(std::uint32_t value)
{
    setFadeColor(m_FadeBG2, value, kFadeBG2);
}

void MProgress::setFadeFG1(std::uint32_t value)
{
    setFadeColor(m_FadeFG1, value, kFadeFG1);
}

void MProgress::setFadeFG2(std::uint32_t value)
{
    setFadeColor(m_FadeFG2, value, kFadeFG2);
}

void MProgress::setFadeStyle(int value)
{
    m_FadeStyle = toByte(value > 1 ? 1 : value);
    notify(kFadeStyle);
    BuildFades();
}

void MProgress::setFont(const QFont& value)
{
    m_Font = value;
    m_BG->setTextFont(value);
    m_FG->setTextFont(value);
    QWidget::setFont(value);
    notify(kFont);
    if (automatic())
        PaintBar();
}

void MProgress::setForeColor(std::uint32_t value)
{
    m_ForeColor = value;
    m_BG->setForeColor(value);
    m_FG->setBackColor(value);
    notify(kForeColor);
    BuildFades();
}

void MProgress::setManualRefresh(bool value)
{
    m_ManualRefresh = value;
    notify(kManualRefresh);
}

void MProgress::setMax(Currency value)
{
    const Currency lowest = m_Min + Currency(1);
    m_Max = value >= lowest ? value : lowest;
    notify(kMax);
    // The bar and the percentage keep their proportions until Value next changes.
    if (m_Max < m_Value)
        m_Value = m_Max;
    if (automatic()) {
        Refresh();
        PaintBar();
    }
}

void MProgress::setMin(Currency value)
{
    const Currency highest = m_Max - Currency(1);
    m_Min = value <= highest ? value : highest;
    notify(kMin);
    if (m_Min > m_Value)
        m_Value = m_Min;
    if (automatic()) {
        Refresh();
        PaintBar();
    }
}

void MProgress::setPercent(int)
{
    throw PlatformError(m_userMode ? PlatformError::SetNotPermitted : PlatformError::SetNotSupportedAtRuntime);
}

void MProgress::setScaleMode(int value)
{
    m_ScaleMode = toInt16(value);
    if (value < 0 || value > 7)
        throw PlatformError(InvalidPropertyValue); // the surface refuses the code; the field keeps it
    m_surfaceScaleMode = value;
    notify(kScaleMode);
}

void MProgress::setShowCustomCaption(bool value)
{
    m_ShowCustomCaption = value;
    notify(kCustom);
    if (automatic())
        PaintBar();
}

void MProgress::setValue(Currency value)
{
    if (value < m_Min)
        value = m_Min;
    if (value > m_Max)
        value = m_Max;
    if (value == m_Value) {
        notify(kValue);
        return;
    }
    m_Value = value;
    // A step that fails (an overflow, a zero range) is passed over and the
    // assignment goes on with the next one.
    try {
        m_ValueOffset = m_Value - m_Min;
    } catch (const PlatformError&) {
    }
    try {
        m_ValueRange = m_Max - m_Min;
    } catch (const PlatformError&) {
    }
    if (m_ValueRange.raw() != 0) {
        // Ratio first, then the hundredfold, then truncation: 29 of 100 gives 28.
        const double ratio = m_ValueOffset.toDouble() / m_ValueRange.toDouble();
        const double percent = std::trunc(ratio * 100.0);
        if (percent >= 0.0 && percent <= 255.0)
            m_Percent = static_cast<std::uint8_t>(percent);
    }
    notify(kValue);
    if (automatic()) {
        try {
            Refresh();
        } catch (const PlatformError&) {
        }
    }
    if (m_Percent != m_LastPercent) {
        m_LastPercent = m_Percent;
        if (automatic() && !m_DisablePercent) {
            try {
                PaintBar();
            } catch (const PlatformError&) {
            }
        }
        Q_EMIT Change();
    }
    if (m_Value == m_Max || m_Value == m_Min) {
        if (automatic()) {
            try {
                PaintBar();
            } catch (const PlatformError&) {
            }
        }
        Q_EMIT Change();
    }
}

void MProgress::Refresh()
{
    LayoutStep();
    if (m_ManualRefresh)
        PaintBar();
}

// ---- caption text

void MProgress::ComposeCaption()
{
    const QString previous = m_CaptionText;
    if (m_DisablePercent) {
        if (!m_Caption.isEmpty())
            m_CaptionText = m_Caption;
    } else if (m_ShowCustomCaption && m_Value == m_Max) {
        m_CaptionText = m_CustomCaption;
    } else {
        m_CaptionText = m_Caption + u' ' + QString::number(m_Percent) + u' ' + m_Caption2;
    }
    if (m_Fade == 0) {
        if (m_CaptionText == previous && !m_CaptionCleared) {
            m_CaptionUnchanged = true;
            return;
        }
        m_CaptionUnchanged = false;
        m_CaptionCleared = false;
    }
    const auto toInt16Clamped = [](double v) {
        const double r = std::nearbyint(v);
        return static_cast<std::int16_t>(r > 32767 ? 32767 : (r < -32768 ? -32768 : r));
    };
    m_CaptionWidth = toInt16Clamped(m_BG->TextWidth(m_CaptionText));
    m_CaptionHeight = toInt16Clamped(m_BG->TextHeight(m_CaptionText));
}

// ---- events of the control's own surface

float MProgress::toScaleX(double pixels) const
{
    switch (m_surfaceScaleMode) {
    case 2: return static_cast<float>(pixels * 0.75);
    case 3: return static_cast<float>(pixels);
    case 4: return static_cast<float>(pixels * 15.0 / 120.0);
    case 5: return static_cast<float>(pixels / 96.0);
    case 6: return static_cast<float>(pixels * 25.4 / 96.0);
    case 7: return static_cast<float>(pixels * 2.54 / 96.0);
    default: return static_cast<float>(pixels * 15.0);
    }
}

float MProgress::toScaleY(double pixels) const
{
    if (m_surfaceScaleMode == 4)
        return static_cast<float>(pixels * 15.0 / 240.0);
    return toScaleX(pixels);
}

void MProgress::keyPressEvent(QKeyEvent* event)
{
    short keyCode = virtualKeyCode(event);
    short shift = shiftState(event->modifiers());
    Q_EMIT KeyDown(keyCode, shift);
    const QString text = event->text();
    if (!text.isEmpty() && text.at(0).unicode() < 256) {
        short keyAscii = static_cast<short>(text.at(0).unicode());
        Q_EMIT KeyPress(keyAscii);
    }
    event->accept();
}

void MProgress::keyReleaseEvent(QKeyEvent* event)
{
    short keyCode = virtualKeyCode(event);
    short shift = shiftState(event->modifiers());
    Q_EMIT KeyUp(keyCode, shift);
    event->accept();
}

void MProgress::forwardMouse(QMouseEvent* event, Qt::MouseButtons buttons, MouseSignal signal)
{
    // The host's handler may change the arguments, so they are variables of their own.
    short button = buttonCode(buttons);
    short shift = shiftState(event->modifiers());
    float x = toScaleX(event->position().x());
    float y = toScaleY(event->position().y());
    Q_EMIT(this->*signal)(button, shift, x, y);
    event->accept();
}

void MProgress::mousePressEvent(QMouseEvent* event)
{
    forwardMouse(event, event->button(), &MProgress::MouseDown);
}

void MProgress::mouseMoveEvent(QMouseEvent* event)
{
    forwardMouse(event, event->buttons(), &MProgress::MouseMove);
}

void MProgress::mouseReleaseEvent(QMouseEvent* event)
{
    forwardMouse(event, event->button(), &MProgress::MouseUp);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT Click();
}

} // namespace orvel
