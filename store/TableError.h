#pragma once

#include <QString>
#include <stdexcept>

namespace kve {

// An error of the table file or its object, with a text fit for the operator's error box.
class TableError : public std::runtime_error {
public:
    explicit TableError(const QString &text) : std::runtime_error(text.toStdString()), m_text(text) {}
    QString text() const { return m_text; }

private:
    QString m_text;
};

} // namespace kve
