// The progress bar control: its properties, its events and its drawing surfaces.
#pragma once

#include "progress_bar/Currency.h"

#include <QFont>
#include <QString>
#include <QWidget>

#include <cstdint>

namespace orvel {

class PictureSurface;
class PropertyBag;

// The progress bar control. A bar (the filled part FG inside the bar area BG) whose
// length stands for Value in Min..Max, a one-line caption (by default the
// percentage) drawn in inverted colours where the bar's edge crosses it, optional
// colour fades rendered once into the hidden buffers DBG and DFG, and four growth
// directions.
//
// Every property setter stores the value (with its clamping or conversion), tells the
// host through propertyChanged() under the name the value is saved under, then lays
// out and repaints unless ManualRefresh is set. Painting is synchronous: when an
// assignment changes the bar's length or the percentage, the control is on screen
// again before the setter returns; an assignment that changes neither paints nothing.
//
// Setters that convert to a narrower type throw PlatformError 6 (overflow) before
// storing anything; writing Percent throws 382 (design mode) or 393 (run time).
//
// Colours are colour values: 0 to 0xFFFFFF a direct colour 0x00BBGGRR, a value with
// the top bit set a system colour (index in the low byte).
class MProgress : public QWidget {
    Q_OBJECT
    // What a property browser or a host shows for the members and events.
    Q_CLASSINFO("Description:BackColor", "Sets object's background color.")
    Q_CLASSINFO("Category:BackColor", "Appearance")
    Q_CLASSINFO("Description:BorderStyle", "Sets object's borderstyle.")
    Q_CLASSINFO("Category:BorderStyle", "Appearance")
    Q_CLASSINFO("Description:CustomCaption", "Sets object's custom \"Done!\" text.")
    Q_CLASSINFO("Category:CustomCaption", "Appearance")
    Q_CLASSINFO("Description:Fade", "Show colorfade?")
    Q_CLASSINFO("Category:Fade", "Appearance")
    Q_CLASSINFO("Description:FadeBG1", "Sets object's fade color one for background.")
    Q_CLASSINFO("Category:FadeBG1", "Appearance")
    Q_CLASSINFO("Description:FadeBG2", "Sets object's fade color two for background.")
    Q_CLASSINFO("Category:FadeBG2", "Appearance")
    Q_CLASSINFO("Description:FadeFG1", "Sets object's fade color one for foreground.")
    Q_CLASSINFO("Category:FadeFG1", "Appearance")
    Q_CLASSINFO("Description:FadeFG2", "Sets object's fade color two for foreground.")
    Q_CLASSINFO("Category:FadeFG2", "Appearance")
    Q_CLASSINFO("Description:FadeStyle", "Sets object's color fading style.")
    Q_CLASSINFO("Category:FadeStyle", "Appearance")
    Q_CLASSINFO("Description:Font", "Sets object's font.")
    Q_CLASSINFO("Category:Font", "Font")
    Q_CLASSINFO("Description:ForeColor", "Sets object's foreground color.")
    Q_CLASSINFO("Category:ForeColor", "Appearance")
    Q_CLASSINFO("Description:ManualRefresh", "Refresh must be invoked manually through code?")
    Q_CLASSINFO("Category:ManualRefresh", "Behavior")
    Q_CLASSINFO("Description:Max", "Sets object's max value.")
    Q_CLASSINFO("Category:Max", "Misc")
    Q_CLASSINFO("Description:Min", "Sets object's minimal value.")
    Q_CLASSINFO("Category:Min", "Misc")
    Q_CLASSINFO("Description:Percent", "Returns percent value.")
    Q_CLASSINFO("Description:Refresh", "Refresh object.")
    Q_CLASSINFO("Description:ScaleMode", "Returns/sets object's scalemode.")
    Q_CLASSINFO("Category:ScaleMode", "Scale")
    Q_CLASSINFO("Description:SetParent", "Sets object's parent.")
    Q_CLASSINFO("Description:Value", "Sets object's position value.")
    Q_CLASSINFO("Category:Value", "Misc")
    Q_CLASSINFO("Description:BarResize", "Occurs when the progress bar of a control has resized.")
    Q_CLASSINFO("Description:Change", "Occurs when the contents of a control have changed.")
    Q_CLASSINFO("Description:Resize", "Occurs when the size of a control has changed.")
    Q_CLASSINFO("Description:Click", "Occurs when the user presses the mouse button.")
    Q_CLASSINFO("Description:KeyDown", "Occurs when the user presses a key while an object has the focus.")
    Q_CLASSINFO("Description:KeyPress", "Occurs when the user presses and releases an ANSI key.")
    Q_CLASSINFO("Description:KeyUp", "Occurs when the user releases a key while an object has the focus.")
    Q_CLASSINFO("Description:MouseDown", "Occurs when the user presses the mouse button while an object has the focus.")
    Q_CLASSINFO("Description:MouseMove", "Occurs when the user moves the mouse.")
    Q_CLASSINFO("Description:MouseUp", "Occurs when the user releases the mouse button while an object has the focus.")
    Q_PROPERTY(int Alignment READ Alignment WRITE setAlignment)
    Q_PROPERTY(uint BackColor READ BackColor WRITE setBackColor)
    Q_PROPERTY(int Blend READ Blend WRITE setBlend)
    Q_PROPERTY(int BorderStyle READ BorderStyle WRITE setBorderStyle)
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(QString Caption2 READ Caption2 WRITE setCaption2)
    Q_PROPERTY(QString CustomCaption READ CustomCaption WRITE setCustomCaption)
    Q_PROPERTY(int Direction READ Direction WRITE setDirection)
    Q_PROPERTY(bool DisablePercent READ DisablePercent WRITE setDisablePercent)
    Q_PROPERTY(int Fade READ Fade WRITE setFade)
    Q_PROPERTY(uint FadeBG1 READ FadeBG1 WRITE setFadeBG1)
    Q_PROPERTY(uint FadeBG2 READ FadeBG2 WRITE setFadeBG2)
    Q_PROPERTY(uint FadeFG1 READ FadeFG1 WRITE setFadeFG1)
    Q_PROPERTY(uint FadeFG2 READ FadeFG2 WRITE setFadeFG2)
    Q_PROPERTY(int FadeStyle READ FadeStyle WRITE setFadeStyle)
    Q_PROPERTY(QFont Font READ Font WRITE setFont)
    Q_PROPERTY(uint ForeColor READ ForeColor WRITE setForeColor)
    Q_PROPERTY(bool ManualRefresh READ ManualRefresh WRITE setManualRefresh)
    Q_PROPERTY(orvel::Currency Max READ Max WRITE setMax)
    Q_PROPERTY(orvel::Currency Min READ Min WRITE setMin)
    Q_PROPERTY(int Percent READ Percent)
    Q_PROPERTY(int ScaleMode READ ScaleMode WRITE setScaleMode)
    Q_PROPERTY(bool ShowCustomCaption READ ShowCustomCaption WRITE setShowCustomCaption)
    Q_PROPERTY(orvel::Currency Value READ Value WRITE setValue USER true) // the default member

public:
    // A new control: every property at its default, the font from the host
    // (InitProperties).
    explicit MProgress(QWidget* parent = nullptr);
    // A control whose settings were saved: they are loaded from `bag`
    // (ReadProperties) instead of the defaults.
    MProgress(PropertyBag& bag, QWidget* parent);

