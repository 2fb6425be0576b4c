#pragma once

#include <algorithm>
#include <utility>
#include <vector>

namespace kve {

// Which of the main window's commands are running. The windows are modal, so the operator
// never starts one command inside another; an accessibility action, though, triggers a menu
// item or toolbar button even while a dialog is open. A command entered again inside its
// own dialog would pull that dialog from under itself, and a file command inside any other
// command would close the table under it. So: no command starts while it runs, and a file
// command runs alone.
template <typename Key>
class CommandGate {
public:
    bool mayStart(const Key &command, bool fileCommand) const
    {
        if (m_fileCommandRunning)
            return false;
        if (fileCommand && !m_running.empty())
            return false;
        return std::find(m_running.begin(), m_running.end(), command) == m_running.end();
    }

    // True while any command runs.
    bool busy() const { return !m_running.empty(); }

    // Runs `handler` as `command` when it may start now; false when it was refused.
    template <typename F>
    bool run(const Key &command, bool fileCommand, F &&handler)
    {
        if (!mayStart(command, fileCommand))
            return false;
        m_running.push_back(command);
        if (fileCommand)
            m_fileCommandRunning = true;
        const Leave leave{*this, command, fileCommand};
        std::forward<F>(handler)();
        return true;
    }

private:
    struct Leave {
        CommandGate &gate;
        Key command;
        bool fileCommand;
        ~Leave()
        {
            auto &running = gate.m_running;
            running.erase(std::find(running.begin(), running.end(), command));
            if (fileCommand)
                gate.m_fileCommandRunning = false;
        }
    };

    std::vector<Key> m_running;
    bool m_fileCommandRunning = false;
};

} // namespace kve
