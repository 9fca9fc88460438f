#pragma once

#include "platform/MessageBox.h"

#include <QString>

#include <deque>
#include <functional>
#include <vector>

// Answers message boxes for a test and records what was asked; installed
// for the object's lifetime.
class ScriptedMessageBox : public MessageBox {
public:
    struct Shown {
        QString text;
        Icon icon;
        Buttons buttons;
    };

    ScriptedMessageBox()
        : previous_(MessageBox::Install(this))
    {
    }
    ~ScriptedMessageBox() override { MessageBox::Install(previous_); }
    ScriptedMessageBox(const ScriptedMessageBox&) = delete;
    ScriptedMessageBox& operator=(const ScriptedMessageBox&) = delete;

    Result Show(QWidget*, const QString& text, Icon icon, Buttons buttons) override
    {
        shown.push_back({ text, icon, buttons });
        if (whileShown)
            whileShown(shown.back());
        if (!answers.empty()) {
            const Result r = answers.front();
            answers.pop_front();
            return r;
        }
        return buttons == Buttons::YesNo ? Result::No : Result::Ok;
    }

    int count(const QString& text) const
    {
        int n = 0;
        for (const auto& s : shown)
            n += s.text == text ? 1 : 0;
        return n;
    }

    std::vector<Shown> shown;
    std::deque<Result> answers;
    // Runs while the "box" is open, e.g. to let time pass in a nested loop.
    std::function<void(const Shown&)> whileShown;

private:
    MessageBox* previous_;
};