    // ---- published properties
    int Alignment() const { return m_Alignment; }
    void setAlignment(int value);
    std::uint32_t BackColor() const { return m_BackColor; }
    void setBackColor(std::uint32_t value);
    int Blend() const { return m_Blend; }
    void setBlend(int value);
    int BorderStyle() const { return m_BorderStyle; }
    void setBorderStyle(int value);
    QString Caption() const { return m_Caption; }
    void setCaption(const QString& value);
    QString Caption2() const { return m_Caption2; }
    void setCaption2(const QString& value);
    QString CustomCaption() const { return m_CustomCaption; }
    void setCustomCaption(const QString& value);
    int Direction() const { return m_Direction; }
    void setDirection(int value);
    bool DisablePercent() const { return m_DisablePercent; }
    void setDisablePercent(bool value);
    int Fade() const { return m_Fade; }
    void setFade(int value);
    std::uint32_t FadeBG1() const { return m_FadeBG1; }
    void setFadeBG1(std::uint32_t value);
    std::uint32_t FadeBG2() const { return m_FadeBG2; }
    void setFadeBG2(std::uint32_t value);
    std::uint32_t FadeFG1() const { return m_FadeFG1; }
    void setFadeFG1(std::uint32_t value);
    std::uint32_t FadeFG2() const { return m_FadeFG2; }
    void setFadeFG2(std::uint32_t value);
    int FadeStyle() const { return m_FadeStyle; }
    void setFadeStyle(int value);
    QFont Font() const { return m_Font; }
    void setFont(const QFont& value); // the caption font; hides QWidget::setFont on purpose
    std::uint32_t ForeColor() const { return m_ForeColor; }
    void setForeColor(std::uint32_t value);
    bool ManualRefresh() const { return m_ManualRefresh; }
    void setManualRefresh(bool value);
    Currency Max() const { return m_Max; }
    void setMax(Currency value);
    Currency Min() const { return m_Min; }
    void setMin(Currency value);
    int Percent() const { return m_Percent; }
    [[noreturn]] void setPercent(int value); // read-only: always throws 382 or 393
    int ScaleMode() const { return m_ScaleMode; }
    void setScaleMode(int value);
    bool ShowCustomCaption() const { return m_ShowCustomCaption; }
    void setShowCustomCaption(bool value);
    Currency Value() const { return m_Value; }
    void setValue(Currency value);

