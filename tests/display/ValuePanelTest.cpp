#include "display/ValuePanel.h"
#include "PaintCounter.h"
#include "platform/Choosers.h"
#include "platform/FontMapping.h"
#include "resources/CommandIds.h"

#include <QApplication>
#include <QImage>
#include <gtest/gtest.h>

namespace {

constexpr unsigned kBackground = 16770250; // 202, 228, 255
constexpr unsigned kText = 8404992; // 0, 64, 128

class PanelTest : public ::testing::Test {
protected:
    PanelTest()
    {
        panel.resize(400, 150);
        panel.SetCaption(QStringLiteral("Temperatura"));
        panel.SetQuantity(3, 3, true);
        panel.CreateValueFont();
        panel.show();
        QApplication::processEvents();
    }

    QImage picture() { return panel.grab().toImage().convertToFormat(QImage::Format_RGB32); }

    // Pixels in the text colour below the caption band: the value's ink.
    int inkBelowBand()
    {
        const QImage img = picture();
        const QRgb ink = ToQColor(kText).rgb();
        int n = 0;
        for (int y = 40; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                n += img.pixel(x, y) == ink ? 1 : 0;
        return n;
    }

    ValuePanel panel;
    PaintCounter painted { panel };
};

} // namespace

TEST_F(PanelTest, NewPanelShowsTheBandAcrossTheWidthAndQuestionMarks)
{
    const QImage img = picture();
    const QRgb band = ToQColor(kText).rgb();
    for (int x : { 0, 1, img.width() / 2, img.width() - 2, img.width() - 1 })
        EXPECT_EQ(img.pixel(x, 2), band) << "band missing at x " << x;
    EXPECT_EQ(img.pixel(2, img.height() - 3), ToQColor(kBackground).rgb());
    EXPECT_EQ(panel.valueText(), QStringLiteral("???"));
    EXPECT_GT(inkBelowBand(), 50);
}

TEST_F(PanelTest, BlinkPhaseHidesOnlyTheValueAndStoppingShowsItAtOnce)
{
    panel.SetValue(21.37);
    EXPECT_EQ(panel.valueText(), QStringLiteral("21.4 °C"));
    const int shownInk = inkBelowBand();
    EXPECT_GT(shownInk, 50);
    panel.SetBlinking(true);
    panel.SetBlinking(true);
    EXPECT_TRUE(panel.blinking());
    panel.OnTimer(ids::TIMER_BLINK);
    EXPECT_TRUE(panel.blinkPhase());
    EXPECT_EQ(inkBelowBand(), 0) << "the value shows in the blink phase";
    EXPECT_EQ(picture().pixel(panel.width() - 1, 2), ToQColor(kText).rgb()) << "band hidden too";
    const int paints = painted.count();
    panel.SetBlinking(false);
    EXPECT_EQ(painted.count(), paints + 1) << "stopping did not repaint at once";
    EXPECT_FALSE(panel.blinkPhase());
    EXPECT_EQ(inkBelowBand(), shownInk);
}

TEST_F(PanelTest, RepaintsOnlyOnARealChange)
{
    panel.SetValue(45.6);
    const int paints = painted.count();
    panel.SetValue(45.6);
    EXPECT_EQ(painted.count(), paints) << "the same value repainted";
    panel.SetNoValue();
    EXPECT_EQ(painted.count(), paints + 1);
    panel.SetValue(45.6);
    EXPECT_EQ(painted.count(), paints + 2) << "the same value after no value did not repaint";
    EXPECT_FALSE(panel.noValue());
    panel.SetQuantity(3, 3, true);
    EXPECT_EQ(painted.count(), paints + 2);
}

TEST_F(PanelTest, UnitOutsideTheTableDrawsOnlyBandAndBackground)
{
    panel.SetQuantity(0, 0, true);
    panel.SetValue(12.5);
    EXPECT_EQ(inkBelowBand(), 0);
    panel.SetQuantity(2, 1, true);
    panel.SetValue(10.0);
    EXPECT_EQ(panel.valueText(), QStringLiteral("14.7 W/m"));
    EXPECT_GT(inkBelowBand(), 50);
}

namespace {

class ScriptedChoosers : public Choosers {
public:
    ScriptedChoosers()
        : previous_(Choosers::Install(this))
    {
    }
    ~ScriptedChoosers() override { Choosers::Install(previous_); }
    bool ChooseColour(QWidget*, unsigned& colour) override
    {
        ++asked;
        if (!accept)
            return false;
        colour = 255;
        return true;
    }
    bool ChooseFont(QWidget*, FontDescription& font) override
    {
        ++asked;
        font.faceName = "Other";
        font.height = -30;
        return accept;
    }
    bool accept = false;
    int asked = 0;

private:
    Choosers* previous_;
};

} // namespace

TEST_F(PanelTest, CancelledChoosersChangeNothing)
{
    ScriptedChoosers choosers;
    const FontDescription before = panel.valueFontDescription();
    panel.ChooseValueFont();
    EXPECT_EQ(panel.valueFontDescription(), before);
    panel.ChooseBackgroundColour();
    EXPECT_EQ(panel.backgroundColour(), kBackground);
    choosers.accept = true;
    panel.ChooseTextColour();
    EXPECT_EQ(panel.textColour(), 255u);
    panel.ChooseValueFont();
    EXPECT_EQ(panel.valueFontDescription().faceName, "Other");
    EXPECT_EQ(panel.valueFont().pixelSize(), 30);
    EXPECT_EQ(choosers.asked, 4);
}
