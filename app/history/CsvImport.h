// Records saved as CSV by Setup (before the history kept them) read back
// for the history: the header's facts, and each point's measurements as
// found and as left. An imported record is named after its card and the
// time it was started, so that the same file imported twice is one record.
#pragma once

#include "CalibrationRecord.h"

#include <QByteArray>
#include <optional>

// The record `csv` holds; nothing, with `why` saying what is wrong, for a
// file that is not such a record.
std::optional<TCalibrationRecord> RecordFromCsv(const QByteArray &csv, QString *why);
