#pragma once

#include "extras/HyperLink.h"

#include <QDialog>

class QTextEdit;

// The promotion window: the advertisement, to be read and scrolled but
// not clicked into, and a link to the product's page.
class PromoDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int IDC_TEXT = 1076;
    static constexpr int IDC_INFO = 1130;

    explicit PromoDialog(QWidget* parent = nullptr);

    QTextEdit* advertisement() const { return text_; }
    HyperLink& infoLink() { return infoLink_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTextEdit* text_ = nullptr;
    HyperLink infoLink_;
};
