#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace kve {

class DbfFile;

// The filter of a table's view: an expression of FIELD=value terms joined by AND, e.g.
// "EN_CH=3" or "N=7 AND EN_CH=3", and whether it is on. Deleted rows never pass.
class RowFilter {
public:
    // An expression that cannot be read throws TableError and leaves the filter as it was.
    void setExpression(const QString &expression);
    QString expression() const { return m_text; }
    void setEnabled(bool on) { m_enabled = on; }
    bool enabled() const { return m_enabled; }

    bool passes(const DbfFile &file, const char *record) const;

private:
    struct Term {
        int field = 0;
        std::optional<qint64> number;   // numeric fields
        QString text;                   // character fields, compared without trailing blanks
    };
    static std::vector<Term> parse(const QString &expression);

    QString m_text;
    std::vector<Term> m_terms;
    bool m_enabled = false;
};

} // namespace kve
