#include "platform/MessageBox.h"

#include "platform/Responder.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

namespace {

// A question dismissed (Escape, the window's close button) gets no answer:
// Qt would take it for the one "No" button, and "Nie" empties a file.
class Box : public QMessageBox {
public:
    Box(QWidget* parent, bool question)
        : QMessageBox(parent)
        , question_(question)
    {
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (question_ && event->matches(QKeySequence::Cancel)) {
            reject();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override
    {
        if (question_)
            // Past QMessageBox's, which takes the close for "No": QDialog's rejects.
            QDialog::closeEvent(event); // NOLINT(bugprone-parent-virtual-call)
        else
            QMessageBox::closeEvent(event);
    }

private:
    bool question_;
};

class ModalMessageBox : public MessageBox {
public:
    Result Show(QWidget* parent, const QString& text, Icon icon, Buttons buttons) override
    {
        Box box(parent, buttons == Buttons::YesNo);
        box.setWindowTitle(Caption());
        // Texts keep the CR LF line ends of the program's resources.
        box.setText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        switch (icon) {
        case Icon::Exclamation:
            box.setIcon(QMessageBox::Warning);
            break;
        case Icon::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        case Icon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case Icon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        }
        if (buttons == Buttons::YesNo) {
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            // The questions name the buttons: "Wybierz Tak ..., wybierz Nie ...".
            box.button(QMessageBox::Yes)->setText(QStringLiteral("Tak"));
            box.button(QMessageBox::No)->setText(QStringLiteral("Nie"));
        } else {
            box.setStandardButtons(QMessageBox::Ok);
        }
        const int r = box.exec();
        if (r == QMessageBox::Yes)
            return Result::Yes;
        if (r == QMessageBox::No)
            return Result::No;
        if (r == QMessageBox::Ok)
            return Result::Ok;
        return Result::Cancelled; // dismissed, or ended from outside (the program is closing)
    }
};

ModalMessageBox g_modal;
constinit Responder<MessageBox> g_box(g_modal);

} // namespace

MessageBox& MessageBox::instance()
{
    return g_box.current();
}

MessageBox* MessageBox::Install(MessageBox* box)
{
    return g_box.Install(box);
}

QString MessageBox::Caption()
{
    const QString path = QCoreApplication::applicationFilePath();
    const QString name = QFileInfo(path).completeBaseName();
    return name.isEmpty() ? QStringLiteral("qm482") : name;
}
