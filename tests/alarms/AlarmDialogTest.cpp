#include "alarms/AlarmDialog.h"
#include "platform/DialogBuilder.h"
#include "support/PolishLocale.h"
#include "support/ScriptedMessageBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

// The template's ids: each group of limits has on/high/on/low/hysteresis.
enum : int { kTempHighOn = 1301, kTempHigh, kTempLowOn, kTempLow, kTempHyst };
enum : int { kRhHighOn = 1311, kRhHigh, kRhLowOn, kRhLow, kRhHyst };
enum : int { kPressHighOn = 1321, kPressHigh, kPressLowOn, kPressLow, kPressHyst };
enum : int { kSpreadOn = 1331, kSpread, kDelay, kLinkLostOn, kLinkLost, kMeterError, kNotify };
enum : int { kSound = 1338, kShowDewPoint, kCommand, kLogFile, kOk = 1, kCancel = 2 };

template<class T = QWidget> T* at(const AlarmDialog& d, int id)
{
    auto* w = qobject_cast<T*>(DialogBuilder::Control(&d, id));
    EXPECT_NE(w, nullptr) << id;
    return w;
}

void set(const AlarmDialog& d, int id, const char* text)
{
    at<QLineEdit>(d, id)->setText(QString::fromUtf8(text));
}

void click(const AlarmDialog& d, int id)
{
    at<QAbstractButton>(d, id)->click();
}

void showActive(AlarmDialog& d)
{
    d.show();
    d.activateWindow();
    for (int i = 0; i < 100 && !d.isActiveWindow(); ++i)
        QApplication::processEvents();
    ASSERT_TRUE(d.isActiveWindow());
}

// Every field away from its default, every switch on.
AlarmSettings allOn()
{
    AlarmSettings s;
    s.temperature = { true, 30.25, true, -12.5, 0.75 };
    s.humidity = { true, 85.0, true, 20.5, 3.0 };
    s.pressure = { true, 1050.5, true, 950.0, 0.0 };
    s.dewPointSpreadOn = s.linkLostOn = s.meterErrorOn = s.showDewPoint = true;
    s.dewPointSpread = 1.5;
    s.delaySeconds = 45;
    s.linkLostDelaySeconds = 120;
    s.notify = s.sound = false;
    s.command = "/usr/bin/logger -t qm482 \"alarm ąę\"";
    s.logFile = "/var/tmp/alarmy ł.log";
    return s;
}

// Every switch flipped, the disabled edits holding values of their own.
AlarmSettings allOff()
{
    AlarmSettings s = allOn();
    s.temperature.highOn = s.temperature.lowOn = s.humidity.highOn = s.humidity.lowOn = false;
    s.pressure.highOn = s.pressure.lowOn = false;
    s.dewPointSpreadOn = s.linkLostOn = s.meterErrorOn = s.showDewPoint = false;
    s.notify = s.sound = true;
    s.command.clear();
    return s;
}

} // namespace

TEST(AlarmDialog, EveryFieldComesBackAfterOkAndTypedCommasAreRead)
{
    ASSERT_TRUE(testlocale::UsePolishLocale());
    QLocale::setDefault(QLocale(QLocale::Polish, QLocale::Poland));
    for (const AlarmSettings& given : { allOn(), allOff(), AlarmSettings {} }) {
        AlarmDialog d(given);
        EXPECT_EQ(d.windowTitle(), QStringLiteral("Alarmy"));
        click(d, kOk);
        EXPECT_EQ(d.result(), QDialog::Accepted);
        AlarmSettings expected = given;
        expected.configured = true;
        EXPECT_EQ(d.settings(), expected);
    }
    AlarmDialog d(allOn());
    EXPECT_EQ(at<QLineEdit>(d, kTempLow)->text(), QStringLiteral("-12.5")); // "." in any locale
    set(d, kTempHigh, " 31,5 ");
    set(d, kPressLow, "+940");
    set(d, kSpread, "0,5");
    set(d, kDelay, "10,0");
    set(d, kCommand, "  /opt/alarm.sh --głośno  ");
    click(d, kOk);
    ASSERT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(d.settings().temperature.high, 31.5);
    EXPECT_EQ(d.settings().pressure.low, 940.0);
    EXPECT_EQ(d.settings().dewPointSpread, 0.5);
    EXPECT_EQ(d.settings().delaySeconds, 10);
    EXPECT_EQ(d.settings().command, "/opt/alarm.sh --głośno");
    QLocale::setDefault(QLocale::c());
}

