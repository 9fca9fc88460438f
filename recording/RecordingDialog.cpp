#include "recording/RecordingDialog.h"

#include "platform/Choosers.h"
#include "platform/DialogBuilder.h"
#include "platform/MessageBox.h"
#include "recording/RecordingDialogRules.h"
#include "resources/DialogTemplates.h"
#include "resources/RecordingDialogTexts.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimeEdit>

#include <filesystem>
#include <initializer_list>

namespace rules = recording_dialog;
namespace text = texts::recording_dialog;

namespace {

template<class T> T* control(const QWidget* dialog, int id)
{
    return qobject_cast<T*>(DialogBuilder::Control(dialog, id));
}

int flag(const QAbstractButton* box)
{
    return box->isChecked() ? 1 : 0;
}

// The chosen path, with the selected filter's extension when it has none;
// false when the user cancelled.
// The folder of the first of these files that has one on the disk.
std::string folderOf(std::initializer_list<std::string> files)
{
    std::error_code ec;
    for (const std::string& f : files) {
        const std::filesystem::path folder = std::filesystem::path(f).parent_path();
        if (!f.empty() && std::filesystem::is_directory(folder, ec))
            return folder.string();
    }
    return {};
}

bool chooseFile(QWidget* parent, FileChoice choice, std::string& path)
{
    std::string chosen;
    if (!Choosers::instance().ChooseFile(parent, choice, chosen))
        return false;
    const bool known = choice.selectedFilter >= 0
        && choice.selectedFilter < static_cast<int>(choice.filters.size());
    const std::string extension = known
        ? rules::PatternExtension(
            choice.filters[static_cast<std::size_t>(choice.selectedFilter)].pattern)
        : std::string();
    path = rules::WithExtension(
        std::move(chosen), extension.empty() ? choice.defaultExtension : extension);
    return true;
}

} // namespace

RecordingDialog::RecordingDialog(
    const RecordingSettings& settings, const std::string& commentUtf8, QWidget* parent)
    : QDialog(parent)
    , settings_(settings)
    , comment_(commentUtf8)
{
    DialogBuilder::Build(this, resources::ids::kRecordingDialog);
    setModal(true);
    interval_ = control<QTimeEdit>(this, 1045);
    report_ = control<QAbstractButton>(this, 1026);
    reportName_ = control<QLineEdit>(this, 1036);
    separators_[0] = control<QAbstractButton>(this, 1123);
    separators_[1] = control<QAbstractButton>(this, 1124);
    separators_[2] = control<QAbstractButton>(this, 1125);
    temperature_ = control<QAbstractButton>(this, 1046);
    humidity_ = control<QAbstractButton>(this, 1008);
    pressure_ = control<QAbstractButton>(this, 1007);
    writeComment_ = control<QAbstractButton>(this, 1115);
    commentText_ = control<QPlainTextEdit>(this, 1116);
    serialNumber_ = control<QAbstractButton>(this, 1117);
    binary_ = control<QAbstractButton>(this, 1027);
    binaryName_ = control<QLineEdit>(this, 1039);

    connect(report_, &QAbstractButton::clicked, this, &RecordingDialog::OnReportClicked);
    connect(writeComment_, &QAbstractButton::clicked, this, &RecordingDialog::OnCommentClicked);
    connect(binary_, &QAbstractButton::clicked, this, &RecordingDialog::OnBinaryClicked);
    connect(temperature_, &QAbstractButton::clicked, this,
        [this] { settings_.columnTemperature = flag(temperature_); });
    connect(humidity_, &QAbstractButton::clicked, this,
        [this] { settings_.columnHumidity = flag(humidity_); });
    connect(pressure_, &QAbstractButton::clicked, this,
        [this] { settings_.columnPressure = flag(pressure_); });
    for (int i = 0; i < 3; ++i) {
        connect(separators_[i], &QAbstractButton::clicked, this,
            [this, i] { settings_.separatorFormat = i; });
    }
    // Focus lost, or Enter pressed.
    connect(interval_, &QTimeEdit::editingFinished, this, &RecordingDialog::OnIntervalLeft);
    connect(reportName_, &QLineEdit::editingFinished, this, &RecordingDialog::OnReportNameLeft);
    connect(binaryName_, &QLineEdit::editingFinished, this, &RecordingDialog::OnBinaryNameLeft);
    connect(control<QAbstractButton>(this, 1038), &QAbstractButton::clicked, this,
        &RecordingDialog::OnChooseReport);
    connect(control<QAbstractButton>(this, 1040), &QAbstractButton::clicked, this,
        &RecordingDialog::OnChooseBinary);
    DialogBuilder::ConnectOkCancel(this, [this] { OnOk(); });

    OnInitDialog();
}

