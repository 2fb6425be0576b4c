#pragma once

#include "AnalysisError.h"
#include "ui/ErrorBox.h"

#include <utility>

namespace kve {

// The edge of an analysis window's handler. A refusal the operator can put right (an
// AnalysisError) goes to the refusal box when `refusals` is set; every other error, and a
// refusal otherwise, goes to the error box. True when the handler ran to its end.
template <typename F>
bool runAnalysisStep(QWidget *window, F &&step, bool refusals = false)
{
    bool refused = false;
    return runGuarded(
        [&] {
            try {
                std::forward<F>(step)();
            } catch (const AnalysisError &) {
                refused = refusals;
                throw;
            }
        },
        [&](const QString &text) {
            if (refused)
                showRefusal(window, text);
            else
                showErrorBox(window, text);
        });
}

} // namespace kve
