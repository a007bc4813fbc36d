#include "CalibrationRecord.h"

#include <QFont>
#include <QIODevice>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QStringList>
#include <QTextLayout>
#include <QTextOption>
#include <algorithm>
#include <cmath>

namespace {

// One count of the range the point is read with, in volts.
double CountVolts(const TTestPoint &point)
{
    return CardIO::VoltsPerCount(point.Variant);
}

// Below or above range when half or more of the conversions sat at that
// end; nothing when the measurement lies within the range.
std::optional<TPointState> RangeEnd(const TMeasurement &m)
{
    if (2 * m.atBottom >= m.conversions)
        return TPointState::BelowRange;
    if (2 * m.atTop >= m.conversions)
        return TPointState::AboveRange;
    return std::nullopt;
}

bool OutOfRange(TPointState state)
{
    return state == TPointState::BelowRange || state == TPointState::AboveRange;
}

} // namespace

std::optional<double> ErrorCounts(const TTestPoint &point, const TMeasurement &m)
{
    if (RangeEnd(m) || (point.Dac && !m.adError))
        return std::nullopt;
    return m.counts - point.Target / CountVolts(point) - m.adError.value_or(0.0);
}

TPointState Judged(const TTestPoint &point, const TMeasurement &m)
{
    if (const std::optional<TPointState> end = RangeEnd(m))
        return *end;
    const std::optional<double> error = ErrorCounts(point, m);
    if (!error)
        return TPointState::NoReference;
    // A hair of room for the rounding of a mean that sits on the edge.
    return std::abs(*error) <= point.Tolerance / CountVolts(point) * (1 + 1e-9) ? TPointState::Within
                                                                               : TPointState::Outside;
}

QString DecisionRule()
{
    return QStringLiteral(
        "A point is within when its error, the mean of at least a second of conversions less the target in counts "
        "of the range read (at a DAC point also less the A/D's own error at that level, on the line through the "
        "A/D points of its range checked the same way, as found or as left, and not adjusted since), is no larger "
        "than its tolerance, is out of range when half or more of its conversions sat at an end of the range read, "
        "and the card passes only when every point is within as left. The unipolar range reads 0 for any input at "
        "or below 0 V, so its zero (point 2) is checked with the calibrator at %1 V, inside the range, and the DAC "
        "points read on that range below it take the A/D's error from the line through points 2 and 4.")
        .arg(CalibrationSteps::UnipolarZeroCheckVolts, 0, 'f', 3);
}

TPointState TPointRecord::State() const
{
    if (!asLeft)
        return TPointState::NotMeasured;
    if (checkAgain)
        return TPointState::CheckAgain;
    return Judged(point, *asLeft);
}

TPointState TPointRecord::FoundState() const
{
    return asFound ? Judged(point, *asFound) : TPointState::NotMeasured;
}

void TCalibrationRecord::Begin(const TCardId &card, const std::array<uint8_t, 2> &ranges,
                               const std::array<bool, 2> &chosen)
{
    FId = QUuid::createUuid();
    FCard = card;
    FRangesChosen = chosen;
    FStarted = QDateTime::currentDateTime();
    FLeftAt.reset();
    FRanges = ranges;
    FPoints.clear();
    for (const TTestPoint &p : CalibrationSteps::TestPoints(ranges))
        FPoints.push_back({p, std::nullopt, std::nullopt, false});
}

TCalibrationRecord::TContents TCalibrationRecord::Contents() const
{
    return {FId, FCard, FSerial, FOperator, FInstruments, FStarted, FLeftAt, FRanges, FRangesChosen, FPoints};
}

TCalibrationRecord TCalibrationRecord::Kept(const TContents &c)
{
    TCalibrationRecord r;
    r.FId = c.id;
    r.FCard = c.card;
    r.SetSerial(c.serial);
    r.SetOperator(c.operatorName);
    r.SetInstruments(c.instruments);
    r.FStarted = c.started;
    r.FLeftAt = c.checkedAsLeft;
    r.FRanges = c.ranges;
    r.FRangesChosen = c.chosen;
    r.FPoints = c.points;
    return r;
}