    // ---- methods
    // Places the bar for the cached value; paints only in manual mode (in automatic
    // mode a change of the bar's size paints by itself).
    void Refresh();
    // Moves the control into the window identified by hWnd (see WindowHandleOf, or a
    // native window id); 0 makes it a top-level window, an unknown handle does nothing.
    void SetParent(quintptr hWnd);

    // ---- handlers the host calls
    void InitProperties();
    void ReadProperties(PropertyBag& bag);
    void WriteProperties(PropertyBag& bag) const;

    // ---- what the control asks of its host
    // UserMode: false while the host window is being designed, true when it runs.
    bool AmbientUserMode() const { return m_userMode; }
    void setAmbientUserMode(bool userMode) { m_userMode = userMode; }
    QFont AmbientFont() const;

    // This control's window as SetParent identifies windows.
    quintptr hWnd() const { return WindowHandleOf(this); }
    static quintptr WindowHandleOf(const QWidget* window);

    // ---- the surfaces and the state that the painting works from
    PictureSurface* BG() const { return m_BG; }
    PictureSurface* FG() const { return m_FG; }
    PictureSurface* DBG() const { return m_DBG; }
    PictureSurface* DFG() const { return m_DFG; }
    bool Reverse() const { return m_Reverse; }
    bool Vertical() const { return m_Vertical; }
    int Interval() const { return m_Interval; }
    Currency ValueOffset() const { return m_ValueOffset; }
    Currency ValueRange() const { return m_ValueRange; }
    int LastPercent() const { return m_LastPercent; }
    QString CaptionText() const { return m_CaptionText; }
    int CaptionWidth() const { return m_CaptionWidth; }
    int CaptionHeight() const { return m_CaptionHeight; }
    bool CaptionUnchanged() const { return m_CaptionUnchanged; }
    int CaptionInset() const { return m_CaptionInset; }
    // The value the bar was last painted for: what a screen reader was last told.
    Currency ShownValue() const { return m_shownValue; }

Q_SIGNALS:
    // The host's property-change notification, under the saved name of the property
    // ("PercentAlign" for Alignment, "PercentBefore" for Caption, ...).
    void propertyChanged(const QString& name);

