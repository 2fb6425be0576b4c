#pragma once

// Answers the modal windows of one command in the order they come: each watcher starts when
// the one before it has found its window and skips that window, so that the next window is
// never taken for the one still closing before it. Messages go to a testing::FakeNotifier.

#include "FakeNotifier.h"
#include "ModalHelper.h"

#include <QList>
#include <memory>

namespace testing {

using Turns = std::shared_ptr<QList<std::shared_ptr<ModalRecord>>>;

// An answer for the next modal window that inherits `kind`; another window (such as a
// progress window) is passed over.
struct Turn {
    const char *kind;
    Answer answer;
};

inline void answerNext(const Turns &turns, QList<Turn> turnsLeft, QWidget *previous)
{
    if (turnsLeft.isEmpty())
        return;
    const Turn first = turnsLeft.constFirst();
    turns->append(whenModal(
        [=](QWidget *w, ModalRecord &record) {
            if (!w->inherits(first.kind)) {
                record.answered = false;
                answerNext(turns, turnsLeft, w);
                return;
            }
            answerNext(turns, turnsLeft.mid(1), w);
            first.answer(w, record);
        },
        30000, previous));
}

// One record per window, filled as it comes; a record whose window never came stays
// unanswered.
inline Turns answerInTurn(const QList<Turn> &turnsLeft)
{
    auto turns = std::make_shared<QList<std::shared_ptr<ModalRecord>>>();
    answerNext(turns, turnsLeft, nullptr);
    return turns;
}

// What a record showed: the class of its window.
inline QString shown(const ModalRecord &record)
{
    return record.answered ? record.className : QStringLiteral("-");
}

inline QStringList shownInTurn(const Turns &turns)
{
    QStringList out;
    for (const auto &record : *turns)
        if (record->answered)
            out << shown(*record);
    return out;
}

// The windows answered in turn with the messages among them, in the order they came: each
// message follows the windows answered before it. Lives no longer than `messages`.
class ShownInTurn {
public:
    ShownInTurn(Turns turns, FakeNotifier &messages) : m_turns(std::move(turns))
    {
        messages.setOnShow([this](const ShownMessage &m) {
            catchUp();
            m_shown << m.shown();
        });
    }
    ShownInTurn(const ShownInTurn &) = delete;
    ShownInTurn &operator=(const ShownInTurn &) = delete;

    QStringList list()
    {
        catchUp();
        return m_shown;
    }

private:
    void catchUp()
    {
        const QStringList windows = shownInTurn(m_turns);
        m_shown += windows.mid(m_windowsSeen);
        m_windowsSeen = windows.size();
    }

    Turns m_turns;
    QStringList m_shown;
    qsizetype m_windowsSeen = 0;
};

} // namespace testing
