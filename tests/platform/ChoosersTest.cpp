#include "platform/Choosers.h"

#include <QApplication>
#include <QColorDialog>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace {

// Runs `step` on the colour chooser once it is open.
void whenChooserOpen(std::function<void(QColorDialog&)> step)
{
    QTimer::singleShot(10, qApp, [step] {
        if (auto* d = qobject_cast<QColorDialog*>(QApplication::activeModalWidget()))
            step(*d);
        else
            whenChooserOpen(step);
    });
}

} // namespace

// Qt's own dialog reads its custom colours from the user's settings; the
// program's start white at every start and are shared for the whole run.
TEST(ColourChooser, CustomColoursStartWhiteAndLastForTheRun)
{
    const std::filesystem::path config
        = std::filesystem::temp_directory_path() / "qm482-choosers-config";
    std::filesystem::create_directories(config);
    std::ofstream(config / "QtProject.conf") << "[Qt]\ncustomColors\\0=4294901760\n";
    const char* previous = std::getenv("XDG_CONFIG_HOME");
    const std::string previousConfig = previous != nullptr ? previous : "";
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);

    QWidget window;
    window.show();
    QApplication::setActiveWindow(&window);
    QRgb first = 0;
    QWidget* owner = nullptr;
    whenChooserOpen([&](QColorDialog& d) {
        first = QColorDialog::customColor(0).rgb();
        owner = d.parentWidget();
        QColorDialog::setCustomColor(5, qRgb(0, 0, 255)); // "Add to Custom Colors"
        d.setCurrentColor(QColor(10, 20, 30));
        d.accept();
    });
    unsigned colour = 255;
    EXPECT_TRUE(Choosers::instance().ChooseColour(nullptr, colour));
    EXPECT_EQ(colour, 10u + 256u * 20u + 65536u * 30u);
    EXPECT_EQ(first, qRgb(255, 255, 255)) << "another run's custom colour came back";
    EXPECT_EQ(owner, &window) << "the chooser does not belong to the active window";

    QRgb kept = 0;
    whenChooserOpen([&](QColorDialog& d) {
        kept = QColorDialog::customColor(5).rgb();
        d.reject();
    });
    EXPECT_FALSE(Choosers::instance().ChooseColour(nullptr, colour));
    EXPECT_EQ(colour, 10u + 256u * 20u + 65536u * 30u);
    EXPECT_EQ(kept, qRgb(0, 0, 255)) << "the custom colour was lost between two choosers";
    std::filesystem::remove_all(config);
    if (previous != nullptr)
        ::setenv("XDG_CONFIG_HOME", previousConfig.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
}
