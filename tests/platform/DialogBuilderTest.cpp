#include "platform/DialogBuilder.h"
#include "platform/MessageBox.h"
#include "resources/CommandIds.h"
#include "support/ScriptedMessageBox.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QEventLoop>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <vector>

using resources::ControlTemplate;

TEST(DialogBuilder, TemplateControlsExistWithIdsTextsAndDialogUnitGeometry)
{
    QDialog dialog;
    ASSERT_TRUE(DialogBuilder::Build(&dialog, resources::ids::kPortDialog));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Porty"));
    const auto* tmpl = resources::FindDialog(resources::ids::kPortDialog);
    const QFont font = DialogBuilder::TemplateFont(*tmpl);
    for (const ControlTemplate& c : tmpl->controls) {
        if (c.id == 65535)
            continue;
        QWidget* w = DialogBuilder::Control(&dialog, c.id);
        ASSERT_NE(w, nullptr) << c.id;
        QRect expected = DialogBuilder::ToPixels(font, c.x, c.y, c.width, c.height);
        if (c.kind == resources::ControlKind::ComboDropList) {
            // The template height is the dropped list's; the box is one line.
            EXPECT_LT(w->height(), expected.height() / 2) << c.id;
            expected.setHeight(w->height());
        }
        EXPECT_EQ(w->geometry(), expected) << c.id;
    }
    auto* ok = qobject_cast<QPushButton*>(DialogBuilder::Control(&dialog, 1));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), QStringLiteral("OK"));
    EXPECT_TRUE(ok->isDefault());
    auto* cancel = qobject_cast<QPushButton*>(DialogBuilder::Control(&dialog, 2));
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(cancel->text(), QStringLiteral("Anuluj"));
    auto* combo = qobject_cast<QComboBox*>(DialogBuilder::Control(&dialog, 1000));
    ASSERT_NE(combo, nullptr);
    EXPECT_FALSE(combo->isEditable());
    EXPECT_EQ(dialog.size(), DialogBuilder::ToPixels(font, 0, 0, 214, 87).size());
    EXPECT_EQ(DialogBuilder::Control(&dialog, 4242), nullptr);
    EXPECT_FALSE(DialogBuilder::Build(&dialog, 4242));
}

TEST(DialogBuilder, ControlsOfEveryTemplateLieInsideAndApart)
{
    for (int id :
        { resources::ids::kMainDialog, resources::ids::kPortDialog, resources::ids::kWaitDialog,
            resources::ids::kColoursDialog, resources::ids::kFontsDialog,
            resources::ids::kRecordingDialog, resources::ids::kAlarmDialog }) {
        QDialog dialog;
        ASSERT_TRUE(DialogBuilder::Build(&dialog, id));
        std::vector<QWidget*> controls;
        for (QWidget* w : dialog.findChildren<QWidget*>()) {
            if (DialogBuilder::ControlId(w) != 0)
                controls.push_back(w);
        }
        ASSERT_FALSE(controls.empty()) << id;
        for (std::size_t i = 0; i < controls.size(); ++i) {
            const QRect a = controls[i]->geometry();
            // A label's text must not be cut off by its own box.
            if (auto* label = qobject_cast<QLabel*>(controls[i]);
                label && !label->text().isEmpty()) {
                EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), a.width())
                    << "template " << id << ": " << label->text().toStdString() << " is clipped";
            }
            EXPECT_TRUE(dialog.rect().contains(a))
                << "template " << id << " control " << DialogBuilder::ControlId(controls[i]);
            // A box's text is not cut short.
            if (qobject_cast<QAbstractButton*>(controls[i]) != nullptr
                && qobject_cast<QPushButton*>(controls[i]) == nullptr) {
                EXPECT_GE(a.width(), controls[i]->sizeHint().width())
                    << "template " << id << " control " << DialogBuilder::ControlId(controls[i]);
            }
            for (std::size_t j = i + 1; j < controls.size(); ++j) {
                const QRect b = controls[j]->geometry();
                // A group box frames whole controls.
                const bool framed
                    = (qobject_cast<QGroupBox*>(controls[i]) != nullptr && a.contains(b))
                    || (qobject_cast<QGroupBox*>(controls[j]) != nullptr && b.contains(a));
                EXPECT_TRUE(framed || !a.intersects(b))
                    << "template " << id << ": controls " << DialogBuilder::ControlId(controls[i])
                    << " and " << DialogBuilder::ControlId(controls[j]) << " overlap";
            }
        }
    }
}

