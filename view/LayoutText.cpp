#include "LayoutText.h"

#include <array>
#include <limits>

namespace kve {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

struct NamedColour {
    const char *name;
    int red, green, blue;
};

// The names a plain red-green-blue colour can carry in the notation.
constexpr std::array<NamedColour, 20> kColourNames{{
    {"clBlack", 0, 0, 0},           {"clMaroon", 128, 0, 0},      {"clGreen", 0, 128, 0},
    {"clOlive", 128, 128, 0},       {"clNavy", 0, 0, 128},        {"clPurple", 128, 0, 128},
    {"clTeal", 0, 128, 128},        {"clGray", 128, 128, 128},    {"clSilver", 192, 192, 192},
    {"clRed", 255, 0, 0},           {"clLime", 0, 255, 0},        {"clYellow", 255, 255, 0},
    {"clBlue", 0, 0, 255},          {"clFuchsia", 255, 0, 255},   {"clAqua", 0, 255, 255},
    {"clWhite", 255, 255, 255},     {"clMoneyGreen", 192, 220, 192},
    {"clSkyBlue", 166, 202, 240},   {"clCream", 255, 251, 240},   {"clMedGray", 160, 160, 164},
}};

// "No colour" values of the notation: the column uses the grid's colour.
constexpr qint64 kClNone = 0x1FFFFFFF;
constexpr qint64 kClDefault = 0x20000000;

// The colour of a notation integer: red + 256 green + 65536 blue, or none for clNone and
// clDefault; false for any other number.
bool colourOfNumber(qint64 value, std::optional<QColor> &colour)
{
    if (value == kClNone || value == kClDefault) {
        colour.reset();
        return true;
    }
    if (value < 0 || value > 0xFFFFFF)
        return false;
    colour = QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
    return true;
}

// The colour of a name of the colour table, or none for clNone and clDefault; false for others.
bool colourOfName(const QString &name, std::optional<QColor> &colour)
{
    for (const NamedColour &c : kColourNames) {
        if (name.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0) {
            colour = QColor(c.red, c.green, c.blue);
            return true;
        }
    }
    if (name.compare(QLatin1String("clNone"), Qt::CaseInsensitive) == 0 ||
        name.compare(QLatin1String("clDefault"), Qt::CaseInsensitive) == 0) {
        colour.reset();
        return true;
    }
    return false;
}

bool sameColour(const std::optional<QColor> &a, const std::optional<QColor> &b)
{
    if (a.has_value() != b.has_value())
        return false;
    return !a || a->rgb() == b->rgb();
}

QString quoteString(const QString &text)
{
    QString out;
    bool open = false;
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u >= 32 && u < 127) {
            if (!open) {
                out += QLatin1Char('\'');
                open = true;
            }
            out += ch;
            if (u == '\'')
                out += ch;
        } else {
            if (open) {
                out += QLatin1Char('\'');
                open = false;
            }
            out += QLatin1Char('#') + QString::number(u);
        }
    }
    if (open)
        out += QLatin1Char('\'');
    if (out.isEmpty())
        out = QStringLiteral("''");
    return out;
}

// --- reading --------------------------------------------------------------------------------

enum class TokenKind { End, Identifier, Integer, Float, String, Symbol };

struct Token {
    TokenKind kind = TokenKind::End;
    QString text;        // identifier, string contents or the symbol
    qint64 integer = 0;
    double real = 0;
    int line = 1;
};

[[noreturn]] void fail(int line, const QString &reason)
{
    throw LayoutTextError(QStringLiteral("Ошибка в тексте раскладки столбцов, строка %1: %2").arg(line).arg(reason));
}

class Lexer {
public:
    explicit Lexer(const QString &text) : m_text(text) {}

