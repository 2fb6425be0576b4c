#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

class QLabel;
class QTextBrowser;
class QTreeWidget;
class QTreeWidgetItem;

namespace kve {

inline const QString kHelpFileName = QStringLiteral("kve.html");

// Where the manual is looked for: beside the program, then the installed copy.
QStringList helpSearchDirs();
// The first "kve.html" in the folders; empty when there is none.
QString findHelpFile(const QStringList &dirs);

} // namespace kve

// The program's help window: the contents of the manual on the left, the text on the right.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget *parent = nullptr);

    // Shows the manual found in the folders and its contents; a missing manual is told in
    // the window itself. False when none was found.
    bool showContents(const QStringList &dirs);

    QString manualPath() const { return m_path; }
    QString statusText() const;
    QTextBrowser *browser() const { return m_browser; }
    QTreeWidget *contents() const { return m_contents; }

private:
    void buildContents();
    void goTo(QTreeWidgetItem *item);

    QString m_path;
    QTreeWidget *m_contents;
    QTextBrowser *m_browser;
    QLabel *m_status;
};

// "Помощь": opens the help window on the contents of the manual (one window for the run).
void showHelpContents(QWidget *parent);
// The same with the folders to look in; returns the window shown.
HelpWindow *showHelpContents(QWidget *parent, const QStringList &dirs);
