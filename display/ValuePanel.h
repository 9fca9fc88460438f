#pragma once

#include "common/FontDescription.h"
#include "dde/PanelSource.h"
#include "settings/SettingsTable.h"

#include <QFont>
#include <QWidget>

struct PanelValue;
class QPainter;
class WindowTimers;

// One measured quantity in large type under a caption band; "???" while
// there is no valid value, the value blinking while it is in error.
class ValuePanel : public QWidget, public PanelSource {
    Q_OBJECT
public:
    static constexpr unsigned kBlinkMs = 500;

    explicit ValuePanel(QWidget* parent = nullptr);
    ~ValuePanel() override;

    void SetValue(double value);
    void SetNoValue();
    void SetQuantity(int sourceUnit, int displayUnit, bool showUnit);
    void SetBlinking(bool on);
    // A value (or none) and its blinking, as a link update gives them.
    void Show(const PanelValue& shown);
    void ApplyFont(const FontDescription& description);
    void ChooseValueFont();
    void ChooseBackgroundColour();
    void ChooseTextColour();
    void OnTimer(unsigned id);

    // Makes the value font from its description (at the window's start-up).
    void CreateValueFont();

    double rawValue() const { return rawValue_; }
    double displayedValue() const { return displayedValue_; }
    bool noValue() const { return noValue_; }
    bool blinking() const { return blinkTimerId_ != 0; }
    bool blinkPhase() const { return blinkPhase_; }
    int sourceUnit() const { return sourceUnit_; }
    int displayUnit() const { return displayUnit_; }
    bool showUnit() const { return showUnit_; }
    const QString& caption() const { return caption_; }
    void SetCaption(const QString& caption);
    unsigned backgroundColour() const { return backgroundColour_; }
    void SetBackgroundColour(unsigned colour) { backgroundColour_ = colour; }
    unsigned textColour() const { return textColour_; }
    void SetTextColour(unsigned colour) { textColour_ = colour; }
    const FontDescription& valueFontDescription() const { return valueFontDescription_; }
    // Before the font exists (the settings are loaded); no repaint.
    void SetValueFontDescription(const FontDescription& d) { valueFontDescription_ = d; }
    const QFont& valueFont() const { return valueFont_; }
    const QString& valueText() const { return valueText_; }
    // What the bus service, the publisher and the recording read.
    PanelReading reading() const override;
    // The panel's alarm as a person reads it ("temperatura powyżej 25.0 °C"),
    // empty for none: shown by a striped frame and a word in the caption band,
    // steady, so it never looks like the error blinking.
    void SetAlarm(const QString& description);
    const QString& alarm() const { return alarm_; }

signals:
    // A click on the panel (the window acknowledges an alarm with it).
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void RepaintNow();
    void PaintAlarmFrame(QPainter& p, const QRect& r, int top);
    void UpdateAccessibleText();

    QString valueText_;
    QString alarm_;
    bool twoDecimals_ = false;
    QString caption_;
    unsigned blinkTimerId_ = 0;
    bool blinkPhase_ = false;
    QFont valueFont_;
    QFont captionFont_;
    FontDescription valueFontDescription_ = FontDescription::Make("Arial", 60);
    unsigned textColour_ = DefaultUnsigned(SettingId::TEXT_TEMP);
    unsigned backgroundColour_ = DefaultUnsigned(SettingId::BACKGROUND_TEMP);
    bool showUnit_ = true;
    double displayedValue_ = 0;
    double rawValue_ = 0;
    bool noValue_ = true;
    int sourceUnit_ = 0;
    int displayUnit_ = 0;

    WindowTimers* timers_;
};