std::optional<double> TCalibrationRecord::AdErrorAt(TCheckKind kind, CardIO::TAdSelect code, double target, double level) const
{
    // The valid A/D points of the range, by level: their errors.
    std::vector<std::pair<double, double>> known;
    for (const TPointRecord &r : FPoints) {
        const std::optional<TMeasurement> &m = kind == TCheckKind::AsFound ? r.asFound : r.asLeft;
        if (r.point.Dac || r.point.Code != code || !m || (kind == TCheckKind::AsLeft && r.checkAgain))
            continue;
        if (const std::optional<double> error = ErrorCounts(r.point, *m))
            known.emplace_back(r.point.Target, *error);
    }
    std::sort(known.begin(), known.end());
    // The line through the points either side of the target, at the level
    // read; beyond the outermost points, the line through the nearest two
    // (the unipolar DAC offsets lie a little below point 2, which is read
    // inside the range). With one point, only a target at its level takes
    // its error.
    if (known.size() < 2) {
        if (!known.empty() && known.front().first == target)
            return known.front().second;
        return std::nullopt;
    }
    size_t k = 0;
    while (k + 2 < known.size() && known[k + 1].first < target)
        ++k;
    const auto &[low, lowError] = known[k];
    const auto &[high, highError] = known[k + 1];
    return lowError + (highError - lowError) * (level - low) / (high - low);
}

void TCalibrationRecord::Measured(TCheckKind kind, const TTestPoint &point, const TMeasurement &m,
                                  const std::array<uint8_t, 2> &ranges)
{
    FRanges = ranges;
    TMeasurement measured = m;
    if (point.Dac)
        measured.adError = AdErrorAt(kind, point.Code, point.Target, m.volts);
    for (TPointRecord &r : FPoints) {
        if (r.point.Name != point.Name)
            continue;
        r.point = point;
        if (kind == TCheckKind::AsFound) {
            r.asFound = measured;
        } else {
            r.asLeft = measured;
            r.checkAgain = false;
            FLeftAt = measured.taken;
        }
    }
}

bool TCalibrationRecord::RangesInEffect(const std::array<uint8_t, 2> &ranges, const std::array<bool, 2> &chosen)
{
    if (ranges == FRanges && chosen == FRangesChosen)
        return false;
    FRangesChosen = chosen;
    FRanges = ranges;
    const std::vector<TTestPoint> points = CalibrationSteps::TestPoints(ranges);
    for (size_t k = 0; k < FPoints.size() && k < points.size(); ++k)
        if (!FPoints[k].asFound && !FPoints[k].asLeft)
            FPoints[k].point = points[k];
    return true;
}

bool TCalibrationRecord::PotAdjusted(int pot)
{
    bool changed = false;
    for (TPointRecord &r : FPoints)
        if (r.point.Pot == pot && r.asLeft && !r.checkAgain)
            changed = r.checkAgain = true;
    return changed;
}

TVerdict TCalibrationRecord::Verdict() const
{
    bool all = true;
    for (const TPointRecord &r : FPoints) {
        const TPointState state = r.State();
        if (state == TPointState::Outside || OutOfRange(state))
            return TVerdict::Fail;
        all = all && state == TPointState::Within;
    }
    return all && !FPoints.empty() ? TVerdict::Pass : TVerdict::Incomplete;
}

QString TCalibrationRecord::TypedText(const QString &text)
{
    QString kept = QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    kept.removeIf([](QChar c) {
        return c.category() == QChar::Other_Control && c != u'\t' && c != u'\n';
    });
    return kept;
}

QString RangeName(uint8_t range)
{
    const QString volts = QString::number(CardIO::RangeSpan(range));
    return CardIO::IsBipolarRange(range) ? QStringLiteral("±%1V").arg(volts) : QStringLiteral("0-%1V").arg(volts);
}

QString RangesText(const std::array<uint8_t, 2> &ranges)
{
    return QStringLiteral("DAC 0 %1, DAC 1 %2").arg(RangeName(ranges[0]), RangeName(ranges[1]));
}

