#pragma once

#include "recording/Readings.h"
#include "recording/RecordingState.h"

#include <string>
#include <string_view>

// The text report: Windows-1250 bytes, CR LF line ends.
namespace report {

// One data row, preceded by the header line when the column set of
// `settings` differs from `writtenColumns`, which is then updated (before
// anything is written, so a failed write does not repeat the header).
std::string Row(const RecordingSettings& settings, const LocalTime& time, const Readings& readings,
    int& writtenColumns);

// The comment block written when the file is opened through the recording
// dialog: an empty line when appending, the comment (UTF-8, its line breaks
// written as CR LF) when not empty, and the serial-number line when asked.
std::string CommentBlock(
    bool appended, std::string_view commentUtf8, bool withSerialNumber, int serialNumber);

} // namespace report
