#pragma once

// Answers the modal windows of one command in the order they come: each watcher starts when
// the one before it has found its window and skips that window, so that a question box is
// never taken for the file dialog still closing before it.

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

// Presses a message box button.
inline Turn pressButton(QMessageBox::StandardButton button)
{
    const auto act = press(button);
    return {"QMessageBox", [act](QWidget *w, ModalRecord &) { act(w); }};
}

// What a record showed: the class for a dialog, "title|text" for a message box.
inline QString shown(const ModalRecord &record)
{
    if (!record.answered)
        return QStringLiteral("-");
    if (record.className == QLatin1String("QMessageBox"))
        return record.title + QLatin1Char('|') + record.text;
    return record.className;
}

inline QStringList shownInTurn(const Turns &turns)
{
    QStringList out;
    for (const auto &record : *turns)
        if (record->answered)
            out << shown(*record);
    return out;
}

} // namespace testing
