#pragma once

#include <QMessageBox>
#include <QString>

namespace kve {

// One message to the operator, as a message box shows it.
struct Message {
    Message(QMessageBox::Icon icon, const QString &caption, const QString &text, QWidget *parent)
        : icon(icon), caption(caption), text(text), parent(parent)
    {
    }
    // Asks Да or Нет instead of telling with OK.
    Message &yesNo()
    {
        buttons = QMessageBox::Yes | QMessageBox::No;
        return *this;
    }
    Message &preselect(QMessageBox::StandardButton button)
    {
        defaultButton = button;
        return *this;
    }
    Message &named(const QString &name)
    {
        objectName = name;
        return *this;
    }

    QMessageBox::Icon icon;
    QString caption;
    QString text;
    QWidget *parent;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;   // none: the box picks it
    QString objectName;   // the box's name where windows or tests look for it
};

// Shows a message and waits for the operator's answer.
class Notifier {
public:
    virtual ~Notifier() = default;
    // The button the operator chose.
    virtual QMessageBox::StandardButton show(const Message &message) = 0;
};

// The real one: a modal QMessageBox.
class BoxNotifier : public Notifier {
public:
    QMessageBox::StandardButton show(const Message &message) override;
};

// The notifier every message goes through. One process-wide seam, because messages come
// from deep inside commands whose callers have no window to hand one down through; tests
// put their own in its place with ScopedNotifier.
Notifier &notifier();

// Puts another notifier in place while it lives, then the previous one back.
class ScopedNotifier {
public:
    explicit ScopedNotifier(Notifier &replacement);
    ~ScopedNotifier();
    ScopedNotifier(const ScopedNotifier &) = delete;
    ScopedNotifier &operator=(const ScopedNotifier &) = delete;

private:
    Notifier *m_installed;
    Notifier *m_previous;
};

} // namespace kve
