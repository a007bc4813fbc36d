#include "CsvImport.h"

#include "CalibrationSteps.h"

#include <map>

namespace {

// The lines of a CSV text, each split into its fields; a quoted field may
// hold commas, doubled quotes and line breaks.
std::vector<QStringList> CsvLines(const QString &text)
{
    std::vector<QStringList> lines(1);
    QString field;
    bool quoted = false;
    for (qsizetype k = 0; k < text.size(); ++k) {
        const QChar c = text[k];
        if (quoted) {
            if (c == u'"' && k + 1 < text.size() && text[k + 1] == u'"')
                field += text[++k];
            else if (c == u'"')
                quoted = false;
            else
                field += c;
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            lines.back() << field;
            field.clear();
        } else if (c == u'\n' || c == u'\r') {
            if (c == u'\r' && k + 1 < text.size() && text[k + 1] == u'\n')
                ++k;
            lines.back() << field;
            field.clear();
            lines.emplace_back();
        } else {
            field += c;
        }
    }
    if (!field.isEmpty() || !lines.back().isEmpty())
        lines.back() << field;
    else
        lines.pop_back();
    return lines;
}

// A typed text as the CSV kept it: the apostrophe that keeps a formula
// from a spreadsheet goes.
QString Typed(const QString &field)
{
    static const QString formula = QStringLiteral("=+-@\t\r");
    return field.size() > 1 && field[0] == u'\'' && formula.contains(field[1]) ? field.mid(1) : field;
}

std::optional<uint8_t> RangeNamed(const QString &name)
{
    for (uint8_t range = 0; range < 6; ++range)
        if (RangeName(range) == name)
            return range;
    return std::nullopt;
}

std::optional<TPointState> StateNamed(const QString &name)
{
    for (TPointState s : {TPointState::NotMeasured, TPointState::Within, TPointState::Outside, TPointState::BelowRange,
                          TPointState::AboveRange, TPointState::NoReference, TPointState::CheckAgain})
        if (StateName(s) == name)
            return s;
    return std::nullopt;
}

// One measurement from its columns ("as_found_volts" ...); nothing when
// the point was not measured so.
std::optional<TMeasurement> Measurement(const std::map<QString, QString> &f, const QString &kind, bool *sound)
{
    auto value = [&](const char *column) {
        const auto at = f.find(kind + QLatin1Char('_') + QLatin1String(column));
        return at == f.end() ? QString() : at->second;
    };
    if (value("counts").isEmpty())
        return std::nullopt;
    bool ok = true, each = true;
    TMeasurement m;
    m.volts = value("volts").toDouble(&each), ok = ok && each;
    m.counts = value("counts").toDouble(&each), ok = ok && each;
    m.spread = value("spread_counts").toInt(&each), ok = ok && each;
    m.conversions = value("conversions").toInt(&each), ok = ok && each;
    m.readings = value("readings").toInt(&each), ok = ok && each;
    if (!value("ad_error_counts").isEmpty())
        m.adError = value("ad_error_counts").toDouble(&each), ok = ok && each;
    m.taken = QDateTime::fromString(value("time"), Qt::ISODate);
    // The ends of the range: the state says whether the reading sat there.
    const std::optional<TPointState> state = StateNamed(value("state"));
    if (state == TPointState::BelowRange)
        m.atBottom = m.conversions;
    if (state == TPointState::AboveRange)
        m.atTop = m.conversions;
    *sound = *sound && ok && state && m.taken.isValid();
    return m;
}

std::optional<TCalibrationRecord> Refused(QString *why, const QString &reason)
{
    if (why)
        *why = reason;
    return std::nullopt;
}

} // namespace

std::optional<TCalibrationRecord> RecordFromCsv(const QByteArray &csv, QString *why)
{
    const std::vector<QStringList> lines = CsvLines(QString::fromUtf8(csv));
    if (lines.empty() || lines[0] != QStringList{QStringLiteral("record"), QStringLiteral("calibration")})
        return Refused(why, QStringLiteral("it is not a calibration record saved by Setup (its first line is not \"record,calibration\")"));
    std::map<QString, QString> facts;
    size_t k = 1;
    for (; k < lines.size() && !(lines[k].size() == 1 && lines[k][0].isEmpty()); ++k)
        if (lines[k].size() == 2 && lines[k][0] != QLatin1String("note"))
            facts[lines[k][0]] = lines[k][1];
    TCalibrationRecord::TContents c;
    c.card.model = facts[QStringLiteral("card")];
    bool ok = false;
    c.card.base = uint16_t(facts[QStringLiteral("base_address")].toUInt(&ok, 16));
    const std::optional<uint8_t> dac0 = RangeNamed(facts[QStringLiteral("dac0_range")]), dac1 = RangeNamed(facts[QStringLiteral("dac1_range")]);
    c.started = QDateTime::fromString(facts[QStringLiteral("date_time")], Qt::ISODate);
    if (c.card.model.isEmpty() || !ok || !dac0 || !dac1 || !c.started.isValid() || k + 1 >= lines.size())
        return Refused(why, QStringLiteral("its card, base address, DAC ranges, date or points are missing or unreadable"));
    c.ranges = {*dac0, *dac1};
    if (const QDateTime left = QDateTime::fromString(facts[QStringLiteral("checked_as_left")], Qt::ISODate); left.isValid())
        c.checkedAsLeft = left;
    c.serial = Typed(facts[QStringLiteral("serial")]);
    c.operatorName = Typed(facts[QStringLiteral("operator")]);
    c.instruments = Typed(facts[QStringLiteral("reference_instruments")]);
    c.id = QUuid::createUuidV5(QUuid(QStringLiteral("{6d1f0c2a-40a7-4d8e-9a57-3c0f4f1b2e11}")),
                               QStringLiteral("%1/%2/%3").arg(c.card.model).arg(c.card.base).arg(TimeText(c.started)));
    const QStringList columns = lines[k + 1];
    const std::vector<TTestPoint> points = CalibrationSteps::TestPoints(c.ranges);
    bool sound = true;
    for (size_t row = k + 2; row < lines.size(); ++row) {
        std::map<QString, QString> f;
        for (qsizetype col = 0; col < columns.size() && col < lines[row].size(); ++col)
            f[columns[col]] = lines[row][col];
        const auto point = std::find_if(points.begin(), points.end(), [&](const TTestPoint &p) { return p.Name == f[QStringLiteral("point")]; });
        if (point == points.end() || lines[row].size() != columns.size())
            return Refused(why, QStringLiteral("line %1 names no test point Setup knows").arg(row + 1));
        TPointRecord r{*point, Measurement(f, QStringLiteral("as_found"), &sound), Measurement(f, QStringLiteral("as_left"), &sound), false};
        r.checkAgain = f[QStringLiteral("as_left_state")] == StateName(TPointState::CheckAgain);
        c.points.push_back(r);
    }
    if (!sound || c.points.size() != points.size())
        return Refused(why, QStringLiteral("its points' measurements are incomplete or unreadable"));
    return TCalibrationRecord::Kept(c);
}
