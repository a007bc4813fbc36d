// When a card is next due for calibration: its last calibration (the last
// time it was checked as left) plus its interval; due soon within 30 days.
#pragma once

#include "RecordStore.h"

#include <QDate>

enum class TDue { Never, InTime, Soon, Overdue };

struct TDueState {
    TDue due = TDue::Never;
    QDate date; // when it is due; none for a card never calibrated
};

inline constexpr int DueSoonDays = 30;

TDueState DueOf(const std::optional<QDateTime> &lastCalibrated, int intervalMonths, const QDate &today);
// "Never calibrated", "Due 2027-12-10", "Due soon, on 2026-12-20",
// "Overdue since 2026-11-01".
QString DueText(const TDueState &state);
