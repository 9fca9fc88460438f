#pragma once

#include "recording/RecordingState.h"

#include <QDialog>

#include <span>
#include <string>

class QAbstractButton;
class QLineEdit;
class QPlainTextEdit;
class QTimeEdit;

// "Rejestracja do pliku": edits the recording settings and the comment
// written at the start of a report. It touches no file itself; the caller
// takes the values over after OK.
class RecordingDialog : public QDialog {
    Q_OBJECT
public:
    RecordingDialog(const RecordingSettings& settings, const std::string& commentUtf8,
        QWidget* parent = nullptr);

    // After OK: every value as edited.
    const RecordingSettings& settings() const { return settings_; }
    // UTF-8; line breaks as typed.
    const std::string& comment() const { return comment_; }

private:
    void OnInitDialog();
    void OnReportClicked();
    void OnCommentClicked();
    void OnBinaryClicked();
    void OnIntervalLeft();
    void OnReportNameLeft();
    void OnBinaryNameLeft();
    void OnChooseReport();
    void OnChooseBinary();
    void OnOk();
    void UpdateEnables();
    void EnableControls(std::span<const int> ids, bool enable);

    RecordingSettings settings_;
    std::string comment_;
    QTimeEdit* interval_ = nullptr;
    QAbstractButton* report_ = nullptr;
    QLineEdit* reportName_ = nullptr;
    QAbstractButton* separators_[3] = {};
    QAbstractButton* temperature_ = nullptr;
    QAbstractButton* humidity_ = nullptr;
    QAbstractButton* pressure_ = nullptr;
    QAbstractButton* writeComment_ = nullptr;
    QPlainTextEdit* commentText_ = nullptr;
    QAbstractButton* serialNumber_ = nullptr;
    QAbstractButton* binary_ = nullptr;
    QLineEdit* binaryName_ = nullptr;
};
