#include "recording/RecordingDialog.h"
#include "platform/Choosers.h"
#include "platform/DialogBuilder.h"
#include "support/ScriptedMessageBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimeEdit>
#include <gtest/gtest.h>

#include <deque>
#include <vector>

namespace {

class ScriptedChoosers : public Choosers {
public:
    struct Answer {
        std::string path; // empty: the user cancels
        int selectedFilter = 0;
    };
    ScriptedChoosers()
        : previous_(Choosers::Install(this))
    {
    }
    ~ScriptedChoosers() override { Choosers::Install(previous_); }
    ScriptedChoosers(const ScriptedChoosers&) = delete;
    ScriptedChoosers& operator=(const ScriptedChoosers&) = delete;

    bool ChooseColour(QWidget*, unsigned&) override { return false; }
    bool ChooseFont(QWidget*, FontDescription&) override { return false; }
    bool ChooseFile(QWidget*, FileChoice& choice, std::string& path) override
    {
        asked.push_back(choice);
        const Answer a = answers.empty() ? Answer {} : answers.front();
        if (!answers.empty())
            answers.pop_front();
        if (a.path.empty())
            return false;
        choice.selectedFilter = a.selectedFilter;
        path = a.path;
        return true;
    }

    std::deque<Answer> answers;
    std::vector<FileChoice> asked;

private:
    Choosers* previous_;
};

RecordingSettings typical()
{
    RecordingSettings s;
    s.reportFileName = "/srv/pomiary.csv";
    s.binaryFileName = "/srv/pomiary.qmg";
    s.intervalSeconds = 60;
    return s;
}

template<class T = QWidget> T* at(const RecordingDialog& d, int id)
{
    auto* w = qobject_cast<T*>(DialogBuilder::Control(&d, id));
    EXPECT_NE(w, nullptr) << id;
    return w;
}

void click(const RecordingDialog& d, int id)
{
    at<QAbstractButton>(d, id)->click();
}

// Which of the three groups are enabled, read from every control in them.
std::string enabledGroups(const RecordingDialog& d)
{
    auto all = [&](std::initializer_list<int> ids) {
        int on = 0;
        for (int id : ids)
            on += at(d, id)->isEnabled() ? 1 : 0;
        return on == 0 ? '-' : on == static_cast<int>(ids.size()) ? '+' : '?';
    };
    for (int id : { 1052, 1045, 1026, 1027, 1, 2 })
        EXPECT_TRUE(at(d, id)->isEnabled()) << id;
    return { all({ 1038, 1123, 1124, 1125, 1036, 1048, 1051, 1046, 1008, 1007, 1115 }),
        all({ 1116, 1117 }), all({ 1053, 1039, 1040 }) };
}

// Shows the dialog and makes it the active window, so focus moves for real.
void showActive(RecordingDialog& d)
{
    d.show();
    d.activateWindow();
    for (int i = 0; i < 100 && !d.isActiveWindow(); ++i)
        QApplication::processEvents();
    ASSERT_TRUE(d.isActiveWindow());
}

void press(QWidget* w, int key, const QString& text = {})
{
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &down);
    QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &up);
}

void type(QWidget* w, const QString& text)
{
    for (QChar c : text)
        press(w, 0, c);
}

} // namespace

TEST(RecordingDialog, EnableGroupsFollowTheBoxesAndKeepTheirValues)
{
    RecordingSettings s = typical();
    s.reportEnabled = 0;
    s.writeComment = 1;
    s.commentSerialNumber = 1;
    s.binaryEnabled = 0;
    RecordingDialog d(s, "Hala 2\nczujnik B");
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Rejestracja do pliku"));
    EXPECT_EQ(enabledGroups(d), "---");
    EXPECT_TRUE(at<QAbstractButton>(d, 1115)->isChecked());

    click(d, 1026); // the comment box was checked all along
    EXPECT_EQ(enabledGroups(d), "++-");
    click(d, 1115);
    EXPECT_EQ(enabledGroups(d), "+--");
    EXPECT_EQ(at<QPlainTextEdit>(d, 1116)->toPlainText(), QStringLiteral("Hala 2\nczujnik B"));
    EXPECT_TRUE(at<QAbstractButton>(d, 1117)->isChecked());
    click(d, 1026);
    EXPECT_EQ(enabledGroups(d), "---");
    click(d, 1026);
    EXPECT_EQ(enabledGroups(d), "+--");
    click(d, 1027);
    EXPECT_EQ(enabledGroups(d), "+-+");
    click(d, 1115);
    EXPECT_EQ(enabledGroups(d), "+++");

    click(d, 1);
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(d.settings().reportEnabled, 1);
    EXPECT_EQ(d.settings().binaryEnabled, 1);
    EXPECT_EQ(d.settings().writeComment, 1);
    EXPECT_EQ(d.settings().commentSerialNumber, 1);
    EXPECT_EQ(d.comment(), "Hala 2\nczujnik B");
}