TEST(DialogBuilder, DialogUnitsFollowTheFontMetrics)
{
    QFont small("Liberation Sans");
    small.setPixelSize(10);
    QFont large = small;
    large.setPixelSize(20);
    const QRect a = DialogBuilder::ToPixels(small, 4, 8, 40, 80);
    const QRect b = DialogBuilder::ToPixels(large, 4, 8, 40, 80);
    EXPECT_GT(a.width(), 0);
    EXPECT_EQ(a.y(), QFontMetrics(small).height()); // 8 vertical units = one line
    EXPECT_GT(b.width(), a.width());
    EXPECT_GT(b.height(), a.height());
}

TEST(DialogBuilder, FactoryReplacesAControlAndWaitDialogShowsItsPicture)
{
    QDialog main;
    int made = 0;
    ASSERT_TRUE(DialogBuilder::Build(&main, resources::ids::kMainDialog,
        [&](const ControlTemplate& c, QWidget* parent) -> QWidget* {
            if (c.id != 1003)
                return nullptr;
            ++made;
            auto* w = new QWidget(parent);
            w->setObjectName("panel");
            return w;
        }));
    EXPECT_EQ(made, 1);
    EXPECT_EQ(DialogBuilder::Control(&main, 1003)->objectName(), QStringLiteral("panel"));
    auto* status = qobject_cast<QLineEdit*>(DialogBuilder::Control(&main, 1002));
    ASSERT_NE(status, nullptr);
    EXPECT_TRUE(status->isReadOnly());

    QDialog wait;
    ASSERT_TRUE(DialogBuilder::Build(&wait, resources::ids::kWaitDialog));
    auto* picture = qobject_cast<QLabel*>(DialogBuilder::Control(&wait, 1112));
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->pixmap().size(), QSize(57, 109));
    auto* please = qobject_cast<QLabel*>(DialogBuilder::Control(&wait, 1238));
    ASSERT_NE(please, nullptr);
    EXPECT_EQ(please->text(), QStringLiteral("Proszę czekać"));
    EXPECT_FALSE(DialogBuilder::Image(resources::ids::kIcon).isNull());
}

TEST(DialogBuilder, OkAndCancelEndTheDialogUnlessItHandlesOkItself)
{
    const auto click = [](QWidget* dialog, int id) {
        auto* button = qobject_cast<QAbstractButton*>(DialogBuilder::Control(dialog, id));
        ASSERT_NE(button, nullptr) << "no button " << id;
        button->click();
    };
    QDialog plain;
    ASSERT_TRUE(DialogBuilder::Build(&plain, resources::ids::kPortDialog));
    DialogBuilder::ConnectOkCancel(&plain);
    plain.open();
    click(&plain, 1);
    EXPECT_FALSE(plain.isVisible());
    EXPECT_EQ(plain.result(), QDialog::Accepted);
    plain.open();
    click(&plain, 2);
    EXPECT_FALSE(plain.isVisible());
    EXPECT_EQ(plain.result(), QDialog::Rejected);

    QDialog own;
    ASSERT_TRUE(DialogBuilder::Build(&own, resources::ids::kPortDialog));
    int oks = 0;
    DialogBuilder::ConnectOkCancel(&own, [&] { ++oks; });
    own.open();
    click(&own, 1);
    EXPECT_EQ(oks, 1);
    EXPECT_TRUE(own.isVisible()) << "a dialog with its own OK handler decides when it closes";
    click(&own, 2);
    EXPECT_FALSE(own.isVisible());
    EXPECT_EQ(oks, 1);

    QDialog about; // OK only
    ASSERT_TRUE(DialogBuilder::Build(&about, resources::ids::kAboutDialog));
    ASSERT_EQ(DialogBuilder::Control(&about, 2), nullptr);
    DialogBuilder::ConnectOkCancel(&about);
    about.open();
    click(&about, 1);
    EXPECT_EQ(about.result(), QDialog::Accepted);
}