void RecordingDialog::OnInitDialog()
{
    report_->setChecked(settings_.reportEnabled != 0);
    binary_->setChecked(settings_.binaryEnabled != 0);
    pressure_->setChecked(settings_.columnPressure != 0);
    humidity_->setChecked(settings_.columnHumidity != 0);
    temperature_->setChecked(settings_.columnTemperature != 0);
    writeComment_->setChecked(settings_.writeComment != 0);
    serialNumber_->setChecked(settings_.commentSerialNumber != 0);
    UpdateEnables();
    commentText_->setPlainText(QString::fromStdString(comment_));
    const rules::ClockTime t = rules::IntervalToClock(settings_.intervalSeconds);
    interval_->setTime(QTime(t.hour, t.minute, t.second));
    // Any other value leaves all three clear; it is kept unless one is clicked.
    if (settings_.separatorFormat >= 0 && settings_.separatorFormat < 3)
        separators_[settings_.separatorFormat]->setChecked(true);
    reportName_->setText(QString::fromStdString(settings_.reportFileName));
    binaryName_->setText(QString::fromStdString(settings_.binaryFileName));
}

void RecordingDialog::UpdateEnables()
{
    const rules::Enables e = rules::EnableGroups(
        report_->isChecked(), writeComment_->isChecked(), binary_->isChecked());
    EnableControls(rules::kReportGroup, e.report);
    EnableControls(rules::kCommentGroup, e.comment);
    EnableControls(rules::kBinaryGroup, e.binary);
}

void RecordingDialog::EnableControls(std::span<const int> ids, bool enable)
{
    for (int id : ids) {
        if (QWidget* w = DialogBuilder::Control(this, id))
            w->setEnabled(enable);
    }
}

void RecordingDialog::OnReportClicked()
{
    settings_.reportEnabled = flag(report_);
    // Checking the report brings the comment controls back as their box says.
    if (report_->isChecked())
        settings_.writeComment = flag(writeComment_);
    UpdateEnables();
}

void RecordingDialog::OnCommentClicked()
{
    settings_.writeComment = flag(writeComment_);
    UpdateEnables();
}

void RecordingDialog::OnBinaryClicked()
{
    settings_.binaryEnabled = flag(binary_);
    UpdateEnables();
}

void RecordingDialog::OnIntervalLeft()
{
    const QTime t = interval_->time();
    settings_.intervalSeconds
        = rules::IntervalFromClock(t.isValid(), { t.hour(), t.minute(), t.second() });
    const rules::ClockTime shown = rules::IntervalToClock(settings_.intervalSeconds);
    const QTime corrected(shown.hour, shown.minute, shown.second);
    if (corrected != t)
        interval_->setTime(corrected);
}

void RecordingDialog::OnReportNameLeft()
{
    settings_.reportFileName = reportName_->text().toStdString();
}

void RecordingDialog::OnBinaryNameLeft()
{
    settings_.binaryFileName = binaryName_->text().toStdString();
}

void RecordingDialog::OnChooseReport()
{
    std::string path;
    if (!chooseFile(this,
            { text::kReportChooserTitle,
                { { text::kTextFilter, text::kTextPattern },
                    { text::kCsvFilter, text::kCsvPattern } },
                text::kReportExtension, 0,
                folderOf({ reportName_->text().toStdString(), settings_.binaryFileName }) },
            path))
        return;
    settings_.reportFileName = path;
    reportName_->setText(QString::fromStdString(path));
}

void RecordingDialog::OnChooseBinary()
{
    std::string path;
    if (!chooseFile(this,
            { text::kBinaryChooserTitle, { { text::kBinaryFilter, text::kBinaryPattern } },
                text::kBinaryExtension, 0,
                folderOf({ binaryName_->text().toStdString(), settings_.reportFileName }) },
            path))
        return;
    settings_.binaryFileName = path;
    binaryName_->setText(QString::fromStdString(path));
}

void RecordingDialog::OnOk()
{
    // A value typed and confirmed with Enter has not left its control yet.
    OnIntervalLeft();
    OnReportNameLeft();
    OnBinaryNameLeft();
    comment_ = commentText_->toPlainText().toStdString();
    settings_.commentSerialNumber = flag(serialNumber_);
    if (settings_.columnTemperature == 0 && settings_.columnHumidity == 0
        && settings_.columnPressure == 0) {
        ShowMessage(this, QString::fromUtf8(text::kNoQuantity), MessageBox::Icon::Information);
        return;
    }
    accept();
}