TEST(RecordingDialog, CommentBoxClearDisablesTheCommentEvenWithTheReportOn)
{
    RecordingSettings s = typical();
    s.reportEnabled = 1;
    s.writeComment = 0;
    s.binaryEnabled = 1;
    RecordingDialog d(s, "");
    EXPECT_EQ(enabledGroups(d), "+-+");
    click(d, 1027);
    EXPECT_EQ(enabledGroups(d), "+--");
}

TEST(RecordingDialog, IntervalShowsAsATimeAndZeroBecomesOneSecondWhenLeft)
{
    RecordingSettings s = typical();
    s.intervalSeconds = 90;
    RecordingDialog d(s, "");
    auto* picker = at<QTimeEdit>(d, 1045);
    EXPECT_EQ(picker->time(), QTime(0, 1, 30));
    EXPECT_EQ(picker->text(), QStringLiteral("00:01:30"));

    showActive(d);
    picker->setFocus();
    picker->setTime(QTime(0, 0, 0));
    at(d, 1026)->setFocus();
    ASSERT_FALSE(picker->hasFocus());
    EXPECT_EQ(picker->text(), QStringLiteral("00:00:01"));
    EXPECT_EQ(d.settings().intervalSeconds, 1);

    picker->setFocus();
    picker->setTime(QTime(2, 0, 5));
    at(d, 1026)->setFocus();
    EXPECT_EQ(d.settings().intervalSeconds, 7205);

    // A day or more cannot be a time of day: the picker shows its longest.
    s.intervalSeconds = 2 * 86400;
    RecordingDialog longer(s, "");
    EXPECT_EQ(at<QTimeEdit>(longer, 1045)->time(), QTime(23, 59, 59));
}

TEST(RecordingDialog, ChosenFilesGetTheSelectedFiltersExtension)
{
    ScriptedChoosers choosers;
    RecordingSettings s = typical();
    s.reportEnabled = 1;
    s.binaryEnabled = 1;
    RecordingDialog d(s, "");
    choosers.answers = { { "/home/o/raport", 1 }, { "/home/o/raport", 0 }, { "/home/o/r.dat", 1 },
        {}, { "/home/o/zapis", 0 } };

    click(d, 1038);
    ASSERT_EQ(choosers.asked.size(), 1u);
    const FileChoice& report = choosers.asked[0];
    EXPECT_EQ(report.title, "Wybierz plik raportu");
    ASSERT_EQ(report.filters.size(), 2u);
    EXPECT_EQ(report.filters[0].description, "Plik tekstowy (*.txt)");
    EXPECT_EQ(report.filters[0].pattern, "*.txt");
    EXPECT_EQ(report.filters[1].description, "Lista CSV (*.csv)");
    EXPECT_EQ(report.filters[1].pattern, "*.csv");
    EXPECT_EQ(report.defaultExtension, "csv");
    EXPECT_EQ(report.selectedFilter, 0);
    EXPECT_EQ(at<QLineEdit>(d, 1036)->text(), QStringLiteral("/home/o/raport.csv"));
    click(d, 1038);
    EXPECT_EQ(at<QLineEdit>(d, 1036)->text(), QStringLiteral("/home/o/raport.txt"));
    click(d, 1038);
    EXPECT_EQ(at<QLineEdit>(d, 1036)->text(), QStringLiteral("/home/o/r.dat"));
    click(d, 1038); // cancelled
    EXPECT_EQ(at<QLineEdit>(d, 1036)->text(), QStringLiteral("/home/o/r.dat"));

    click(d, 1040);
    ASSERT_EQ(choosers.asked.size(), 5u);
    const FileChoice& binary = choosers.asked[4];
    EXPECT_EQ(binary.title, "Wybierz plik binarny");
    ASSERT_EQ(binary.filters.size(), 1u);
    EXPECT_EQ(binary.filters[0].description, "Plik binarny (*.qmg)");
    EXPECT_EQ(binary.defaultExtension, "qmg");
    EXPECT_EQ(at<QLineEdit>(d, 1039)->text(), QStringLiteral("/home/o/zapis.qmg"));

    click(d, 1);
    EXPECT_EQ(d.settings().reportFileName, "/home/o/r.dat");
    EXPECT_EQ(d.settings().binaryFileName, "/home/o/zapis.qmg");
}