QString TimeText(const QDateTime &time)
{
    // Qt writes no offset for local time; a record read in another time
    // zone must still say when it was made.
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate);
}

QString StartedText(const TCalibrationRecord &record)
{
    return TimeText(record.Started());
}

QString CheckedAsLeftText(const TCalibrationRecord &record)
{
    return record.CheckedAsLeft() ? TimeText(*record.CheckedAsLeft()) : QStringLiteral("not checked as left");
}

std::vector<uint8_t> LikelyRanges(const TTestPoint &point, double volts)
{
    if (!point.Dac || !point.Range)
        return {};
    // Far: more than ten counts from the chosen range's value. Near another
    // range's: within 2% of its value and ten counts, as an untrimmed DAC
    // gives it, and four times nearer it than the chosen one's, so that a
    // DAC merely out of trim is never taken for one switched wrong. A
    // reading near two ranges' values (0-5V's gain and ±5V's lie ten
    // counts apart) names both.
    const double count = CardIO::VoltsPerCount(point.Variant);
    const double fromChosen = std::abs(volts - point.Target);
    if (fromChosen <= 10 * count)
        return {};
    std::array<uint8_t, 2> ranges{};
    std::vector<uint8_t> near;
    for (uint8_t range = 0; range < 6; ++range) {
        ranges[size_t(*point.Dac)] = range;
        const double target = CalibrationSteps::MeasureStep(point.Step, ranges)->Target;
        const double d = std::abs(volts - target);
        if (range != point.Range && d <= fromChosen / 4 && d <= 0.02 * std::abs(target) + 10 * count)
            near.push_back(range);
    }
    return near;
}

QString RangeNote(const TTestPoint &point, const std::vector<uint8_t> &likely)
{
    QStringList names;
    for (const uint8_t range : likely)
        names << RangeName(range);
    return QStringLiteral("The card's DAC %1 switches may be set to %2, not %3 as chosen.")
        .arg(point.Dac.value_or(0)).arg(names.join(QStringLiteral(" or ")), RangeName(point.Range.value_or(0)));
}

QStringList RecordNotes(const TCalibrationRecord &record)
{
    QStringList notes;
    const std::array<bool, 2> &chosen = record.RangesChosen();
    if (!chosen[0] || !chosen[1])
        notes << QStringLiteral("No range was chosen for %1, so the DAC steps assume %2. The card's switches may "
                                "differ: choose their ranges under Settings, DAC Range.")
                     .arg(chosen[0] || chosen[1] ? QStringLiteral("DAC %1").arg(chosen[0] ? 1 : 0) : QStringLiteral("either DAC"),
                          RangesText(record.Ranges()));
    for (const TPointRecord &r : record.Points())
        for (const std::optional<TMeasurement> &m : {r.asFound, r.asLeft})
            if (const std::vector<uint8_t> likely = m ? LikelyRanges(r.point, m->volts) : std::vector<uint8_t>{};
                !likely.empty()) {
                const QString note = RangeNote(r.point, likely);
                if (!notes.contains(note))
                    notes << note;
            }
    return notes;
}

QString VerdictName(TVerdict verdict)
{
    switch (verdict) {
    case TVerdict::Pass: return QStringLiteral("pass");
    case TVerdict::Fail: return QStringLiteral("fail");
    case TVerdict::Incomplete: break;
    }
    return QStringLiteral("incomplete");
}

QString StateName(TPointState state)
{
    switch (state) {
    case TPointState::Within: return QStringLiteral("within");
    case TPointState::Outside: return QStringLiteral("outside");
    case TPointState::BelowRange: return QStringLiteral("below range");
    case TPointState::AboveRange: return QStringLiteral("above range");
    case TPointState::NoReference: return QStringLiteral("no reference");
    case TPointState::CheckAgain: return QStringLiteral("check again");
    case TPointState::NotMeasured: break;
    }
    return QStringLiteral("not measured");
}