    // Events. Arguments are references: a handler connected directly (the default
    // within the window's thread) may change them, and the control sees the change.
    void BarResize(); // the filled part changed size
    void Change(); // the percentage changed, or Value reached Min or Max
    void Resize(); // end of the control's own resize handling
    void Click();
    void KeyDown(short& KeyCode, short& Shift);
    void KeyPress(short& KeyAscii);
    void KeyUp(short& KeyCode, short& Shift);
    void MouseDown(short& Button, short& Shift, float& X, float& Y);
    void MouseMove(short& Button, short& Shift, float& X, float& Y);
    void MouseUp(short& Button, short& Shift, float& X, float& Y);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void createSurfaces();
    void notify(const QString& name) { Q_EMIT propertyChanged(name); }
    bool automatic() const { return !m_ManualRefresh; }
    void setCaptionText(QString& field, const QString& value, const QString& name);
    void setFadeColor(std::uint32_t& field, std::uint32_t value, const QString& name);
    using MouseSignal = void (MProgress::*)(short&, short&, float&, float&);
    void forwardMouse(QMouseEvent* event, Qt::MouseButtons buttons, MouseSignal signal);

    // accessibility
    static void installAccessibility();
    void announceShownValue();

    // lifecycle
    void Show();

    // layout, border
    void ResizeHandling();
    void LayoutStep();
    void FG_Resize();
    void updateCaptionInset();

    // painting
    void ComposeCaption();
    void BuildFades();
    void RenderFade(PictureSurface& buffer, std::uint32_t from, std::uint32_t to, bool horizontal);
    void PaintBar();
    void CaptionStep();

    // pixels <-> the control's own scale
    float toScaleX(double pixels) const;
    float toScaleY(double pixels) const;

    PictureSurface* m_DBG = nullptr;
    PictureSurface* m_DFG = nullptr;
    PictureSurface* m_BG = nullptr;
    PictureSurface* m_FG = nullptr;

    // published
    std::uint8_t m_Alignment = 0;
    std::uint32_t m_BackColor = 0x8000000E;
    std::int32_t m_Blend = 0;
    std::int32_t m_BorderStyle = 6;
    QString m_Caption;
    QString m_Caption2 = QStringLiteral("%");
    QString m_CustomCaption = QStringLiteral("Done!");
    std::int32_t m_Direction = 0;
    bool m_DisablePercent = false;
    std::uint8_t m_Fade = 2;
    std::uint32_t m_FadeBG1 = 0x80000010;
    std::uint32_t m_FadeBG2 = 0x80000014;
    std::uint32_t m_FadeFG1 = 0x8000000E;
    std::uint32_t m_FadeFG2 = 0x8000000D;
    std::uint8_t m_FadeStyle = 1;
    QFont m_Font;
    std::uint32_t m_ForeColor = 0x80000012;
    bool m_ManualRefresh = false;
    Currency m_Max = 10000;
    Currency m_Min = 0;
    std::uint8_t m_Percent = 0;
    std::int16_t m_ScaleMode = 1;
    bool m_ShowCustomCaption = false;
    Currency m_Value = 0;

    // internal
    bool m_Reverse = false;
    bool m_Vertical = false;
    std::int16_t m_Interval = 1;
    Currency m_ValueOffset = 0;
    Currency m_ValueRange = 0;
    std::uint8_t m_LastPercent = 0;
    QString m_CaptionText;
    std::int16_t m_CaptionWidth = 0;
    std::int16_t m_CaptionHeight = 0;
    bool m_CaptionUnchanged = false;
    bool m_CaptionCleared = false; // the surfaces were cleared since the caption was drawn
    std::uint8_t m_CaptionInset = 0;
    Currency m_shownValue = 0; // the value last painted, and so last announced

    // the control surface's own scale mode (twips unless set through ScaleMode)
    int m_surfaceScaleMode = 1;
    bool m_userMode = true;
};

// A control created from the settings a window saved for it: an INI file, usually
// compiled into the program (":/..."), holding the control's saved properties plus the
// control's size in twips under "Width" and "Height".
MProgress* CreateFromSavedProperties(const QString& resourcePath, QWidget* parent);

} // namespace orvel