TEST(DialogBuilder, MainMenuHasEveryCommandWithItsText)
{
    QMenuBar bar;
    std::vector<int> commands;
    const auto actions = DialogBuilder::BuildMenu(
        &bar, resources::ids::kMainMenu, [&](int id) { commands.push_back(id); });
    const std::set<int> expected { ids::ID_RUN_PLOTAN, ids::ID_CLOSE, ids::ID_COLOURS,
        ids::ID_FONTS, ids::ID_TOPMOST, ids::ID_SERIAL_PORT, ids::ID_RECORDING,
        ids::ID_MORE_SETTINGS, ids::ID_HELP, ids::ID_PROMOTION, ids::ID_ABOUT, ids::ID_MQTT,
        ids::ID_ALARMS, ids::ID_ACKNOWLEDGE_ALARMS };
    EXPECT_EQ(actions.size(), static_cast<int>(expected.size()));
    for (int id : expected)
        ASSERT_TRUE(actions.contains(id)) << id;
    EXPECT_EQ(actions[ids::ID_TOPMOST]->text(), QStringLiteral("Zawsze na wierzchu"));
    EXPECT_EQ(actions[ids::ID_RECORDING]->text(), QStringLiteral("Rejestracja do pliku"));
    // Publishing and alarms come after the settings the program always had.
    const QList<QAction*> settings = bar.actions()[2]->menu()->actions();
    EXPECT_EQ(settings[settings.size() - 2], actions[ids::ID_MQTT]);
    EXPECT_EQ(settings.back(), actions[ids::ID_ALARMS]);
    EXPECT_EQ(actions[ids::ID_MQTT]->text(), QStringLiteral("Publikowanie MQTT"));
    EXPECT_EQ(bar.actions().size(), 4);
    EXPECT_EQ(bar.actions()[0]->text(), QStringLiteral("Program"));
    actions[ids::ID_CLOSE]->trigger();
    EXPECT_EQ(commands, std::vector<int> { ids::ID_CLOSE });
    EXPECT_EQ(resources::String(resources::ids::kAboutString), "&About QM482...");
}

namespace {

QAccessibleInterface* accessible(const QDialog& dialog, int id)
{
    return QAccessible::queryAccessibleInterface(DialogBuilder::Control(&dialog, id));
}

// Runs the control's accessible action and waits (at most a second) for the
// click it must bring, as a mouse click would.
bool actionClicks(const QDialog& dialog, int id, const QString& action)
{
    auto* button = qobject_cast<QAbstractButton*>(DialogBuilder::Control(&dialog, id));
    QEventLoop loop;
    bool clicked = false;
    QObject::connect(button, &QAbstractButton::clicked, &loop, [&] {
        clicked = true;
        loop.quit();
    });
    QTimer::singleShot(1000, &loop, &QEventLoop::quit);
    accessible(dialog, id)->actionInterface()->doAction(action);
    loop.exec();
    return clicked;
}

} // namespace

TEST(DialogBuilder, ControlsTellAssistiveToolsTheirRoleAndName)
{
    QDialog recording;
    ASSERT_TRUE(DialogBuilder::Build(&recording, resources::ids::kRecordingDialog));
    QDialog port;
    ASSERT_TRUE(DialogBuilder::Build(&port, resources::ids::kPortDialog));
    const struct {
        const QDialog& dialog;
        int id;
        QAccessible::Role role;
        const char* name;
    } expected[] = {
        { recording, 1124, QAccessible::RadioButton, "Przecinek" },
        { recording, 1046, QAccessible::CheckBox, "Temperatura" },
        { recording, 1, QAccessible::Button, "OK" },
        { recording, 1036, QAccessible::EditableText, "W pliku" },
        { recording, 1116, QAccessible::EditableText,
            "Dodaj komentarz przy rozpoczęciu rejestracji:" },
        { recording, 1045, QAccessible::SpinBox, "Interwał rejestracji" },
        { port, 1000, QAccessible::ComboBox, "Wybierz port:" },
    };
    for (const auto& e : expected) {
        QAccessibleInterface* iface = accessible(e.dialog, e.id);
        ASSERT_NE(iface, nullptr) << e.id;
        EXPECT_EQ(iface->role(), e.role) << e.id;
        EXPECT_EQ(iface->text(QAccessible::Name), QString::fromUtf8(e.name)) << e.id;
    }
}