namespace {

// A fact of the record's header; `typed` when the user typed its value.
struct TFact {
    QString name, key, value;
    bool typed = false;
};

QList<TFact> Facts(const TCalibrationRecord &r)
{
    return {{QStringLiteral("Card"), QString(), CardText(r.Card())},
            {QStringLiteral("Date and time"), QStringLiteral("date_time"), StartedText(r)},
            {QStringLiteral("Checked as left"), QStringLiteral("checked_as_left"), CheckedAsLeftText(r)},
            {QStringLiteral("Serial or asset number"), QStringLiteral("serial"), r.Serial(), true},
            {QStringLiteral("DAC ranges"), QString(), RangesText(r.Ranges())},
            {QStringLiteral("Operator"), QStringLiteral("operator"), r.Operator(), true},
            {QStringLiteral("Reference instruments"), QStringLiteral("reference_instruments"), r.Instruments(), true},
            {QStringLiteral("Verdict"), QStringLiteral("verdict"), VerdictName(r.Verdict())},
            {QStringLiteral("Decision rule"), QStringLiteral("decision_rule"), DecisionRule()}};
}

QString SpreadText(int spread)
{
    return QStringLiteral("%1 %2").arg(spread).arg(spread == 1 ? QStringLiteral("count") : QStringLiteral("counts"));
}

// One measurement in the table: mean, error, spread, state.
QString Cell(const TTestPoint &point, const std::optional<TMeasurement> &m, TPointState state)
{
    QString mean, error, spread;
    if (m) {
        mean = CardIO::FormatVolts(m->volts) + QStringLiteral(" V");
        if (const std::optional<double> e = ErrorCounts(point, *m))
            error = CardIO::FormatSigned(*e, 1);
        spread = SpreadText(m->spread);
    }
    return QStringLiteral("%1 %2 %3 %4").arg(mean, 9).arg(error, 7).arg(spread, -9).arg(StateName(state), -12);
}

// A typed text in the PDF: explicit direction controls left out, and the
// whole set apart, so that neither it nor anything in it reorders what
// follows.
QString Isolated(const QString &typed)
{
    QString text = typed;
    text.removeIf([](QChar c) {
        return (c >= QChar(0x202A) && c <= QChar(0x202E)) || (c >= QChar(0x2066) && c <= QChar(0x2069));
    });
    return QChar(0x2068) + text + QChar(0x2069); // first strong isolate ... pop
}

QStringList TextLines(const TCalibrationRecord &record, bool isolateTyped)
{
    QStringList lines{QStringLiteral("Calibration record")};
    for (const TFact &fact : Facts(record))
        lines << QStringLiteral("%1: %2").arg(fact.name, fact.typed && isolateTyped ? Isolated(fact.value) : fact.value);
    lines << QString()
          << QStringLiteral("%1 %2 %3 %4 %5")
                 .arg(QStringLiteral("Point"), -5).arg(QStringLiteral("Pot"), -4).arg(QStringLiteral("Applied"), -26)
                 .arg(QStringLiteral("Target V"), 9).arg(QStringLiteral("Tolerance"));
    for (const TPointRecord &r : record.Points())
        lines << QStringLiteral("%1 %2 %3 %4 %5")
                     .arg(r.point.Name, -5).arg(QStringLiteral("RP%1").arg(r.point.Pot), -4)
                     .arg(CalibrationSteps::AppliedText(r.point), -26)
                     .arg(CalibrationSteps::TargetText(r.point), 9).arg(r.point.ToleranceText);
    const QString heads = QStringLiteral("%1 %2 %3 %4").arg(QStringLiteral("Mean"), 9).arg(QStringLiteral("Error"), 7)
                              .arg(QStringLiteral("Spread"), -9).arg(QStringLiteral("State"), -12);
    lines << QString() << QStringLiteral("%1 %2 %3").arg(QString(), -5).arg(QStringLiteral("As found"), -heads.size())
                                 .arg(QStringLiteral("As left"))
          << QStringLiteral("%1 %2 %3").arg(QStringLiteral("Point"), -5).arg(heads, heads);
    for (const TPointRecord &r : record.Points())
        lines << QStringLiteral("%1 %2 %3").arg(r.point.Name, -5).arg(Cell(r.point, r.asFound, r.FoundState()),
                                                                    Cell(r.point, r.asLeft, r.State()));
    lines << QString()
          << QStringLiteral("Mean: of the conversions of at least a second. Error: in counts of the range read. "
                            "Spread: largest minus smallest conversion.");
    for (const QString &note : RecordNotes(record))
        lines << QStringLiteral("Note: ") + note;
    return lines;
}

// A CSV field: quoted when it holds a separator, a quote or a line break.
QString Field(const QString &text)
{
    static const QRegularExpression special(QStringLiteral("[,\"\r\n]"));
    if (!text.contains(special))
        return text;
    return QLatin1Char('"') + QString(text).replace(QStringLiteral("\""), QStringLiteral("\"\"")) + QLatin1Char('"');
}

// A typed text as a CSV field: one that a spreadsheet would take for a
// formula starts with an apostrophe, so that it reads as text.
QString TypedField(const QString &text)
{
    static const QString formula = QStringLiteral("=+-@\t\r");
    return Field(!text.isEmpty() && formula.contains(text[0]) ? QLatin1Char('\'') + text : text);
}

// What is applied, for the CSV: the level is in the target column.
QString CsvApplied(const TTestPoint &p)
{
    if (p.Dac)
        return QStringLiteral("DAC %1 (pin %2)").arg(*p.Dac).arg(*p.Dac + 14);
    return p.Applied == TInputKind::Calibrator ? QStringLiteral("calibrator") : QStringLiteral("pin 37 to pin 18");
}

QString Number(double v, int decimals)
{
    return QString::number(CardIO::SignlessZero(v, decimals), 'f', decimals);
}

QStringList MeasurementFields(const TTestPoint &point, const std::optional<TMeasurement> &m, TPointState state)
{
    if (!m)
        return {QString(), QString(), QString(), QString(), QString(), QString(), QString(), StateName(state), QString()};
    const std::optional<double> error = ErrorCounts(point, *m);
    return {Number(m->volts, 4),
            Number(m->counts, 2),
            error ? Number(*error, 2) : QString(),
            m->adError ? Number(*m->adError, 2) : QString(),
            QString::number(m->spread),
            QString::number(m->conversions),
            QString::number(m->readings),
            StateName(state),
            TimeText(m->taken)};
}

QStringList MeasurementColumns(const QString &kind)
{
    QStringList columns;
    for (const char *c : {"volts", "counts", "error_counts", "ad_error_counts", "spread_counts", "conversions",
                          "readings", "state", "time"})
        columns << kind + QLatin1Char('_') + QLatin1String(c);
    return columns;
}

} // namespace

