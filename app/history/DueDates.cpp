#include "DueDates.h"

TDueState DueOf(const std::optional<QDateTime> &lastCalibrated, int intervalMonths, const QDate &today)
{
    if (!lastCalibrated)
        return {};
    const QDate due = lastCalibrated->date().addMonths(intervalMonths);
    if (due < today)
        return {TDue::Overdue, due};
    return {today.daysTo(due) <= DueSoonDays ? TDue::Soon : TDue::InTime, due};
}

QString DueText(const TDueState &state)
{
    const QString date = state.date.toString(Qt::ISODate);
    switch (state.due) {
    case TDue::Never: break;
    case TDue::InTime: return QStringLiteral("Due %1").arg(date);
    case TDue::Soon: return QStringLiteral("Due soon, on %1").arg(date);
    case TDue::Overdue: return QStringLiteral("Overdue since %1").arg(date);
    }
    return QStringLiteral("Never calibrated");
}