TEST(RecordingDialog, OkWithoutAQuantitySaysSoEvenWithOnlyTheBinaryFileOn)
{
    ScriptedMessageBox boxes;
    RecordingSettings s = typical();
    s.reportEnabled = 0;
    s.binaryEnabled = 1;
    s.columnTemperature = s.columnHumidity = s.columnPressure = 0;
    RecordingDialog d(s, "");
    d.show();
    click(d, 1);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Wybierz przynajmniej jedną wielkość do zapisu"));
    EXPECT_EQ(boxes.shown[0].icon, MessageBox::Icon::Information);
    EXPECT_EQ(boxes.shown[0].buttons, MessageBox::Buttons::Ok);
    EXPECT_TRUE(d.isVisible());

    // A column chosen while the report was on counts after it is turned off.
    click(d, 1026);
    click(d, 1008);
    click(d, 1026);
    click(d, 1);
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(d.settings().reportEnabled, 0);
    EXPECT_EQ(d.settings().columnHumidity, 1);
    EXPECT_EQ(d.settings().columnTemperature, 0);
}

TEST(RecordingDialog, SeparatorOutsideTheThreeIsKeptUnlessOneIsClicked)
{
    RecordingSettings s = typical();
    s.reportEnabled = 1;
    s.separatorFormat = 3;
    RecordingDialog kept(s, "");
    for (int id : { 1123, 1124, 1125 })
        EXPECT_FALSE(at<QAbstractButton>(kept, id)->isChecked()) << id;
    click(kept, 1);
    EXPECT_EQ(kept.settings().separatorFormat, 3);

    RecordingDialog changed(s, "");
    click(changed, 1125);
    click(changed, 1124);
    EXPECT_FALSE(at<QAbstractButton>(changed, 1125)->isChecked());
    click(changed, 1);
    EXPECT_EQ(changed.settings().separatorFormat, 1);

    s.separatorFormat = 2;
    RecordingDialog shown(s, "");
    EXPECT_TRUE(at<QAbstractButton>(shown, 1125)->isChecked());
}

TEST(RecordingDialog, ValuesTypedAndConfirmedWithEnterAreTakenOver)
{
    RecordingSettings s = typical();
    s.reportEnabled = 1;
    s.binaryEnabled = 1;
    s.writeComment = 1;
    RecordingDialog d(s, "stary");
    showActive(d);

    auto* comment = at<QPlainTextEdit>(d, 1116);
    comment->setFocus();
    comment->clear();
    type(comment, QStringLiteral("linia 1"));
    press(comment, Qt::Key_Return);
    type(comment, QStringLiteral("linia 2"));
    ASSERT_TRUE(d.isVisible()) << "Enter in the comment pressed OK";

    // Neither the picker nor the binary name ever has the focus.
    at<QTimeEdit>(d, 1045)->setTime(QTime(0, 2, 0));
    at<QLineEdit>(d, 1039)->setText(QStringLiteral("/home/o/zapis.qmg"));
    auto* name = at<QLineEdit>(d, 1036);
    name->setFocus();
    name->clear();
    type(name, QStringLiteral("/home/o/wyniki ąę.txt"));
    press(name, Qt::Key_Return);

    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(d.settings().reportFileName, "/home/o/wyniki ąę.txt");
    EXPECT_EQ(d.settings().binaryFileName, "/home/o/zapis.qmg");
    EXPECT_EQ(d.settings().intervalSeconds, 120);
    EXPECT_EQ(d.comment(), "linia 1\nlinia 2");
}