    Token next()
    {
        skipBlanks();
        Token t;
        t.line = m_line;
        if (m_pos >= m_text.size())
            return t;
        const QChar ch = m_text.at(m_pos);
        if (ch.isLetter() || ch == QLatin1Char('_'))
            return identifier(t);
        if (ch.isDigit() || ch == QLatin1Char('$') ||
            ((ch == QLatin1Char('-') || ch == QLatin1Char('+')) && m_pos + 1 < m_text.size() &&
             (m_text.at(m_pos + 1).isDigit() || m_text.at(m_pos + 1) == QLatin1Char('$'))))
            return number(t);
        if (ch == QLatin1Char('\'') || ch == QLatin1Char('#'))
            return string(t);
        static const QString symbols = QStringLiteral("=<>[](),:+");
        if (symbols.contains(ch)) {
            ++m_pos;
            t.kind = TokenKind::Symbol;
            t.text = ch;
            return t;
        }
        fail(m_line, QStringLiteral("неожиданный символ «%1»").arg(ch));
    }

private:
    void skipBlanks()
    {
        while (m_pos < m_text.size()) {
            const QChar ch = m_text.at(m_pos);
            if (ch == QLatin1Char('\n'))
                ++m_line;
            else if (!ch.isSpace())
                break;
            ++m_pos;
        }
    }

    Token identifier(Token t)
    {
        const qsizetype start = m_pos;
        while (m_pos < m_text.size()) {
            const QChar ch = m_text.at(m_pos);
            if (!(ch.isLetterOrNumber() || ch == QLatin1Char('_') || ch == QLatin1Char('.')))
                break;
            ++m_pos;
        }
        t.kind = TokenKind::Identifier;
        t.text = m_text.mid(start, m_pos - start);
        if (t.text.endsWith(QLatin1Char('.')) || t.text.contains(QStringLiteral("..")))
            fail(t.line, QStringLiteral("неверное имя «%1»").arg(t.text));
        return t;
    }

    Token number(Token t)
    {
        bool negative = false;
        if (m_text.at(m_pos) == QLatin1Char('-') || m_text.at(m_pos) == QLatin1Char('+')) {
            negative = m_text.at(m_pos) == QLatin1Char('-');
            ++m_pos;
        }
        const qsizetype start = m_pos;
        bool ok = false;
        if (m_text.at(m_pos) == QLatin1Char('$')) {
            ++m_pos;
            while (m_pos < m_text.size() && isHexDigit(m_text.at(m_pos)))
                ++m_pos;
            const QString digits = m_text.mid(start + 1, m_pos - start - 1);
            t.integer = digits.size() <= 8 ? qint64(digits.toULongLong(&ok, 16)) : 0;
            if (!ok)
                fail(t.line, QStringLiteral("неверное число «%1»").arg(m_text.mid(start, m_pos - start)));
            t.kind = TokenKind::Integer;
        } else {
            while (m_pos < m_text.size() && m_text.at(m_pos).isDigit())
                ++m_pos;
            bool real = false;
            if (m_pos + 1 < m_text.size() && m_text.at(m_pos) == QLatin1Char('.') && m_text.at(m_pos + 1).isDigit()) {
                real = true;
                ++m_pos;
                while (m_pos < m_text.size() && m_text.at(m_pos).isDigit())
                    ++m_pos;
            }
            if (m_pos < m_text.size() && (m_text.at(m_pos) == QLatin1Char('e') || m_text.at(m_pos) == QLatin1Char('E'))) {
                qsizetype p = m_pos + 1;
                if (p < m_text.size() && (m_text.at(p) == QLatin1Char('+') || m_text.at(p) == QLatin1Char('-')))
                    ++p;
                if (p < m_text.size() && m_text.at(p).isDigit()) {
                    real = true;
                    m_pos = p;
                    while (m_pos < m_text.size() && m_text.at(m_pos).isDigit())
                        ++m_pos;
                }
            }
            const QString digits = m_text.mid(start, m_pos - start);
            if (real) {
                t.kind = TokenKind::Float;
                t.real = digits.toDouble(&ok);
            } else {
                t.kind = TokenKind::Integer;
                t.integer = digits.size() <= 18 ? digits.toLongLong(&ok) : 0;
            }
            if (!ok)
                fail(t.line, QStringLiteral("неверное число «%1»").arg(digits));
        }
        if (m_pos < m_text.size() && (m_text.at(m_pos).isLetter() || m_text.at(m_pos) == QLatin1Char('_')))
            fail(t.line, QStringLiteral("неверное число «%1»").arg(m_text.mid(start, m_pos - start + 1)));
        if (negative) {
            t.integer = -t.integer;
            t.real = -t.real;
        }
        return t;
    }

