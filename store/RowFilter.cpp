#include "RowFilter.h"

#include "DbfFile.h"
#include "Schema.h"
#include "TableError.h"

#include <QRegularExpression>

namespace kve {

std::vector<RowFilter::Term> RowFilter::parse(const QString &expression)
{
    std::vector<Term> terms;
    const QString trimmed = expression.trimmed();
    if (trimmed.isEmpty())
        return terms;
    static const QRegularExpression andWord(QStringLiteral("\\s+AND\\s+"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression term(QStringLiteral("^\\s*([A-Za-z_][A-Za-z0-9_]*)\\s*=\\s*(.*?)\\s*$"));
    const auto bad = [&](const QString &why) {
        return TableError(QStringLiteral("Неверное выражение фильтра «%1»: %2").arg(expression, why));
    };
    for (const QString &part : trimmed.split(andWord)) {
        const QRegularExpressionMatch m = term.match(part);
        if (!m.hasMatch())
            throw bad(QStringLiteral("ожидалось ПОЛЕ=значение"));
        const int index = fieldIndex(m.captured(1));
        if (index < 0)
            throw bad(QStringLiteral("нет поля %1").arg(m.captured(1)));
        QString value = m.captured(2);
        Term t;
        t.field = index;
        if (kFields[size_t(index)].type == 'N') {
            bool ok = false;
            const qint64 number = value.toLongLong(&ok);
            if (!ok)
                throw bad(QStringLiteral("«%1» не является целым числом").arg(value));
            t.number = number;
        } else {
            if (value.size() >= 2 && (value.front() == '\'' || value.front() == '"') && value.back() == value.front())
                value = value.mid(1, value.size() - 2);
            else
                throw bad(QStringLiteral("текст должен стоять в кавычках"));
            while (value.endsWith(' '))
                value.chop(1);
            t.text = value;
        }
        terms.push_back(t);
    }
    return terms;
}

void RowFilter::setExpression(const QString &expression)
{
    m_terms = parse(expression);
    m_text = expression;
}

bool RowFilter::passes(const DbfFile &file, const char *record) const
{
    if (record[0] == '*')
        return false;
    if (!m_enabled)
        return true;
    for (const Term &t : m_terms) {
        if (t.number) {
            if (file.numberAt(record, t.field) != t.number)
                return false;
        } else if (file.decodeField(record, t.field) != t.text) {
            return false;
        }
    }
    return true;
}

} // namespace kve
