#include "LayoutText.h"

#include <algorithm>
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

// --- the column properties ------------------------------------------------------------------

// What a property makes of one "Name = value" line.
enum class Reading { NotThisProperty, Taken, WrongValue };

const ColumnLayout &defaults()
{
    static const ColumnLayout d;
    return d;
}

// One "Name = value" or "Name.Part = value" line of a column.
void line(QString &out, QLatin1String name, QStringView part, const QString &value)
{
    out += QLatin1String("      ");
    out += name;
    if (!part.isEmpty()) {
        out += QLatin1Char('.');
        out += part;
    }
    out += QLatin1String(" = ");
    out += value;
    out += kCrLf;
}

// Value codecs: text() writes a value, take() reads one and says false when it does not fit.

struct QuotedText {
    static QString text(const QString &value) { return quoteString(value); }
    static bool take(const Value &v, QString &out)
    {
        if (v.kind != TokenKind::String)
            return false;
        out = v.text;
        return true;
    }
};

struct Word {
    static QString text(const QString &value) { return value; }
    static bool take(const Value &v, QString &out)
    {
        if (v.kind != TokenKind::Identifier)
            return false;
        out = v.text;
        return true;
    }
};

struct WordSet {
    static QString text(const QStringList &value)
    {
        return QLatin1Char('[') + value.join(QStringLiteral(", ")) + QLatin1Char(']');
    }
    static bool take(const Value &v, QStringList &out)
    {
        if (v.kind != TokenKind::Symbol)
            return false;
        out = v.items;
        return true;
    }
};

template <qint64 Min>
struct Number {
    static QString text(int value) { return QString::number(value); }
    static bool take(const Value &v, int &out)
    {
        if (v.kind != TokenKind::Integer || v.integer < Min || v.integer > std::numeric_limits<int>::max())
            return false;
        out = int(v.integer);
        return true;
    }
};

template <typename E, QString (*Name)(E), E... Values>
struct Named {
    static QString text(E value) { return Name(value); }
    static bool take(const Value &v, E &out)
    {
        if (v.kind != TokenKind::Identifier)
            return false;
        for (E e : {Values...}) {
            if (v.text.compare(Name(e), Qt::CaseInsensitive) == 0) {
                out = e;
                return true;
            }
        }
        return false;
    }
};

struct Colour {
    static bool same(const std::optional<QColor> &a, const std::optional<QColor> &b) { return sameColour(a, b); }
    // Written only when it differs from the default, which is no colour.
    static QString text(const std::optional<QColor> &value) { return colourText(*value); }
    static bool take(const Value &v, std::optional<QColor> &out)
    {
        return (v.kind == TokenKind::Integer && colourOfNumber(v.integer, out)) ||
               (v.kind == TokenKind::Identifier && colourOfName(v.text, out));
    }
};

// The canonical spelling of a font sub-property, or null for one a font lacks.
const char *fontPart(const QString &part)
{
    static const char *const parts[] = {"Charset", "Color", "Height", "Name", "Pitch", "Size", "Style"};
    for (const char *p : parts) {
        if (part.compare(QLatin1String(p), Qt::CaseInsensitive) == 0)
            return p;
    }
    return nullptr;
}

QString valueText(const Value &v)
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

// An own font: one "Font.Part = value" line per sub-property, values kept as written.
struct FontParts {
    using Parts = QList<QPair<QString, QString>>;
    static void writeParts(QString &out, QLatin1String name, const Parts &value)
    {
        for (const auto &part : value)
            line(out, name, part.first, part.second);
    }
    static Reading readPart(QLatin1String name, const QString &property, const Value &v, Parts &out)
    {
        if (property.size() <= name.size() || !property.startsWith(name, Qt::CaseInsensitive) ||
            property.at(name.size()) != QLatin1Char('.'))
            return Reading::NotThisProperty;
        const char *known = fontPart(property.mid(name.size() + 1));
        if (!known)
            return Reading::NotThisProperty;
        const QString part = QLatin1String(known);
        out.removeIf([&part](const QPair<QString, QString> &p) { return p.first == part; });
        out.append({part, valueText(v)});
        return Reading::Taken;
    }
};