    // 'text', '' for a quote inside, #nn or #$hh for one character; segments written
    // without blanks between them make one string.
    Token string(Token t)
    {
        t.kind = TokenKind::String;
        while (m_pos < m_text.size()) {
            const QChar ch = m_text.at(m_pos);
            if (ch == QLatin1Char('\'')) {
                ++m_pos;
                for (;;) {
                    if (m_pos >= m_text.size() || m_text.at(m_pos) == QLatin1Char('\n') ||
                        m_text.at(m_pos) == QLatin1Char('\r'))
                        fail(t.line, QStringLiteral("строка в кавычках не закрыта"));
                    const QChar c = m_text.at(m_pos++);
                    if (c == QLatin1Char('\'')) {
                        if (m_pos < m_text.size() && m_text.at(m_pos) == QLatin1Char('\'')) {
                            t.text += c;
                            ++m_pos;
                            continue;
                        }
                        break;
                    }
                    t.text += c;
                }
            } else if (ch == QLatin1Char('#')) {
                ++m_pos;
                const qsizetype start = m_pos;
                bool hex = false;
                if (m_pos < m_text.size() && m_text.at(m_pos) == QLatin1Char('$')) {
                    hex = true;
                    ++m_pos;
                }
                while (m_pos < m_text.size() && (hex ? isHexDigit(m_text.at(m_pos)) : m_text.at(m_pos).isDigit()))
                    ++m_pos;
                const QString digits = m_text.mid(start + (hex ? 1 : 0), m_pos - start - (hex ? 1 : 0));
                bool ok = false;
                const uint code = digits.size() <= 6 ? digits.toUInt(&ok, hex ? 16 : 10) : 0;
                if (!ok || code > 0xFFFF)
                    fail(t.line, QStringLiteral("неверный код символа «#%1»").arg(m_text.mid(start, m_pos - start)));
                t.text += QChar(char16_t(code));
            } else {
                break;
            }
        }
        // A character beyond the 16-bit range is written as its two UTF-16 halves (#55357#56832);
        // a half without its partner is no character.
        for (qsizetype i = 0; i < t.text.size(); ++i) {
            const QChar c = t.text.at(i);
            if (c.isHighSurrogate() && i + 1 < t.text.size() && t.text.at(i + 1).isLowSurrogate())
                ++i;
            else if (c.isSurrogate())
                fail(t.line, QStringLiteral("непарный код символа «#%1»").arg(int(c.unicode())));
        }
        return t;
    }

    static bool isHexDigit(QChar ch)
    {
        return ch.isDigit() || (ch >= QLatin1Char('a') && ch <= QLatin1Char('f')) ||
               (ch >= QLatin1Char('A') && ch <= QLatin1Char('F'));
    }

    QString m_text;
    qsizetype m_pos = 0;
    int m_line = 1;
};

// A property value as read, before it is checked against the property.
struct Value {
    TokenKind kind = TokenKind::End;   // Identifier, Integer, Float, String; Symbol "[" for a set
    QString text;
    qint64 integer = 0;
    double real = 0;
    QStringList items;
    int line = 1;
};

class Parser {
public:
    explicit Parser(const QString &text) : m_lexer(text) { advance(); }

