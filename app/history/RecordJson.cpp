#include "RecordJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString Time(const QDateTime &time)
{
    return time.toString(Qt::ISODateWithMs);
}

QDateTime TimeFrom(const QJsonValue &v)
{
    return QDateTime::fromString(v.toString(), Qt::ISODateWithMs);
}

std::optional<QDateTime> OptionalTime(const QJsonValue &v)
{
    if (!v.isString())
        return std::nullopt;
    return TimeFrom(v);
}

QJsonValue Optional(const std::optional<double> &v)
{
    return v ? QJsonValue(*v) : QJsonValue();
}

QJsonObject Measurement(const TMeasurement &m)
{
    return {{"counts", m.counts},     {"volts", m.volts},        {"spread", m.spread},
            {"readings", m.readings}, {"conversions", m.conversions},
            {"at_bottom", m.atBottom}, {"at_top", m.atTop},      {"taken", Time(m.taken)},
            {"ad_error", Optional(m.adError)}};
}

std::optional<TMeasurement> MeasurementFrom(const QJsonValue &v)
{
    if (!v.isObject())
        return std::nullopt;
    const QJsonObject o = v.toObject();
    TMeasurement m;
    m.counts = o["counts"].toDouble();
    m.volts = o["volts"].toDouble();
    m.spread = o["spread"].toInt();
    m.readings = o["readings"].toInt();
    m.conversions = o["conversions"].toInt();
    m.atBottom = o["at_bottom"].toInt();
    m.atTop = o["at_top"].toInt();
    m.taken = TimeFrom(o["taken"]);
    if (o["ad_error"].isDouble())
        m.adError = o["ad_error"].toDouble();
    return m;
}

QJsonObject Point(const TPointRecord &r)
{
    const TTestPoint &p = r.point;
    QJsonObject o{{"name", p.Name},
                  {"step", p.Step},
                  {"pot", p.Pot},
                  {"input", p.Input},
                  {"applied", int(p.Applied)},
                  {"code", int(p.Code)},
                  {"variant", int(p.Variant)},
                  {"dac", p.Dac ? QJsonValue(*p.Dac) : QJsonValue()},
                  {"dac_code", int(p.DacCode)},
                  {"range", p.Range ? QJsonValue(int(*p.Range)) : QJsonValue()},
                  {"target", p.Target},
                  {"tolerance", p.Tolerance},
                  {"tolerance_text", p.ToleranceText},
                  {"check_again", r.checkAgain}};
    if (r.asFound)
        o["as_found"] = Measurement(*r.asFound);
    if (r.asLeft)
        o["as_left"] = Measurement(*r.asLeft);
    return o;
}

TPointRecord PointFrom(const QJsonObject &o)
{
    TPointRecord r;
    TTestPoint &p = r.point;
    p.Name = o["name"].toString();
    p.Step = o["step"].toInt();
    p.Pot = o["pot"].toInt();
    p.Input = o["input"].toString();
    p.Applied = TInputKind(std::clamp(o["applied"].toInt(), 0, int(TInputKind::Dac)));
    p.Code = o["code"].toInt() == int(CardIO::SelectUnipolar) ? CardIO::SelectUnipolar : CardIO::SelectBipolar;
    p.Variant = CardIO::TVariant(std::clamp(o["variant"].toInt(), 0, int(CardIO::TVariant::UnipolarByDac)));
    if (o["dac"].isDouble())
        p.Dac = o["dac"].toInt();
    p.DacCode = CardIO::TDacCode(std::clamp(o["dac_code"].toInt(), 0, 0xFFFF));
    if (o["range"].isDouble())
        p.Range = uint8_t(std::clamp(o["range"].toInt(), 0, 0xFF));
    p.Target = o["target"].toDouble();
    p.Tolerance = o["tolerance"].toDouble();
    p.ToleranceText = o["tolerance_text"].toString();
    r.checkAgain = o["check_again"].toBool();
    r.asFound = MeasurementFrom(o["as_found"]);
    r.asLeft = MeasurementFrom(o["as_left"]);
    return r;
}

QJsonArray Pair(const std::array<uint8_t, 2> &v)
{
    return {v[0], v[1]};
}

} // namespace

QByteArray RecordJson(const TCalibrationRecord &record)
{
    const TCalibrationRecord::TContents c = record.Contents();
    QJsonArray points;
    for (const TPointRecord &r : c.points)
        points.append(Point(r));
    const QJsonObject o{{"id", c.id.toString(QUuid::WithoutBraces)},
                        {"model", c.card.model},
                        {"base", c.card.base},
                        {"serial", c.serial},
                        {"operator", c.operatorName},
                        {"instruments", c.instruments},
                        {"started", Time(c.started)},
                        {"checked_as_left", c.checkedAsLeft ? QJsonValue(Time(*c.checkedAsLeft)) : QJsonValue()},
                        {"ranges", Pair(c.ranges)},
                        {"chosen", QJsonArray{c.chosen[0], c.chosen[1]}},
                        {"points", points}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<TCalibrationRecord> RecordFromJson(const QByteArray &json, QString *why)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    const QJsonObject o = doc.object();
    const QUuid id = QUuid::fromString(o["id"].toString());
    if (error.error != QJsonParseError::NoError || !doc.isObject() || id.isNull() || !o["points"].isArray()) {
        if (why)
            *why = error.error != QJsonParseError::NoError ? error.errorString() : QStringLiteral("not a calibration record");
        return std::nullopt;
    }
    TCalibrationRecord::TContents c;
    c.id = id;
    c.card = {o["model"].toString(), uint16_t(std::clamp(o["base"].toInt(), 0, 0xFFFF))};
    c.serial = o["serial"].toString();
    c.operatorName = o["operator"].toString();
    c.instruments = o["instruments"].toString();
    c.started = TimeFrom(o["started"]);
    c.checkedAsLeft = OptionalTime(o["checked_as_left"]);
    for (int k : {0, 1}) {
        c.ranges[k] = uint8_t(std::clamp(o["ranges"][k].toInt(), 0, 0xFF));
        c.chosen[k] = o["chosen"][k].toBool(true);
    }
    for (const QJsonValue &p : o["points"].toArray())
        c.points.push_back(PointFrom(p.toObject()));
    return TCalibrationRecord::Kept(c);
}
