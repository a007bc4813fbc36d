// A calibration record as one JSON document, the form in which a store
// keeps it: every fact of the record, every point with its target and
// tolerance as measured then, and each measurement whole, so that a record
// read back shows and exports as it was saved, whatever later versions of
// the steps say.
#pragma once

#include "CalibrationRecord.h"

#include <QByteArray>
#include <optional>

QByteArray RecordJson(const TCalibrationRecord &record);
// The record `json` holds; nothing (with `why` set) for a document that is
// not one, or one that names no record.
std::optional<TCalibrationRecord> RecordFromJson(const QByteArray &json, QString *why = nullptr);