    std::vector<ColumnLayout> parse()
    {
        std::vector<ColumnLayout> columns;
        if (m_token.kind == TokenKind::End)
            return columns;
        if (!isWord(QStringLiteral("object")) && !isWord(QStringLiteral("inherited")) && !isWord(QStringLiteral("inline")))
            fail(m_token.line, QStringLiteral("ожидалось слово «object»"));
        advance();
        Token name = expectIdentifier(QStringLiteral("ожидалось имя класса"));
        if (isSymbol(QLatin1Char(':'))) {
            advance();
            name = expectIdentifier(QStringLiteral("ожидалось имя класса"));
        }
        if (name.text.compare(QLatin1String("TUniDataStorage"), Qt::CaseInsensitive) != 0)
            fail(name.line, QStringLiteral("ожидался класс TUniDataStorage, а не «%1»").arg(name.text));
        while (!isWord(QStringLiteral("end"))) {
            const Token property = expectIdentifier(QStringLiteral("ожидалось свойство или «end»"));
            expectSymbol(QLatin1Char('='));
            if (property.text.compare(QLatin1String("Data"), Qt::CaseInsensitive) != 0)
                fail(property.line, QStringLiteral("неизвестное свойство «%1»").arg(property.text));
            columns = collection();
        }
        advance();
        if (m_token.kind != TokenKind::End)
            fail(m_token.line, QStringLiteral("лишний текст после «end»"));
        return columns;
    }

private:
    std::vector<ColumnLayout> collection()
    {
        std::vector<ColumnLayout> columns;
        expectSymbol(QLatin1Char('<'));
        while (!isSymbol(QLatin1Char('>'))) {
            if (!isWord(QStringLiteral("item")))
                fail(m_token.line, QStringLiteral("ожидалось слово «item» или «>»"));
            advance();
            ColumnLayout column;
            while (!isWord(QStringLiteral("end"))) {
                const Token property = expectIdentifier(QStringLiteral("ожидалось свойство или «end»"));
                expectSymbol(QLatin1Char('='));
                assign(column, property, value());
            }
            advance();
            columns.push_back(column);
        }
        advance();
        return columns;
    }

    Value value()
    {
        Value v;
        v.line = m_token.line;
        if (m_token.kind == TokenKind::Symbol && m_token.text == QLatin1String("[")) {
            v.kind = TokenKind::Symbol;
            advance();
            while (!isSymbol(QLatin1Char(']'))) {
                if (!v.items.isEmpty())
                    expectSymbol(QLatin1Char(','));
                v.items << expectIdentifier(QStringLiteral("ожидалось имя элемента множества")).text;
            }
            advance();
            return v;
        }
        switch (m_token.kind) {
        case TokenKind::Identifier:
        case TokenKind::Integer:
        case TokenKind::Float:
            v.kind = m_token.kind;
            v.text = m_token.text;
            v.integer = m_token.integer;
            v.real = m_token.real;
            advance();
            return v;
        case TokenKind::String:
            v.kind = TokenKind::String;
            v.text = m_token.text;
            advance();
            // A long string goes on in the next line after '+'.
            while (isSymbol(QLatin1Char('+'))) {
                advance();
                if (m_token.kind != TokenKind::String)
                    fail(m_token.line, QStringLiteral("после «+» ожидалась строка"));
                v.text += m_token.text;
                advance();
            }
            return v;
        default:
            fail(m_token.line, m_token.kind == TokenKind::End ? QStringLiteral("текст оборван")
                                                               : QStringLiteral("ожидалось значение свойства"));
        }
    }

    [[noreturn]] static void badValue(const Token &property, const Value &)
    {
        fail(property.line, QStringLiteral("неверное значение свойства «%1»").arg(property.text));
    }

    static int integerOf(const Token &property, const Value &v, qint64 min = std::numeric_limits<int>::min())
    {
        if (v.kind != TokenKind::Integer || v.integer < min || v.integer > std::numeric_limits<int>::max())
            badValue(property, v);
        return int(v.integer);
    }

