#pragma once

#include <QString>

class QWidget;

// The program's standard message box: a fixed text, the executable's name
// as caption, an icon (exclamation unless named) and OK or Yes/No. One
// service for the whole program, so tests can answer instead of a person.
class MessageBox {
public:
    enum class Icon { Exclamation, Error, Information, Question };
    enum class Buttons { Ok, YesNo };
    // Cancelled: no answer, a question dismissed (Escape, the window's close
    // button) or ended from outside; never taken for No.
    enum class Result { Ok, Yes, No, Cancelled };

    virtual ~MessageBox() = default;
    virtual Result Show(QWidget* parent, const QString& text, Icon icon, Buttons buttons) = 0;

    // The service in use; a real modal box unless a test installed another.
    static MessageBox& instance();
    // Installs `box` (not owned) and returns the previous one; nullptr
    // restores the real box.
    static MessageBox* Install(MessageBox* box);

    // The caption every box carries.
    static QString Caption();
};

inline MessageBox::Result ShowMessage(QWidget* parent, const QString& text,
    MessageBox::Icon icon = MessageBox::Icon::Exclamation,
    MessageBox::Buttons buttons = MessageBox::Buttons::Ok)
{
    return MessageBox::instance().Show(parent, text, icon, buttons);
}
