#include "display/PanelStyles.h"
#include "PaintCounter.h"
#include "display/ColourSwatch.h"
#include "display/ColoursDialog.h"
#include "display/FontPreview.h"
#include "display/FontsDialog.h"
#include "display/MainDialog.h"
#include "display/ValuePanel.h"
#include "platform/Choosers.h"
#include "platform/DialogBuilder.h"
#include "platform/FontMapping.h"
#include "resources/CommandIds.h"
#include "settings/Application.h"
#include "settings/PosixFileLayer.h"
#include "support/ProgramFolder.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>
#include <deque>
#include <filesystem>
#include <functional>

namespace {

// Answers the panels' choosers as a person would, in order; an empty
// answer is Cancel.
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
        if (colours.empty())
            return false;
        const unsigned answer = colours.front();
        colours.pop_front();
        if (answer == kCancel)
            return false;
        colour = answer;
        return true;
    }
    bool ChooseFont(QWidget*, FontDescription& font) override
    {
        ++asked;
        if (fonts.empty())
            return false;
        // The platform's chooser fills in the whole record.
        font = fonts.front();
        fonts.pop_front();
        return true;
    }
    static constexpr unsigned kCancel = 0xFFFFFFFFu;
    std::deque<unsigned> colours;
    std::deque<FontDescription> fonts;
    int asked = 0;

private:
    Choosers* previous_;
};

// Runs `step` inside the modal loop of the first dialog of type D.
template<typename D> void whenOpen(QObject* context, std::function<void(D&)> step)
{
    QTimer::singleShot(10, context, [context, step] {
        if (auto* d = qobject_cast<D*>(QApplication::activeModalWidget()); d != nullptr)
            step(*d);
        else
            whenOpen<D>(context, step);
    });
}

void click(QDialog& d, int id)
{
    auto* control = qobject_cast<QAbstractButton*>(DialogBuilder::Control(&d, id));
    ASSERT_NE(control, nullptr) << id;
    control->click();
}

QRgb pixel(ValuePanel& panel)
{
    // The lower left corner: background, below any value text.
    return panel.grab().toImage().pixel(2, panel.height() - 3);
}

class StyledPanels : public ::testing::Test {
protected:
    StyledPanels()
    {
        owner.resize(420, 500);
        int y = 0;
        for (ValuePanel* p : { &temperature, &humidity, &pressure }) {
            p->setParent(&owner);
            p->setGeometry(0, y, 400, 150);
            p->CreateValueFont();
            y += 160;
        }
        humidity.SetBackgroundColour(16767672);
        pressure.SetTextColour(4727808);
        owner.show();
        QApplication::processEvents();
    }

    ScriptedChoosers choosers;
    QWidget owner;
    ValuePanel temperature;
    ValuePanel humidity;
    ValuePanel pressure;
    PaintCounter temperaturePainted { temperature };
    PaintCounter humidityPainted { humidity };
    PanelStyles styles { &owner, temperature, humidity, pressure };
};

} // namespace

TEST_F(StyledPanels, ChosenColoursShowAtOnceAnulujPutsThemBackOkKeepsThem)
{
    const unsigned temperatureBackground = temperature.backgroundColour();
    const QRgb humidityBefore = pixel(humidity);
    const unsigned pressureText = pressure.textColour();
    int paints = 0;
    for (int ending : { 2, 1 }) {
        choosers.colours = { ScriptedChoosers::kCancel, 255, 65280 };
        whenOpen<ColoursDialog>(&owner, [&](ColoursDialog& d) {
            // A cancelled chooser changes nothing but still repaints the panel.
            ColourSwatch* swatch = d.swatch(ColoursDialog::IDC_TEMPERATURE_BACKGROUND);
            EXPECT_EQ(swatch->accessibleName(), QStringLiteral("Tło: Temperatura"));
            EXPECT_EQ(d.swatch(ColoursDialog::IDC_PRESSURE_TEXT)->colour(), pressure.textColour());
            paints = temperaturePainted.count();
            swatch->click();
            EXPECT_EQ(temperaturePainted.count(), paints + 1) << "the panel was not repainted";
            EXPECT_EQ(temperature.backgroundColour(), temperatureBackground);
            EXPECT_EQ(swatch->colour(), temperatureBackground);

            swatch = d.swatch(ColoursDialog::IDC_HUMIDITY_BACKGROUND);
            swatch->click();
            EXPECT_EQ(humidity.backgroundColour(), 255u);
            EXPECT_EQ(swatch->grab().toImage().pixel(3, 3), qRgb(255, 0, 0));
            EXPECT_EQ(pixel(humidity), qRgb(255, 0, 0)) << "the panel does not show it yet";
            d.swatch(ColoursDialog::IDC_PRESSURE_TEXT)->click();
            EXPECT_EQ(pressure.textColour(), 65280u);
            paints = humidityPainted.count();
            click(d, ending);
        });
        EXPECT_TRUE(styles.OnCommand(ids::ID_COLOURS));
        if (ending == 2) {
            EXPECT_EQ(humidity.backgroundColour(), 16767672u);
            EXPECT_EQ(pressure.textColour(), pressureText);
            EXPECT_GT(humidityPainted.count(), paints) << "the restored colour is not shown";
            EXPECT_EQ(pixel(humidity), humidityBefore);
        }
    }
    EXPECT_EQ(humidity.backgroundColour(), 255u) << "OK did not keep the colours";
    EXPECT_EQ(pressure.textColour(), 65280u);
    EXPECT_EQ(choosers.asked, 6);
}