QString ReportText(const TCalibrationRecord &record)
{
    return TextLines(record, false).join(u'\n') + u'\n';
}

QString ReportCsv(const TCalibrationRecord &record)
{
    const TCardId &card = record.Card();
    QStringList lines{QStringLiteral("record,calibration"), QStringLiteral("card,") + Field(card.model),
                      QStringLiteral("base_address,") + CardIO::FormatAddress(card.base),
                      QStringLiteral("dac0_range,") + RangeName(record.Ranges()[0]),
                      QStringLiteral("dac1_range,") + RangeName(record.Ranges()[1])};
    for (const TFact &fact : Facts(record))
        if (!fact.key.isEmpty())
            lines << fact.key + QLatin1Char(',') + (fact.typed ? TypedField(fact.value) : Field(fact.value));
    for (const QString &note : RecordNotes(record))
        lines << QStringLiteral("note,") + Field(note);
    lines << QString()
          << (QStringList{QStringLiteral("point"), QStringLiteral("pot"), QStringLiteral("applied"),
                          QStringLiteral("ad_range"), QStringLiteral("dac"), QStringLiteral("dac_code"),
                          QStringLiteral("dac_range"), QStringLiteral("target_volts"), QStringLiteral("tolerance_volts")}
              + MeasurementColumns(QStringLiteral("as_found")) + MeasurementColumns(QStringLiteral("as_left")))
                 .join(u',');
    for (const TPointRecord &r : record.Points()) {
        const TTestPoint &p = r.point;
        QStringList fields{p.Name,
                           QStringLiteral("RP%1").arg(p.Pot),
                           Field(CsvApplied(p)),
                           CalibrationSteps::AdRangeName(p.Code),
                           p.Dac ? QString::number(*p.Dac) : QString(),
                           p.Dac ? QString::number(uint16_t(p.DacCode)) : QString(),
                           p.Range ? RangeName(*p.Range) : QString(),
                           QString::number(p.Target, 'g', 15),
                           QString::number(p.Tolerance, 'g', 15)};
        fields << MeasurementFields(p, r.asFound, r.FoundState()) << MeasurementFields(p, r.asLeft, r.State());
        lines << fields.join(u',');
    }
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

namespace {

// Text flowed down A4 pages: wrapped to the width, typed line breaks kept,
// a page begun whenever the next line would pass the bottom margin, and
// every page after the first headed with the record it belongs to.
class TPdfFlow {
public:
    TPdfFlow(QPdfWriter &pdf, QPainter &painter, const QString &header)
        : FPdf(pdf), FPainter(painter), FHeader(header), FLine(painter.fontMetrics().lineSpacing()),
          FLeft(300 * 2 / 3), FRight(pdf.width() - FLeft), FTop(FLine * 3), FBottom(pdf.height() - FLine * 3), FY(FTop)
    {
        FOption.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    }

    // Lines for the lab's own remarks, and for a signature and its date,
    // on this page if they fit.
    void RemarksAndSignature()
    {
        const int line = FLine, left = FLeft, right = FRight;
        Room(line * 16);
        FY += line * 3;
        FPainter.drawText(left, FY, QStringLiteral("Remarks:"));
        for (int k = 0; k < 4; ++k) {
            FY += line * 2;
            FPainter.drawLine(left, FY, right, FY);
        }
        FY += line * 4;
        FPainter.drawText(left, FY, QStringLiteral("Signature:"));
        FPainter.drawLine(left + line * 6, FY, left + (right - left) / 2, FY);
        FPainter.drawText(left + (right - left) / 2 + line * 2, FY, QStringLiteral("Date:"));
        FPainter.drawLine(left + (right - left) / 2 + line * 6, FY, right, FY);
    }

    // Room for `height` more on this page, or a new page.
    void Room(int height)
    {
        if (FY + height > FBottom && FY > FTop)
            NewPage();
    }

    void Text(const QString &text)
    {
        // A line separator breaks the line without ending a paragraph, so
        // that an isolate around a typed text spans all its lines.
        QTextLayout layout(QString(text).replace(u'\n', QChar::LineSeparator), FPainter.font(), &FPdf);
        layout.setTextOption(FOption);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine())
            line.setLineWidth(FRight - FLeft);
        layout.endLayout();
        if (layout.lineCount() == 0)
            FY += FLine;
        for (int k = 0; k < layout.lineCount(); ++k) {
            const QTextLine line = layout.lineAt(k);
            const int height = std::max(1, int(std::ceil(line.height())));
            Room(height);
            line.draw(&FPainter, QPointF(FLeft, FY - line.y()));
            FY += height;
        }
    }

private:
    void NewPage()
    {
        FPdf.newPage();
        ++FPage;
        FY = FTop;
        Text(QStringLiteral("%1, page %2").arg(FHeader).arg(FPage));
        FY += FLine;
    }

    QPdfWriter &FPdf;
    QPainter &FPainter;
    QString FHeader;
    QTextOption FOption;
    int FLine, FLeft, FRight, FTop, FBottom, FY;
    int FPage = 1;
};

} // namespace

bool WriteReportPdf(QIODevice *device, const TCalibrationRecord &record)
{
    QPdfWriter pdf(device);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setResolution(300);
    pdf.setTitle(QStringLiteral("Calibration record"));
    QPainter painter;
    if (!painter.begin(&pdf))
        return false;
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPointSizeF(7.5);
    painter.setFont(font);
    TPdfFlow flow(pdf, painter,
                  QStringLiteral("Calibration record of %1 started %2").arg(CardText(record.Card()), StartedText(record)));
    for (const QString &text : TextLines(record, true))
        flow.Text(text);
    flow.RemarksAndSignature();
    return painter.end();
}