TEST(DialogBuilder, AccessibleActionOfACheckBoxOrRadioButtonIsAClick)
{
    QDialog dialog;
    ASSERT_TRUE(DialogBuilder::Build(&dialog, resources::ids::kRecordingDialog));
    auto* tab = qobject_cast<QAbstractButton*>(DialogBuilder::Control(&dialog, 1123));
    auto* comma = qobject_cast<QAbstractButton*>(DialogBuilder::Control(&dialog, 1124));
    auto* column = qobject_cast<QAbstractButton*>(DialogBuilder::Control(&dialog, 1046));
    tab->setChecked(true);
    EXPECT_TRUE(actionClicks(dialog, 1124, QAccessibleActionInterface::toggleAction()));
    EXPECT_TRUE(comma->isChecked());
    EXPECT_FALSE(tab->isChecked()); // still one of a group
    EXPECT_TRUE(accessible(dialog, 1124)->state().checked);

    const bool before = column->isChecked();
    EXPECT_TRUE(actionClicks(dialog, 1046, QAccessibleActionInterface::pressAction()));
    EXPECT_NE(column->isChecked(), before);
}

TEST(MessageBoxService, ScriptedResponderAnswersAndRecords)
{
    {
        ScriptedMessageBox script;
        script.answers.push_back(MessageBox::Result::Yes);
        EXPECT_EQ(ShowMessage(
                      nullptr, "pytanie?", MessageBox::Icon::Question, MessageBox::Buttons::YesNo),
            MessageBox::Result::Yes);
        EXPECT_EQ(ShowMessage(
                      nullptr, QStringLiteral("Błąd inicjalizacji DDE!"), MessageBox::Icon::Error),
            MessageBox::Result::Ok);
        ASSERT_EQ(script.shown.size(), 2u);
        EXPECT_EQ(script.shown[1].icon, MessageBox::Icon::Error);
        EXPECT_EQ(script.count(QStringLiteral("Błąd inicjalizacji DDE!")), 1);
        EXPECT_EQ(&MessageBox::instance(), &script);
    }
    EXPECT_EQ(dynamic_cast<ScriptedMessageBox*>(&MessageBox::instance()), nullptr);
    EXPECT_EQ(MessageBox::Caption(), QStringLiteral("platform_tests"));
}

namespace {

// Shows the real box and, once it is open, ends it as `act` does.
MessageBox::Result AnswerRealBox(
    MessageBox::Buttons buttons, const std::function<void(QMessageBox&)>& act)
{
    std::function<void()> poll = [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            act(*box);
        else
            QTimer::singleShot(10, qApp, poll);
    };
    QTimer::singleShot(10, qApp, poll);
    return ShowMessage(
        nullptr, QStringLiteral("Plik już istnieje."), MessageBox::Icon::Question, buttons);
}

void PressEscape(QMessageBox& box)
{
    // Where a key goes: the focused button first, then up to the box.
    QWidget* target = box.focusWidget() != nullptr ? box.focusWidget() : &box;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

} // namespace

// Qt makes the one "No" button of a box its escape button: a question
// dismissed would be answered "Nie", which empties a recording.
TEST(MessageBoxService, ADismissedQuestionIsNoAnswerAndOnlyNieSaysNo)
{
    using R = MessageBox::Result;
    EXPECT_EQ(AnswerRealBox(MessageBox::Buttons::YesNo, PressEscape), R::Cancelled);
    EXPECT_EQ(
        AnswerRealBox(MessageBox::Buttons::YesNo, [](QMessageBox& b) { b.close(); }), R::Cancelled)
        << "the window's close button";
    EXPECT_EQ(AnswerRealBox(MessageBox::Buttons::YesNo,
                  [](QMessageBox& b) { b.button(QMessageBox::No)->click(); }),
        R::No);
    EXPECT_EQ(AnswerRealBox(MessageBox::Buttons::YesNo,
                  [](QMessageBox& b) {
                      EXPECT_EQ(b.button(QMessageBox::Yes)->text(), QStringLiteral("Tak"));
                      EXPECT_EQ(b.button(QMessageBox::No)->text(), QStringLiteral("Nie"));
                      b.button(QMessageBox::Yes)->click();
                  }),
        R::Yes);
    // A box that only tells is dismissed as read.
    EXPECT_EQ(AnswerRealBox(MessageBox::Buttons::Ok, PressEscape), R::Ok);
}