TEST_F(StyledPanels, ChosenFontShowsInPreviewAnulujRestoresTheWholeDescription)
{
    // Fields the settings do not keep, which only a whole copy brings back.
    FontDescription odd = FontDescription::Make("Liberation Sans", 48);
    odd.width = 7;
    odd.escapement = 0;
    odd.underline = 1;
    odd.outPrecision = 3;
    odd.quality = 2;
    odd.pitchAndFamily = 34;
    humidity.ApplyFont(odd);
    FontDescription chosen = FontDescription::Make("Liberation Serif", -22);
    chosen.italic = 1;
    for (int ending : { 2, 1 }) {
        choosers.fonts = { chosen };
        whenOpen<FontsDialog>(&owner, [&](FontsDialog& d) {
            FontPreview* preview = d.preview(FontsDialog::IDC_HUMIDITY_FONT);
            EXPECT_EQ(preview->text(), QStringLiteral("0123456789."));
            EXPECT_EQ(preview->font(), humidity.valueFont());
            EXPECT_EQ(
                d.preview(FontsDialog::IDC_TEMPERATURE_FONT)->font(), temperature.valueFont());
            preview->click();
            EXPECT_EQ(humidity.valueFontDescription().faceName, "Liberation Serif");
            EXPECT_EQ(humidity.valueFont().pixelSize(), 22);
            EXPECT_EQ(preview->font(), humidity.valueFont()) << "the preview kept the old font";
            click(d, ending);
        });
        styles.OnCommand(ids::ID_FONTS);
        if (ending == 2) {
            EXPECT_EQ(humidity.valueFontDescription(), odd);
            EXPECT_EQ(humidity.valueFont(), ToQFont(odd));
        }
    }
    EXPECT_EQ(humidity.valueFontDescription(), chosen) << "OK did not keep the chosen font";
    EXPECT_TRUE(humidity.valueFont().italic());
}

TEST(StylesInTheProgram, OkColoursAreSavedAndSigtermPutsTheOldOnesBack)
{
    ScriptedChoosers choosers;
    ProgramFolder program;
    program.Run([&](MainDialog& d) {
        EXPECT_TRUE(d.menuAction(ids::ID_COLOURS)->isEnabled());
        EXPECT_TRUE(d.menuAction(ids::ID_FONTS)->isEnabled());
        choosers.colours = { 255, 65280 };
        whenOpen<ColoursDialog>(&d, [&](ColoursDialog& c) {
            click(c, ColoursDialog::IDC_HUMIDITY_BACKGROUND);
            click(c, ColoursDialog::IDC_PRESSURE_TEXT);
            click(c, 1);
        });
        d.menuAction(ids::ID_COLOURS)->trigger();
    });
    std::string ini = ReadFile(program.ini());
    EXPECT_NE(ini.find("BACKGROUND_RH=255\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("TEXT_PRESSURE=65280\r\n"), std::string::npos) << ini;

    // A logout while a colour is being chosen ends the dialog like Anuluj.
    program.Run([&](MainDialog& d) {
        choosers.colours = { 16711680 };
        bool ended = false;
        whenOpen<ColoursDialog>(&d, [&](ColoursDialog& c) {
            click(c, ColoursDialog::IDC_TEMPERATURE_TEXT);
            EXPECT_EQ(d.temperaturePanel().textColour(), 16711680u);
            ::raise(SIGTERM);
            QTimer::singleShot(3000, &c, [&c] { c.accept(); }); // the test always ends
        });
        d.OnCommand(ids::ID_COLOURS);
        ended = QApplication::activeModalWidget() == nullptr;
        EXPECT_TRUE(ended);
        EXPECT_EQ(d.temperaturePanel().textColour(), 8404992u);
    });
    ini = ReadFile(program.ini());
    EXPECT_NE(ini.find("TEXT_TEMP=8404992\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("BACKGROUND_RH=255\r\n"), std::string::npos) << ini;
}
