#include "display/ValuePanel.h"

#include "common/ValueFormat.h"
#include "display/PanelValues.h"
#include "platform/Choosers.h"
#include "platform/FontMapping.h"
#include "platform/WindowTimers.h"
#include "resources/AlarmTexts.h"
#include "resources/CommandIds.h"
#include "resources/MainWindowTexts.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

ValuePanel::ValuePanel(QWidget* parent)
    : QWidget(parent)
    , captionFont_(ToQFont(FontDescription::Make("Arial", 20)))
    , timers_(new WindowTimers([this](unsigned id) { OnTimer(id); }, this))
{
    // Every pixel is drawn in paintEvent from one off-screen picture.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

ValuePanel::~ValuePanel() = default;

void ValuePanel::RepaintNow()
{
    UpdateAccessibleText();
    repaint();
}

// What a screen reader (and a test driving the program from outside) reads:
// the caption as the name, the text shown as the description.
void ValuePanel::UpdateAccessibleText()
{
    QString shown = QString::fromUtf8(texts::main::kNoValueShown);
    if (!noValue_) {
        const ValueText v
            = FormatPanelValue(ComputeDisplayValue(rawValue_, sourceUnit_, displayUnit_),
                displayUnit_, showUnit_, twoDecimals_);
        shown = QString::fromStdString(v.text);
        if (v.raisedTwo)
            shown += QChar(0x00B2);
    }
    if (!alarm_.isEmpty())
        shown = QString::fromUtf8(texts::alarm::kPanelAlarm).arg(shown, alarm_);
    if (accessibleName() != caption_)
        setAccessibleName(caption_);
    if (accessibleDescription() != shown)
        setAccessibleDescription(shown);
}

void ValuePanel::SetValue(double value)
{
    if (value == rawValue_ && !noValue_)
        return;
    rawValue_ = value;
    noValue_ = false;
    RepaintNow();
}

void ValuePanel::SetNoValue()
{
    noValue_ = true;
    RepaintNow();
}

void ValuePanel::SetQuantity(int sourceUnit, int displayUnit, bool showUnit)
{
    if (sourceUnit == sourceUnit_ && displayUnit == displayUnit_ && showUnit == showUnit_)
        return;
    sourceUnit_ = sourceUnit;
    displayUnit_ = displayUnit;
    showUnit_ = showUnit;
    RepaintNow();
}

void ValuePanel::SetCaption(const QString& caption)
{
    caption_ = caption;
    RepaintNow();
}

void ValuePanel::SetBlinking(bool on)
{
    if (on) {
        if (blinkTimerId_ == 0)
            blinkTimerId_ = timers_->SetTimer(ids::TIMER_BLINK, kBlinkMs);
        return;
    }
    timers_->KillTimer(blinkTimerId_);
    blinkTimerId_ = 0;
    if (blinkPhase_) {
        blinkPhase_ = false;
        RepaintNow();
    }
}

void ValuePanel::Show(const PanelValue& shown)
{
    if (shown.value) {
        SetBlinking(shown.blinking);
        SetValue(*shown.value);
    } else {
        SetNoValue();
        SetBlinking(shown.blinking);
    }
}

PanelReading ValuePanel::reading() const
{
    PanelReading r;
    r.rawValue = rawValue_;
    r.noValue = noValue_;
    r.blinking = blinking();
    r.displayUnit = displayUnit_;
    return r;
}

void ValuePanel::SetAlarm(const QString& description)
{
    if (description == alarm_)
        return;
    alarm_ = description;
    RepaintNow();
}

void ValuePanel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit clicked();
    QWidget::mousePressEvent(event);
}

void ValuePanel::OnTimer(unsigned id)
{
    if (id != ids::TIMER_BLINK)
        return;
    blinkPhase_ = !blinkPhase_;
    RepaintNow();
}

void ValuePanel::CreateValueFont()
{
    valueFont_ = ToQFont(valueFontDescription_);
    setFont(valueFont_);
}

void ValuePanel::ApplyFont(const FontDescription& description)
{
    valueFontDescription_ = description;
    CreateValueFont();
    RepaintNow();
}

void ValuePanel::ChooseValueFont()
{
    FontDescription d = valueFontDescription_;
    if (!Choosers::instance().ChooseFont(nullptr, d))
        return;
    ApplyFont(d);
}

void ValuePanel::ChooseBackgroundColour()
{
    unsigned c = backgroundColour_;
    if (Choosers::instance().ChooseColour(nullptr, c))
        backgroundColour_ = c;
    RepaintNow();
}

