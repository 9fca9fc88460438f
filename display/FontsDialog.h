#pragma once

#include <QDialog>

class FontPreview;
class ValuePanel;

// "Czcionki": the value font of each panel, each shown in a preview. Every
// choice goes to the panel at once; the caller puts the old fonts back
// unless the dialog ends with OK.
class FontsDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int IDC_TEMPERATURE_FONT = 1039;
    static constexpr int IDC_HUMIDITY_FONT = 1042;
    static constexpr int IDC_PRESSURE_FONT = 1044;

    FontsDialog(
        ValuePanel& temperature, ValuePanel& humidity, ValuePanel& pressure, QWidget* parent);

    int exec() override;

    FontPreview* preview(int id) const;

private:
    struct Row {
        int id;
        ValuePanel* panel;
    };

    void OnInitDialog();
    void OnPreviewClicked(const Row& row);

    Row rows_[3];
};