    static void assign(ColumnLayout &column, const Token &property, const Value &v)
    {
        const QString name = property.text;
        auto is = [&name](const char *candidate) {
            return name.compare(QLatin1String(candidate), Qt::CaseInsensitive) == 0;
        };
        if (is("FieldName")) {
            if (v.kind != TokenKind::String)
                badValue(property, v);
            column.FieldName = v.text;
        } else if (is("Width")) {
            column.Width = integerOf(property, v, 0);
        } else if (is("LayoutLevel")) {
            column.LayoutLevel = integerOf(property, v);
        } else if (is("LayoutIndex")) {
            column.LayoutIndex = integerOf(property, v);
        } else if (is("SortOrder")) {
            column.SortOrder = integerOf(property, v);
        } else if (is("TitleState")) {
            if (v.kind != TokenKind::Identifier)
                badValue(property, v);
            bool found = false;
            for (TitleState s : {TitleState::tsSortedNone, TitleState::tsSortedUp, TitleState::tsSortedDown}) {
                if (v.text.compare(titleStateName(s), Qt::CaseInsensitive) == 0) {
                    column.TitleState = s;
                    found = true;
                }
            }
            if (!found)
                badValue(property, v);
        } else if (is("Alignment")) {
            if (v.kind != TokenKind::Identifier)
                badValue(property, v);
            bool found = false;
            for (ColumnAlignment a : {ColumnAlignment::talDefault, ColumnAlignment::talLeftJustify,
                                      ColumnAlignment::talRightJustify, ColumnAlignment::talCenter}) {
                if (v.text.compare(alignmentName(a), Qt::CaseInsensitive) == 0) {
                    column.Alignment = a;
                    found = true;
                }
            }
            if (!found)
                badValue(property, v);
        } else if (is("FooterState")) {
            if (v.kind != TokenKind::Identifier)
                badValue(property, v);
            column.FooterState = v.text;
        } else if (is("OptionsVisual")) {
            if (v.kind != TokenKind::Symbol)
                badValue(property, v);
            column.OptionsVisual = v.items;
        } else if (is("Color")) {
            const bool known = (v.kind == TokenKind::Integer && colourOfNumber(v.integer, column.Color)) ||
                               (v.kind == TokenKind::Identifier && colourOfName(v.text, column.Color));
            if (!known)
                badValue(property, v);
        } else if (name.startsWith(QLatin1String("Font."), Qt::CaseInsensitive) && fontPart(name.mid(5))) {
            const QString part = QLatin1String(fontPart(name.mid(5)));
            auto same = [&part](const QPair<QString, QString> &p) { return p.first == part; };
            column.Font.removeIf(same);
            column.Font.append({part, valueText(v)});
        } else {
            fail(property.line, QStringLiteral("у столбца нет свойства «%1»").arg(name));
        }
    }

    // The canonical spelling of a font sub-property, or null for one a font lacks.
    static const char *fontPart(const QString &part)
    {
        static const char *const parts[] = {"Charset", "Color", "Height", "Name", "Pitch", "Size", "Style"};
        for (const char *p : parts) {
            if (part.compare(QLatin1String(p), Qt::CaseInsensitive) == 0)
                return p;
        }
        return nullptr;
    }

    static QString valueText(const Value &v)
    {
        switch (v.kind) {
        case TokenKind::Integer:
            return QString::number(v.integer);
        case TokenKind::Float:
            return QString::number(v.real, 'g', 17);
        case TokenKind::String:
            return quoteString(v.text);
        case TokenKind::Symbol:
            return QLatin1Char('[') + v.items.join(QStringLiteral(", ")) + QLatin1Char(']');
        default:
            return v.text;
        }
    }

    void advance() { m_token = m_lexer.next(); }

    bool isWord(const QString &word) const
    {
        return m_token.kind == TokenKind::Identifier && m_token.text.compare(word, Qt::CaseInsensitive) == 0;
    }

    bool isSymbol(QChar symbol) const
    {
        return m_token.kind == TokenKind::Symbol && m_token.text == symbol;
    }

    Token expectIdentifier(const QString &reason)
    {
        if (m_token.kind != TokenKind::Identifier)
            fail(m_token.line, m_token.kind == TokenKind::End ? QStringLiteral("текст оборван") : reason);
        Token t = m_token;
        advance();
        return t;
    }

    void expectSymbol(QChar symbol)
    {
        if (!isSymbol(symbol))
            fail(m_token.line, m_token.kind == TokenKind::End ? QStringLiteral("текст оборван")
                                                               : QStringLiteral("ожидался знак «%1»").arg(symbol));
        advance();
    }

    Lexer m_lexer;
    Token m_token;
};

} // namespace

