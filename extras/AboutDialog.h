#pragma once

#include "extras/HyperLink.h"

#include <QDialog>

class QLabel;

// "O programie": the program, its author and its maker, whose logo opens
// the maker's page and whose address opens a new mail.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int IDC_LOGO = 1112;
    static constexpr int IDC_MAIL = 1113;

    explicit AboutDialog(QWidget* parent = nullptr);

    HyperLink& mailLink() { return mailLink_; }
    HyperLink& logoLink() { return logoLink_; }
    // The logo's click: opens the maker's page through a link of its own,
    // kept with the box so its answer still finds it.
    void OnLogoClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    HyperLink mailLink_;
    HyperLink logoLink_ { this };
    QLabel* logo_ = nullptr;
};