// One property of ColumnLayout: how it is compared, written (nothing at its default) and read.
struct ColumnProperty {
    const char *name;
    bool (*same)(const ColumnLayout &, const ColumnLayout &);
    void (*write)(QString &out, QLatin1String name, const ColumnLayout &);
    Reading (*read)(QLatin1String name, const QString &property, const Value &, ColumnLayout &);
};

template <typename Codec, typename T>
bool sameValue(const T &a, const T &b)
{
    if constexpr (requires { &Codec::same; })
        return Codec::same(a, b);
    else
        return a == b;
}

template <auto Member, typename Codec>
constexpr ColumnProperty property(const char *name)
{
    return ColumnProperty{
        name,
        [](const ColumnLayout &a, const ColumnLayout &b) { return sameValue<Codec>(a.*Member, b.*Member); },
        [](QString &out, QLatin1String name, const ColumnLayout &c) {
            if (sameValue<Codec>(c.*Member, defaults().*Member))
                return;
            if constexpr (requires { &Codec::writeParts; })
                Codec::writeParts(out, name, c.*Member);
            else
                line(out, name, {}, Codec::text(c.*Member));
        },
        [](QLatin1String name, const QString &property, const Value &v, ColumnLayout &c) {
            if constexpr (requires { &Codec::readPart; }) {
                return Codec::readPart(name, property, v, c.*Member);
            } else {
                if (property.compare(name, Qt::CaseInsensitive) != 0)
                    return Reading::NotThisProperty;
                return Codec::take(v, c.*Member) ? Reading::Taken : Reading::WrongValue;
            }
        }};
}

constexpr qint64 kIntMin = std::numeric_limits<int>::min();

// Every column property, in the order the text lists them; a property's default is its
// initial value in ColumnLayout.
constexpr std::array kColumnProperties{
    property<&ColumnLayout::FieldName, QuotedText>("FieldName"),
    property<&ColumnLayout::OptionsVisual, WordSet>("OptionsVisual"),
    property<&ColumnLayout::TitleState, Named<TitleState, titleStateName, TitleState::tsSortedNone,
                                              TitleState::tsSortedUp, TitleState::tsSortedDown>>("TitleState"),
    property<&ColumnLayout::FooterState, Word>("FooterState"),
    property<&ColumnLayout::Width, Number<0>>("Width"),
    property<&ColumnLayout::LayoutLevel, Number<kIntMin>>("LayoutLevel"),
    property<&ColumnLayout::LayoutIndex, Number<kIntMin>>("LayoutIndex"),
    property<&ColumnLayout::Color, Colour>("Color"),
    property<&ColumnLayout::Alignment,
             Named<ColumnAlignment, alignmentName, ColumnAlignment::talDefault, ColumnAlignment::talLeftJustify,
                   ColumnAlignment::talRightJustify, ColumnAlignment::talCenter>>("Alignment"),
    property<&ColumnLayout::Font, FontParts>("Font"),
    property<&ColumnLayout::SortOrder, Number<kIntMin>>("SortOrder"),
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

    static void assign(ColumnLayout &column, const Token &property, const Value &v)
    {
        for (const ColumnProperty &p : kColumnProperties) {
            switch (p.read(QLatin1String(p.name), property.text, v, column)) {
            case Reading::Taken:
                return;
            case Reading::WrongValue:
                fail(property.line, QStringLiteral("неверное значение свойства «%1»").arg(property.text));
            case Reading::NotThisProperty:
                break;
            }
        }
        fail(property.line, QStringLiteral("у столбца нет свойства «%1»").arg(property.text));
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
    return std::all_of(kColumnProperties.begin(), kColumnProperties.end(),
                       [this, &o](const ColumnProperty &p) { return p.same(*this, o); });
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
    QString out = QStringLiteral("object TUniDataStorage") + kCrLf;
    out += QStringLiteral("  Data = <");
    if (columns.empty()) {
        out += QLatin1Char('>') + kCrLf;
    } else {
        out += kCrLf;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            out += QStringLiteral("    item") + kCrLf;
            for (const ColumnProperty &p : kColumnProperties)
                p.write(out, QLatin1String(p.name), columns[i]);
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
