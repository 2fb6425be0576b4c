// Every control of every window carries its visible text as its accessible name, and every
// control without a visible text still has a name, so that screen readers can tell them.
#include "AppTestMain.h"
#include "app/KveApplication.h"
#include "app/ProgramWindows.h"
#include "app/about.h"
#include "app/main.h"

#include "analysis/graf.h"
#include "analysis/mas.h"
#include "analysis/param_graf.h"
#include "device/receive.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QTabBar>
#include <QtTest>

namespace {

QString accessibleName(QObject *object)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(object);
    return iface ? iface->text(QAccessible::Name) : QString();
}

QString plain(QString text)
{
    text.remove('&');
    return text.trimmed();
}

// Problems found in one window, one line each.
QStringList problemsOf(QWidget *window)
{
    QStringList problems;
    const auto where = [](QWidget *w) {
        return QStringLiteral("%1 \"%2\"").arg(QString::fromLatin1(w->metaObject()->className()), w->objectName());
    };
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (w->window() != window || !w->isVisibleTo(window))
            continue;
        if (auto *button = qobject_cast<QAbstractButton *>(w)) {
            const QString visible = plain(button->text());
            const QString name = plain(accessibleName(button));
            if (name.isEmpty() || (!visible.isEmpty() && name != visible))
                problems << QStringLiteral("%1: name \"%2\", text \"%3\"").arg(where(w), name, visible);
        } else if (auto *label = qobject_cast<QLabel *>(w)) {
            if (!label->text().isEmpty() && plain(accessibleName(label)).isEmpty())
                problems << QStringLiteral("%1: label without a name").arg(where(w));
        } else if (qobject_cast<QLineEdit *>(w) || qobject_cast<QComboBox *>(w) || qobject_cast<QProgressBar *>(w) ||
                   qobject_cast<QAbstractItemView *>(w)) {
            if (qobject_cast<QLineEdit *>(w) && qobject_cast<QComboBox *>(w->parentWidget()))
                continue;   // the edit field of a combo box speaks through the box
            if (plain(accessibleName(w)).isEmpty())
                problems << QStringLiteral("%1: no name").arg(where(w));
        } else if (auto *group = qobject_cast<QGroupBox *>(w)) {
            if (plain(accessibleName(group)) != plain(group->title()))
                problems << QStringLiteral("%1: name \"%2\", title \"%3\"").arg(where(w), accessibleName(group), group->title());
        }
    }
    return problems;
}

} // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void everyWindowNamesItsControls()
    {
        kve::ProgramWindows windows;
        const QList<QWidget *> all{windows.form1.get(), windows.form2.get(), windows.form3.get(), windows.form4.get(),
                                   windows.form6.get(), windows.form7.get()};
        QStringList problems;
        for (QWidget *w : all) {
            w->show();
            QCoreApplication::processEvents();
            problems << problemsOf(w);
            w->hide();
        }
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    }

    void menuCommandsAreNamedByTheirCaptions()
    {
        kve::ProgramWindows windows;
        QStringList problems;
        for (QMenu *menu : windows.form1->findChildren<QMenu *>()) {
            for (QAction *action : menu->actions()) {
                if (action->isSeparator() || !action->isVisible())
                    continue;
                QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(menu);
                bool found = false;
                for (int i = 0; iface && i < iface->childCount(); ++i) {
                    if (plain(iface->child(i)->text(QAccessible::Name)) == plain(action->text()))
                        found = true;
                }
                if (!found)
                    problems << action->text();
            }
        }
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    }

    void seriesTabsAreNamed()
    {
        kve::ProgramWindows windows;
        QTabBar *bar = windows.form1->pageControl()->findChild<QTabBar *>();
        QVERIFY(bar);
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(bar);
        QVERIFY(iface);
        QStringList names;
        for (int i = 0; i < iface->childCount(); ++i)
            names << iface->child(i)->text(QAccessible::Name);
        for (int n = 1; n <= 16; ++n)
            QVERIFY2(names.contains(QStringLiteral("Серия №%1").arg(n)), qPrintable(names.join(", ")));
    }
};

int main(int argc, char *argv[])
{
    kve::KveApplication app(argc, argv);
    AccessibilityTest test;
    return runUnderProgramApplication(app, test, argc, argv);
}

#include "tst_accessibility.moc"
