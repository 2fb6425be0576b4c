#pragma once

// Takes the place of the program's message boxes while it lives: notes every message
// (what a box would have shown and over which window) and answers it at once, from a queue
// of answers, else by a rule. A message that neither expects, or an answer that is not one
// of its buttons, is noted as a problem and answered by the message's own escape (No, or Ok).

#include "ui/Notifier.h"

#include <QList>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <functional>

namespace testing {

struct ShownMessage {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString caption;
    QString text;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QPointer<QWidget> parent;
    bool hadParent = false;   // a parent was given (it may be gone by now)
    QString objectName;
    QMessageBox::StandardButton answer = QMessageBox::NoButton;

    // "caption|text", the way tests list what came up.
    QString shown() const { return caption + QLatin1Char('|') + text; }
};

class FakeNotifier : public kve::Notifier {
public:
    using Rule = std::function<QMessageBox::StandardButton(const kve::Message &)>;

    FakeNotifier() : m_scope(*this) {}
    explicit FakeNotifier(Rule rule) : m_rule(std::move(rule)), m_scope(*this) {}

    // Every message from now on, after the queued answers are used up.
    void setRule(Rule rule) { m_rule = std::move(rule); }
    // The next message gets this answer (in the order queued).
    void queue(QMessageBox::StandardButton answer) { m_queue.append(answer); }
    // Called with each message as it comes, before it is answered (the program waits in its
    // box meanwhile), e.g. to look at the windows then.
    void setOnShow(std::function<void(const ShownMessage &)> look) { m_onShow = std::move(look); }

    QMessageBox::StandardButton show(const kve::Message &message) override
    {
        ShownMessage m{message.icon, message.caption, message.text, message.buttons, message.defaultButton,
                       message.parent, message.parent != nullptr, message.objectName, QMessageBox::NoButton};
        const QMessageBox::StandardButton escape =
            message.buttons.testFlag(QMessageBox::No) ? QMessageBox::No : QMessageBox::Ok;
        QMessageBox::StandardButton answer = escape;
        if (!m_queue.isEmpty()) {
            answer = m_queue.takeFirst();
        } else if (m_rule) {
            answer = m_rule(message);
        } else {
            m_problems << QStringLiteral("not expected: ") + m.shown();
        }
        if (!message.buttons.testFlag(answer)) {
            m_problems << QStringLiteral("no button %1 in: %2").arg(int(answer)).arg(m.shown());
            answer = escape;
        }
        m.answer = answer;
        messages.append(m);
        if (m_onShow)
            m_onShow(messages.constLast());
        return answer;
    }

    // Every message in turn, "caption|text".
    QStringList shown() const
    {
        QStringList out;
        for (const ShownMessage &m : messages)
            out << m.shown();
        return out;
    }
    QStringList texts() const
    {
        QStringList out;
        for (const ShownMessage &m : messages)
            out << m.text;
        return out;
    }
    QStringList captions() const
    {
        QStringList out;
        for (const ShownMessage &m : messages)
            out << m.caption;
        return out;
    }
    // Messages that came unexpected, answers that did not fit, and queued answers never used.
    QStringList problems() const
    {
        QStringList out = m_problems;
        for (QMessageBox::StandardButton b : m_queue)
            out << QStringLiteral("answer %1 never asked for").arg(int(b));
        return out;
    }
    void clear()
    {
        messages.clear();
        m_problems.clear();
        m_queue.clear();
    }

    QList<ShownMessage> messages;

private:
    Rule m_rule;
    QList<QMessageBox::StandardButton> m_queue;
    QStringList m_problems;
    std::function<void(const ShownMessage &)> m_onShow;
    kve::ScopedNotifier m_scope;
};

// A rule: `button` where the message has it, otherwise OK.
inline FakeNotifier::Rule pressing(QMessageBox::StandardButton button)
{
    return [button](const kve::Message &m) { return m.buttons.testFlag(button) ? button : QMessageBox::Ok; };
}

} // namespace testing
