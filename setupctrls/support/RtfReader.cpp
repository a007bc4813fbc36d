#include "RtfReader.h"

#include <QColor>
#include <QList>
#include <QMap>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <cctype>

namespace {

// Windows code page 1252, the document's \ansicpg1252.
QString FromCodePage1252(const QByteArray &bytes)
{
    static constexpr char16_t high[32] = {
        0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
        0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
    QString text;
    text.reserve(bytes.size());
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        text.append(b >= 0x80 && b < 0xA0 ? QChar(high[b - 0x80]) : QChar(b));
    }
    return text;
}

constexpr int MaxDepth = 256;            // deeper groups share the state of this depth
constexpr int MaxWordLength = 32;
constexpr int MaxParameterDigits = 10;
constexpr int DefaultHalfPoints = 24;
constexpr int MaxHalfPoints = 2 * 400;

enum class Destination { Text, FontTable, ColorTable, Skip };

struct State {
    bool bold = false;
    bool italic = false;
    int halfPoints = DefaultHalfPoints;
    int color = -1; // -1: the document's default colour
    int font = 0;
    int skipAfterUnicode = 1;
    Destination destination = Destination::Text;
};

class Reader {
public:
    Reader(const QByteArray &rtf, QTextDocument *document)
        : FIn(rtf), FCursor(document)
    {
        FStates.append(State());
    }

    void Run()
    {
        while (FPos < FIn.size()) {
            const char c = FIn[FPos++];
            switch (c) {
            case '{': OpenGroup(); break;
            case '}': CloseGroup(); break;
            case '\\': ControlSymbolOrWord(); break;
            case '\r':
            case '\n': break;
            default: Byte(c); break;
            }
        }
        Flush();
    }

private:
    State &Now() { return FStates.last(); }

    void OpenGroup()
    {
        Flush();
        ++FDepth;
        if (FDepth <= MaxDepth)
            FStates.append(Now());
    }

    void CloseGroup()
    {
        Flush();
        if (FDepth == 0)
            return; // an unbalanced brace closes nothing
        if (FDepth <= MaxDepth)
            FStates.removeLast();
        --FDepth;
    }

    void ControlSymbolOrWord()
    {
        if (FPos >= FIn.size())
            return;
        const char c = FIn[FPos];
        if (!std::isalpha(static_cast<unsigned char>(c))) {
            ++FPos;
            Symbol(c);
            return;
        }
        QByteArray word;
        while (FPos < FIn.size() && std::isalpha(static_cast<unsigned char>(FIn[FPos]))) {
            if (word.size() < MaxWordLength)
                word.append(FIn[FPos]);
            ++FPos;
        }
        bool hasParameter = false;
        bool negative = false;
        long long parameter = 0;
        if (FPos < FIn.size() && FIn[FPos] == '-') {
            negative = true;
            ++FPos;
        }
        int digits = 0;
        while (FPos < FIn.size() && std::isdigit(static_cast<unsigned char>(FIn[FPos]))) {
            if (digits++ < MaxParameterDigits)
                parameter = parameter * 10 + (FIn[FPos] - '0');
            hasParameter = true;
            ++FPos;
        }
        if (FPos < FIn.size() && FIn[FPos] == ' ')
            ++FPos; // the delimiting space belongs to the word
        parameter = std::clamp(negative ? -parameter : parameter, -2147483647LL, 2147483647LL);
        Word(word, hasParameter, int(parameter));
    }

    void Symbol(char c)
    {
        switch (c) {
        case '\\':
        case '{':
        case '}': Byte(c); break;
        case '~': Text(QString(QChar(0x00A0))); break;
        case '-': break; // optional hyphen
        case '_': Text(QString(QChar(0x2011))); break;
        case '*': Now().destination = Destination::Skip; break;
        case '\'': Hex(); break;
        case '\r':
        case '\n': Paragraph(); break;
        default: break;
        }
    }

    void Hex()
    {
        int value = 0, digits = 0;
        while (digits < 2 && FPos < FIn.size() && std::isxdigit(static_cast<unsigned char>(FIn[FPos]))) {
            value = value * 16 + QByteArray(1, FIn[FPos]).toInt(nullptr, 16);
            ++FPos;
            ++digits;
        }
        if (digits > 0)
            Byte(char(value));
    }

