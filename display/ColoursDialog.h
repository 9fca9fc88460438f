#pragma once

#include <QDialog>

class ColourSwatch;
class ValuePanel;

// "Kolory": the background and text colour of each value panel. Every
// choice goes to the panel at once; the caller puts the old colours back
// unless the dialog ends with OK.
class ColoursDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int IDC_TEMPERATURE_BACKGROUND = 1040;
    static constexpr int IDC_HUMIDITY_BACKGROUND = 1042;
    static constexpr int IDC_PRESSURE_BACKGROUND = 1044;
    static constexpr int IDC_TEMPERATURE_TEXT = 1046;
    static constexpr int IDC_HUMIDITY_TEXT = 1048;
    static constexpr int IDC_PRESSURE_TEXT = 1050;

    ColoursDialog(
        ValuePanel& temperature, ValuePanel& humidity, ValuePanel& pressure, QWidget* parent);

    int exec() override;

    ColourSwatch* swatch(int id) const;

private:
    struct Row {
        int id;
        ValuePanel* panel;
        bool background;
    };

    void OnInitDialog();
    void OnSwatchClicked(const Row& row);

    Row rows_[6];
};