bool ColumnLayout::operator==(const ColumnLayout &o) const
{
    return FieldName == o.FieldName && Width == o.Width && LayoutLevel == o.LayoutLevel &&
           LayoutIndex == o.LayoutIndex && TitleState == o.TitleState && SortOrder == o.SortOrder &&
           FooterState == o.FooterState && OptionsVisual == o.OptionsVisual && sameColour(Color, o.Color) &&
           Alignment == o.Alignment && Font == o.Font;
}

QString titleStateName(TitleState state)
{
    switch (state) {
    case TitleState::tsSortedUp:
        return QStringLiteral("tsSortedUp");
    case TitleState::tsSortedDown:
        return QStringLiteral("tsSortedDown");
    case TitleState::tsSortedNone:
        break;
    }
    return QStringLiteral("tsSortedNone");
}

QString alignmentName(ColumnAlignment alignment)
{
    switch (alignment) {
    case ColumnAlignment::talLeftJustify:
        return QStringLiteral("talLeftJustify");
    case ColumnAlignment::talRightJustify:
        return QStringLiteral("talRightJustify");
    case ColumnAlignment::talCenter:
        return QStringLiteral("talCenter");
    case ColumnAlignment::talDefault:
        break;
    }
    return QStringLiteral("talDefault");
}

QString colourText(const QColor &colour)
{
    for (const NamedColour &c : kColourNames) {
        if (colour.red() == c.red && colour.green() == c.green && colour.blue() == c.blue)
            return QLatin1String(c.name);
    }
    return QString::number(colour.red() + 256 * colour.green() + 65536 * colour.blue());
}

std::optional<QColor> colourFromText(const QString &text)
{
    std::optional<QColor> colour;
    if (colourOfName(text, colour))
        return colour;
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (ok && colourOfNumber(value, colour))
        return colour;
    throw LayoutTextError(QStringLiteral("Неизвестный цвет «%1»").arg(text));
}

QString writeLayoutText(const std::vector<ColumnLayout> &columns)
{
    const ColumnLayout d;
    QString out = QStringLiteral("object TUniDataStorage") + kCrLf;
    out += QStringLiteral("  Data = <");
    if (columns.empty()) {
        out += QLatin1Char('>') + kCrLf;
    } else {
        out += kCrLf;
        auto line = [&out](const char *name, const QString &value) {
            out += QStringLiteral("      ") + QLatin1String(name) + QStringLiteral(" = ") + value + kCrLf;
        };
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const ColumnLayout &c = columns[i];
            out += QStringLiteral("    item") + kCrLf;
            if (c.FieldName != d.FieldName)
                line("FieldName", quoteString(c.FieldName));
            if (c.OptionsVisual != d.OptionsVisual)
                line("OptionsVisual", QLatin1Char('[') + c.OptionsVisual.join(QStringLiteral(", ")) + QLatin1Char(']'));
            if (c.TitleState != d.TitleState)
                line("TitleState", titleStateName(c.TitleState));
            if (c.FooterState != d.FooterState)
                line("FooterState", c.FooterState);
            if (c.Width != d.Width)
                line("Width", QString::number(c.Width));
            if (c.LayoutLevel != d.LayoutLevel)
                line("LayoutLevel", QString::number(c.LayoutLevel));
            if (c.LayoutIndex != d.LayoutIndex)
                line("LayoutIndex", QString::number(c.LayoutIndex));
            if (c.Color)
                line("Color", colourText(*c.Color));
            if (c.Alignment != d.Alignment)
                line("Alignment", alignmentName(c.Alignment));
            for (const auto &part : c.Font)
                out += QStringLiteral("      Font.") + part.first + QStringLiteral(" = ") + part.second + kCrLf;
            if (c.SortOrder != d.SortOrder)
                line("SortOrder", QString::number(c.SortOrder));
            out += QStringLiteral("    end");
            if (i + 1 == columns.size())
                out += QLatin1Char('>');
            out += kCrLf;
        }
    }
    out += QStringLiteral("end") + kCrLf;
    return out;
}

std::vector<ColumnLayout> parseLayoutText(const QString &text)
{
    return Parser(text).parse();
}

} // namespace kve