    void Word(const QByteArray &w, bool hasParameter, int p)
    {
        State &s = Now();
        if (w == "par" || w == "line")
            return Paragraph();
        if (w == "tab")
            return Text(QStringLiteral("\t"));
        if (w == "emdash")
            return Text(QString(QChar(0x2014)));
        if (w == "endash")
            return Text(QString(QChar(0x2013)));
        if (w == "bullet")
            return Text(QString(QChar(0x2022)));
        if (w == "lquote" || w == "rquote")
            return Text(QString(QChar(w == "lquote" ? 0x2018 : 0x2019)));
        if (w == "ldblquote" || w == "rdblquote")
            return Text(QString(QChar(w == "ldblquote" ? 0x201C : 0x201D)));
        if (w == "u") {
            Text(QString(QChar(char16_t(uint16_t(p)))));
            SkipFallback(s.skipAfterUnicode);
            return;
        }
        Flush();
        if (w == "b")
            s.bold = !hasParameter || p != 0;
        else if (w == "i")
            s.italic = !hasParameter || p != 0;
        else if (w == "fs")
            s.halfPoints = hasParameter ? std::clamp(p, 1, MaxHalfPoints) : DefaultHalfPoints;
        else if (w == "cf")
            s.color = hasParameter ? p : -1;
        else if (w == "f")
            OnFont(p);
        else if (w == "plain")
            s.bold = s.italic = false, s.halfPoints = DefaultHalfPoints, s.color = -1;
        else if (w == "uc")
            s.skipAfterUnicode = std::clamp(p, 0, 16);
        else if (w == "fonttbl")
            s.destination = Destination::FontTable;
        else if (w == "colortbl") {
            s.destination = Destination::ColorTable;
            FColor = QColor(0, 0, 0);
            FColorSet = false;
        } else if (w == "red" || w == "green" || w == "blue") {
            const int v = std::clamp(p, 0, 255);
            if (w == "red") FColor.setRed(v);
            if (w == "green") FColor.setGreen(v);
            if (w == "blue") FColor.setBlue(v);
            FColorSet = true;
        } else if (w == "info" || w == "stylesheet" || w == "pict" || w == "header" || w == "footer"
                   || w == "object" || w == "fldinst" || w == "themedata" || w == "listtable") {
            s.destination = Destination::Skip;
        }
    }

    void OnFont(int index)
    {
        if (Now().destination == Destination::FontTable)
            FFontIndex = index;
        else
            Now().font = index;
    }

    // Skips the characters standing in for a \u character.
    void SkipFallback(int count)
    {
        while (count > 0 && FPos < FIn.size()) {
            const char c = FIn[FPos];
            if (c == '{' || c == '}')
                return;
            ++FPos;
            if (c == '\\' && FPos < FIn.size() && FIn[FPos] == '\'') {
                FPos = std::min<qsizetype>(FPos + 3, FIn.size());
            } else if (c == '\\') {
                while (FPos < FIn.size() && std::isalnum(static_cast<unsigned char>(FIn[FPos])))
                    ++FPos;
                if (FPos < FIn.size() && FIn[FPos] == ' ')
                    ++FPos;
            }
            --count;
        }
    }

    void Byte(char c)
    {
        switch (Now().destination) {
        case Destination::Skip: return;
        case Destination::FontTable:
            if (c == ';') {
                FFonts[FFontIndex] = FFontName.trimmed();
                FFontName.clear();
            } else {
                FFontName += FromCodePage1252(QByteArray(1, c));
            }
            return;
        case Destination::ColorTable:
            if (c == ';') {
                FColors.append(FColorSet ? FColor : QColor());
                FColor = QColor(0, 0, 0);
                FColorSet = false;
            }
            return;
        case Destination::Text: FPending.append(c); return;
        }
    }

    void Text(const QString &text)
    {
        if (Now().destination != Destination::Text)
            return;
        Flush();
        Insert(text);
    }

    // Inserts the bytes gathered so far, in the present character format.
    void Flush()
    {
        if (FPending.isEmpty())
            return;
        const QString text = FromCodePage1252(FPending);
        FPending.clear();
        Insert(text);
    }

    void Insert(const QString &text)
    {
        const State &s = Now();
        QTextCharFormat format;
        format.setFontWeight(s.bold ? QFont::Bold : QFont::Normal);
        format.setFontItalic(s.italic);
        format.setFontPointSize(s.halfPoints / 2.0);
        if (FFonts.contains(s.font))
            format.setFontFamilies({FFonts.value(s.font)});
        if (s.color >= 0 && s.color < FColors.size() && FColors[s.color].isValid())
            format.setForeground(FColors[s.color]);
        FCursor.insertText(text, format);
    }

    void Paragraph()
    {
        if (Now().destination != Destination::Text)
            return;
        Flush();
        FCursor.insertBlock();
        FCursor.setCharFormat(QTextCharFormat());
    }

    const QByteArray &FIn;
    qsizetype FPos = 0;
    QTextCursor FCursor;
    QList<State> FStates;
    int FDepth = 0;
    QByteArray FPending;
    QMap<int, QString> FFonts;
    int FFontIndex = 0;
    QString FFontName;
    QList<QColor> FColors;
    QColor FColor;
    bool FColorSet = false;
};

} // namespace

void ReadRtf(const QByteArray &rtf, QTextDocument *document)
{
    document->clear();
    Reader(rtf, document).Run();
}
