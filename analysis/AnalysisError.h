#pragma once

#include "store/Error.h"

namespace kve {

// A calculation or chart build that cannot go on, with a text for the operator.
class AnalysisError : public Error {
public:
    using Error::Error;
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
