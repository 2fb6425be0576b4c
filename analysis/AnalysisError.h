#pragma once

#include <QString>
#include <stdexcept>

namespace kve {

// A calculation or chart build that cannot go on, with a text for the operator.
class AnalysisError : public std::runtime_error {
public:
    explicit AnalysisError(const QString &text) : std::runtime_error(text.toStdString()), m_text(text) {}
    QString text() const { return m_text; }

private:
    QString m_text;
};

// The texts of a failed conversion, shown as the error's own text.
inline QString notANumberText(const QString &text)
{
    return QStringLiteral("\"%1\" не является правильным числом").arg(text);
}

inline QString notADateTimeText(const QString &text)
{
    return QStringLiteral("\"%1\" не является правильной датой и временем").arg(text);
}

} // namespace kve
