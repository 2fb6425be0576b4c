#pragma once

#include <QString>
#include <exception>
#include <optional>
#include <stdexcept>
#include <utility>

namespace kve {

// The one error of the program. Its text is for the operator and is shown as it is; the
// cause, when there is one, is for a developer (the failed call and the system's reason,
// an offset) and never reaches the operator's box. what() gives both.
class Error : public std::runtime_error {
public:
    explicit Error(const QString &text, const QString &cause = {})
        : std::runtime_error(whatText(text, cause)), m_text(text), m_cause(cause)
    {
    }
    QString text() const { return m_text; }
    QString cause() const { return m_cause; }

private:
    static std::string whatText(const QString &text, const QString &cause)
    {
        return (cause.isEmpty() ? text : text + QStringLiteral(" [") + cause + QLatin1Char(']')).toStdString();
    }

    QString m_text;
    QString m_cause;
};

// What the operator is told of an error that carries no text of its own.
inline QString unknownErrorText() { return QStringLiteral("Неизвестная ошибка"); }

// The edge of one command, slot, timer or event handler: runs it to its end or to its
// first error, whose text then goes to `report` (outside the catch, so that a box shown
// there runs no event loop inside a handler). Qt does not support an exception crossing
// its event dispatch, so every handler entered from the event loop runs through this.
// True when the handler ran to its end.
template <typename Handler, typename Report>
bool runGuarded(Handler &&handler, Report &&report)
{
    std::optional<QString> failure;
    try {
        std::forward<Handler>(handler)();
    } catch (const Error &e) {
        failure = e.text();
        // The developer's detail goes to the log, never into the operator's box.
        if (!e.cause().isEmpty())
            qWarning("%s", e.what());
    } catch (const std::exception &e) {
        failure = QString::fromStdString(e.what());
    } catch (...) {
        failure = unknownErrorText();
    }
    if (!failure)
        return true;
    std::forward<Report>(report)(*failure);
    return false;
}

} // namespace kve