void ValuePanel::ChooseTextColour()
{
    unsigned c = textColour_;
    if (Choosers::instance().ChooseColour(nullptr, c))
        textColour_ = c;
    RepaintNow();
}

// Black and yellow hazard stripes around the value: they read on any
// colours a user may choose, and they stand still.
void ValuePanel::PaintAlarmFrame(QPainter& p, const QRect& r, int top)
{
    const int width = std::max(6, std::min(r.width(), r.height()) / 16);
    const QRect outer(r.left(), top, r.width(), r.bottom() + 1 - top);
    if (outer.height() <= 2 * width)
        return;
    QPainterPath frame;
    frame.addRect(outer);
    frame.addRect(outer.adjusted(width, width, -width, -width));
    frame.setFillRule(Qt::OddEvenFill);
    p.save();
    p.setClipPath(frame);
    p.fillRect(outer, QColor(0, 0, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 204, 0));
    const int stripe = width * 2;
    for (int x = outer.left() - outer.height(); x < outer.right(); x += 2 * stripe) {
        const QPoint poly[] = { { x, outer.bottom() + 1 }, { x + stripe, outer.bottom() + 1 },
            { x + stripe + outer.height(), outer.top() }, { x + outer.height(), outer.top() } };
        p.drawPolygon(poly, 4);
    }
    p.restore();
}

void ValuePanel::paintEvent(QPaintEvent*)
{
    displayedValue_ = ComputeDisplayValue(rawValue_, sourceUnit_, displayUnit_);
    QRect r = rect();
    const QRect m = r;

    // The whole picture is made off screen and copied in one transfer, so
    // a panel never flickers while values arrive or the window is resized.
    const qreal ratio = devicePixelRatioF();
    QPixmap memory(r.size() * ratio);
    memory.setDevicePixelRatio(ratio);
    memory.fill(palette().color(backgroundRole()));
    {
        QPainter p(&memory);
        const QColor background = ToQColor(backgroundColour_);
        const QColor text = ToQColor(textColour_);
        p.fillRect(r, background);

        // Caption band: text colour across the whole width, caption in the
        // background colour.
        p.setFont(captionFont_);
        const QFontMetrics cm(captionFont_);
        QRect band(0, 0, cm.horizontalAdvance(caption_), cm.height());
        band.setRight(r.right());
        p.fillRect(band, text);
        p.setPen(background);
        const QString caption = alarm_.isEmpty()
            ? caption_
            : caption_ + QStringLiteral(" \u2013 ") + QString::fromUtf8(texts::alarm::kPanelBadge);
        p.drawText(band, Qt::AlignCenter | Qt::TextSingleLine, caption);
        const int valueTop = band.bottom() + 1;

        if (!blinkPhase_) {
            r.setTop(band.bottom() + 1);
            p.setFont(valueFont_);
            p.setPen(text);
            if (noValue_) {
                valueText_ = QStringLiteral("???");
                p.drawText(r, Qt::AlignCenter | Qt::TextSingleLine, valueText_);
            } else {
                const ValueText v
                    = FormatPanelValue(displayedValue_, displayUnit_, showUnit_, twoDecimals_);
                valueText_ = QString::fromStdString(v.text);
                if (v.drawn && !v.raisedTwo) {
                    p.drawText(r, Qt::AlignCenter | Qt::TextSingleLine, valueText_);
                } else if (v.raisedTwo) {
                    const QFontMetrics vm(valueFont_);
                    const QRect measured = vm.boundingRect(
                        m, Qt::TextSingleLine, QString::fromStdString(v.measureText));
                    const int w = measured.width();
                    const int h = measured.height();
                    const int cx = (r.left() + r.right() + 1) / 2;
                    const int cy = (r.top() + r.bottom() + 1) / 2;
                    const QRect box(QPoint(cx - w / 2, cy - h / 2), QPoint(cx + w / 2, cy + h / 2));
                    p.drawText(
                        box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, valueText_);
                    const QRect two(QPoint(cx + w / 2 - 200, cy - (6 * h) / 8),
                        QPoint(cx + w / 2 + 193, cy + (2 * h) / 8));
                    p.drawText(two, Qt::AlignCenter | Qt::TextSingleLine, QStringLiteral("2"));
                }
            }
        }
        if (!alarm_.isEmpty())
            PaintAlarmFrame(p, m, valueTop);
    }
    QPainter screen(this);
    screen.drawPixmap(0, 0, memory);
}
