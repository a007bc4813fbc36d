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
        : m_in(rtf), m_cursor(document)
    {
        m_states.append(State());
    }

    void Run()
    {
        while (m_pos < m_in.size()) {
            const char c = m_in[m_pos++];
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
    State &Now() { return m_states.last(); }

    void OpenGroup()
    {
        Flush();
        ++m_depth;
        if (m_depth <= MaxDepth)
            m_states.append(Now());
    }

    void CloseGroup()
    {
        Flush();
        if (m_depth == 0)
            return; // an unbalanced brace closes nothing
        if (m_depth <= MaxDepth)
            m_states.removeLast();
        --m_depth;
    }

    void ControlSymbolOrWord()
    {
        if (m_pos >= m_in.size())
            return;
        const char c = m_in[m_pos];
        if (!std::isalpha(static_cast<unsigned char>(c))) {
            ++m_pos;
            Symbol(c);
            return;
        }
        QByteArray word;
        while (m_pos < m_in.size() && std::isalpha(static_cast<unsigned char>(m_in[m_pos]))) {
            if (word.size() < MaxWordLength)
                word.append(m_in[m_pos]);
            ++m_pos;
        }
        bool hasParameter = false;
        bool negative = false;
        long long parameter = 0;
        if (m_pos < m_in.size() && m_in[m_pos] == '-') {
            negative = true;
            ++m_pos;
        }
        int digits = 0;
        while (m_pos < m_in.size() && std::isdigit(static_cast<unsigned char>(m_in[m_pos]))) {
            if (digits++ < MaxParameterDigits)
                parameter = parameter * 10 + (m_in[m_pos] - '0');
            hasParameter = true;
            ++m_pos;
        }
        if (m_pos < m_in.size() && m_in[m_pos] == ' ')
            ++m_pos; // the delimiting space belongs to the word
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
        while (digits < 2 && m_pos < m_in.size() && std::isxdigit(static_cast<unsigned char>(m_in[m_pos]))) {
            value = value * 16 + QByteArray(1, m_in[m_pos]).toInt(nullptr, 16);
            ++m_pos;
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
            m_color = QColor(0, 0, 0);
            m_colorSet = false;
        } else if (w == "red" || w == "green" || w == "blue") {
            const int v = std::clamp(p, 0, 255);
            if (w == "red") m_color.setRed(v);
            if (w == "green") m_color.setGreen(v);
            if (w == "blue") m_color.setBlue(v);
            m_colorSet = true;
        } else if (w == "info" || w == "stylesheet" || w == "pict" || w == "header" || w == "footer"
                   || w == "object" || w == "fldinst" || w == "themedata" || w == "listtable") {
            s.destination = Destination::Skip;
        }
    }

    void OnFont(int index)
    {
        if (Now().destination == Destination::FontTable)
            m_fontIndex = index;
        else
            Now().font = index;
    }

    // Skips the characters standing in for a \u character.
    void SkipFallback(int count)
    {
        while (count > 0 && m_pos < m_in.size()) {
            const char c = m_in[m_pos];
            if (c == '{' || c == '}')
                return;
            ++m_pos;
            if (c == '\\' && m_pos < m_in.size() && m_in[m_pos] == '\'') {
                m_pos = std::min<qsizetype>(m_pos + 3, m_in.size());
            } else if (c == '\\') {
                while (m_pos < m_in.size() && std::isalnum(static_cast<unsigned char>(m_in[m_pos])))
                    ++m_pos;
                if (m_pos < m_in.size() && m_in[m_pos] == ' ')
                    ++m_pos;
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
                m_fonts[m_fontIndex] = m_fontName.trimmed();
                m_fontName.clear();
            } else {
                m_fontName += FromCodePage1252(QByteArray(1, c));
            }
            return;
        case Destination::ColorTable:
            if (c == ';') {
                m_colors.append(m_colorSet ? m_color : QColor());
                m_color = QColor(0, 0, 0);
                m_colorSet = false;
            }
            return;
        case Destination::Text: m_pending.append(c); return;
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
        if (m_pending.isEmpty())
            return;
        const QString text = FromCodePage1252(m_pending);
        m_pending.clear();
        Insert(text);
    }

    void Insert(const QString &text)
    {
        const State &s = Now();
        QTextCharFormat format;
        format.setFontWeight(s.bold ? QFont::Bold : QFont::Normal);
        format.setFontItalic(s.italic);
        format.setFontPointSize(s.halfPoints / 2.0);
        if (m_fonts.contains(s.font))
            format.setFontFamilies({m_fonts.value(s.font)});
        if (s.color >= 0 && s.color < m_colors.size() && m_colors[s.color].isValid())
            format.setForeground(m_colors[s.color]);
        m_cursor.insertText(text, format);
    }

    void Paragraph()
    {
        if (Now().destination != Destination::Text)
            return;
        Flush();
        m_cursor.insertBlock();
        m_cursor.setCharFormat(QTextCharFormat());
    }

    const QByteArray &m_in;
    qsizetype m_pos = 0;
    QTextCursor m_cursor;
    QList<State> m_states;
    int m_depth = 0;
    QByteArray m_pending;
    QMap<int, QString> m_fonts;
    int m_fontIndex = 0;
    QString m_fontName;
    QList<QColor> m_colors;
    QColor m_color;
    bool m_colorSet = false;
};

} // namespace

void ReadRtf(const QByteArray &rtf, QTextDocument *document)
{
    document->clear();
    Reader(rtf, document).Run();
}