TEST(AlarmDialog, RefusedValueShowsOneBoxFocusesItsEditAndChangesNothing)
{
    const char* const notANumber = "To nie jest liczba. Wpisz np. 25.5";
    const char* const notWhole = "Podaj liczbę całkowitą sekund, np. 30";
    struct Case {
        std::vector<std::pair<int, const char*>> typed;
        const char* box;
        int focus;
    };
    const Case cases[] = {
        { { { kTempHigh, "abc" } }, notANumber, kTempHigh },
        { { { kRhHyst, "" } }, notANumber, kRhHyst },
        { { { kDelay, "pięć" } }, notANumber, kDelay },
        { { { kDelay, "1,5" } }, notWhole, kDelay },
        { { { kLinkLost, "1e12" } }, notWhole, kLinkLost },
        // The first at fault in the order of the layout.
        { { { kSpread, "x" }, { kTempLow, "y" } }, notANumber, kTempLow },
        { { { kTempLow, "30.5" } }, "Dolny próg temperatury jest wyższy od górnego.", kTempLow },
        { { { kRhLow, "85,1" } }, "Dolny próg wilgotności jest wyższy od górnego.", kRhLow },
        { { { kPressHigh, "900" } }, "Dolny próg ciśnienia jest wyższy od górnego.", kPressLow },
        { { { kPressHyst, "-1" } }, "Histereza nie może być ujemna.", kPressHyst },
        { { { kDelay, "-5" } }, "Czas opóźnienia nie może być ujemny.", kDelay },
        { { { kLinkLost, "-1" } }, "Czas opóźnienia nie może być ujemny.", kLinkLost },
        { { { kSpread, "-0.5" } }, "Różnica do punktu rosy nie może być ujemna.", kSpread },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.box);
        ScriptedMessageBox boxes;
        AlarmDialog d(allOn());
        showActive(d);
        for (const auto& [id, text] : c.typed)
            set(d, id, text);
        // A second OK while the box is open must not stack another.
        boxes.whileShown = [&](const auto&) {
            if (boxes.shown.size() == 1)
                click(d, kOk);
        };
        click(d, kOk);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].text, QString::fromUtf8(c.box));
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(d.settings(), allOn());
        EXPECT_TRUE(at(d, c.focus)->hasFocus());
        EXPECT_EQ(at<QLineEdit>(d, c.typed[0].first)->text(), QString::fromUtf8(c.typed[0].second));
    }
}

TEST(AlarmDialog, EditsFollowTheirBoxesADisabledOneIsNeverRefusedAndOnlyOkKeepsWhatWasTyped)
{
    const std::pair<int, int> pairs[] = { { kTempHighOn, kTempHigh }, { kTempLowOn, kTempLow },
        { kRhHighOn, kRhHigh }, { kRhLowOn, kRhLow }, { kPressHighOn, kPressHigh },
        { kPressLowOn, kPressLow }, { kSpreadOn, kSpread }, { kLinkLostOn, kLinkLost },
        { kRhLowOn, kRhHyst } }; // a hysteresis counts while a limit of its group is on
    const std::function<void(AlarmDialog&)> ways[] = {
        [](AlarmDialog& d) { click(d, kOk); },
        [](AlarmDialog& d) { click(d, kCancel); },
        [](AlarmDialog& d) {
            QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(at(d, kTempHigh), &esc);
        },
        [](AlarmDialog& d) { d.close(); },
    };
    for (const auto& leave : ways) {
        const bool ok = &leave == &ways[0];
        ScriptedMessageBox boxes;
        AlarmDialog d(allOff());
        showActive(d);
        for (const auto& [box, edit] : pairs) {
            EXPECT_FALSE(at(d, edit)->isEnabled()) << edit;
            click(d, box);
            EXPECT_TRUE(at(d, edit)->isEnabled()) << edit;
            click(d, box);
        }
        // Typed into edits that are off: a good value is taken, a bad one
        // leaves the old.
        set(d, kTempHigh, "22,5");
        set(d, kTempLow, "40"); // above high, but only high is on
        click(d, kTempHighOn);
        set(d, kSpread, "-3");
        set(d, kLinkLost, "nie");
        set(d, kPressHyst, "zły");
        at(d, kTempHigh)->setFocus();
        leave(d);
        EXPECT_TRUE(boxes.shown.empty());
        EXPECT_FALSE(d.isVisible());
        EXPECT_EQ(d.result(), ok ? QDialog::Accepted : QDialog::Rejected);
        AlarmSettings expected = allOff();
        if (ok) {
            expected.configured = expected.temperature.highOn = true;
            expected.temperature.high = 22.5;
            expected.temperature.low = 40.0;
        }
        EXPECT_EQ(d.settings(), expected);
    }
}

TEST(AlarmDialog, TabFollowsTheLayoutAndEveryEditHasItsOwnName)
{
    AlarmDialog d(allOn());
    showActive(d);
    const int order[] = { kTempHighOn, kTempHigh, kTempLowOn, kTempLow, kTempHyst, kRhHighOn,
        kRhHigh, kRhLowOn, kRhLow, kRhHyst, kPressHighOn, kPressHigh, kPressLowOn, kPressLow,
        kPressHyst, kSpreadOn, kSpread, kDelay, kLinkLostOn, kLinkLost, kMeterError, kNotify,
        kSound, kShowDewPoint, kCommand, kLogFile, kOk, kCancel, kTempHighOn };
    at(d, order[0])->setFocus();
    for (std::size_t i = 1; i < std::size(order); ++i) {
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QApplication::sendEvent(QApplication::focusWidget(), &tab);
        EXPECT_EQ(DialogBuilder::ControlId(QApplication::focusWidget()), order[i]) << i;
    }
    QStringList names;
    for (const QLineEdit* e : d.findChildren<QLineEdit*>()) {
        EXPECT_FALSE(e->accessibleName().isEmpty() || names.contains(e->accessibleName()))
            << e->accessibleName().toStdString();
        names << e->accessibleName();
    }
    EXPECT_EQ(names.size(), 14);
}
