#pragma once

#include <QDialog>

class QCheckBox;

// "Ustawienia dodatkowe": whether the promotion window opens at start-up.
class ExtraSettingsDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int IDC_HIDE_AT_START = 1131;

    explicit ExtraSettingsDialog(QWidget* parent = nullptr);

    // 1: do not show the promotion window at start-up. Read by the box when
    // the dialog runs, written back by OK.
    int hideAtStart = 0;

    int exec() override;
    void accept() override;

    QCheckBox* checkBox() const { return box_; }

private:
    QCheckBox* box_ = nullptr;
};
