#include "AppTestMain.h"
#include "app/HelpWindow.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QtTest>

#ifndef KVE_TEST_DATA_DIR
#error "KVE_TEST_DATA_DIR is defined by the build"
#endif

// The help window and the manual the program carries.
class HelpTest : public QObject {
    Q_OBJECT
private slots:
    void manualBesideProgramWins();
    void showsContentsOfManual();
    void missingManualIsToldInWindow();
    void manualTellsTheProgramsTexts_data();
    void manualTellsTheProgramsTexts();
    void manualNamesNoIndexFile();

private:
    static QString sourceManual()
    {
        return QDir::cleanPath(QStringLiteral(KVE_TEST_DATA_DIR "/../../../app/kve.html"));
    }
};

void HelpTest::manualBesideProgramWins()
{
    QTemporaryDir beside;
    QTemporaryDir installed;
    QVERIFY(QFile::copy(sourceManual(), installed.filePath(kve::kHelpFileName)));
    QCOMPARE(kve::findHelpFile({beside.path(), installed.path()}), installed.filePath(kve::kHelpFileName));
    QVERIFY(QFile::copy(sourceManual(), beside.filePath(kve::kHelpFileName)));
    QCOMPARE(kve::findHelpFile({beside.path(), installed.path()}), beside.filePath(kve::kHelpFileName));
    QCOMPARE(kve::findHelpFile({QStringLiteral("/nonexistent-kve")}), QString());
    QCOMPARE(kve::helpSearchDirs().first(), QCoreApplication::applicationDirPath());
}

void HelpTest::manualTellsTheProgramsTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("wrong instrument") << QStringLiteral("Вы подключили не тот прибор !");
    QTest::newRow("its caption") << QStringLiteral("«Error»");
    QTest::newRow("lost link") << QStringLiteral("Связь с прибором прервана");
    QTest::newRow("pdf") << QStringLiteral("«PDF-файл»");
    QTest::newRow("replace") << QStringLiteral("уже существует. Заменить его?");
    QTest::newRow("sort key") << QStringLiteral("F3");
    QTest::newRow("next series") << QStringLiteral("Ctrl+Tab");
}

void HelpTest::manualTellsTheProgramsTexts()
{
    QFETCH(QString, text);
    QFile manual(sourceManual());
    QVERIFY(manual.open(QIODevice::ReadOnly));
    // Line breaks of the source are blanks to the reader.
    const QString plain = QString::fromUtf8(manual.readAll()).simplified();
    QVERIFY2(plain.contains(text), qPrintable(text));
}

// The sort tags live in memory: no index file is written beside a table.
void HelpTest::manualNamesNoIndexFile()
{
    QFile manual(sourceManual());
    QVERIFY(manual.open(QIODevice::ReadOnly));
    QVERIFY(!QString::fromUtf8(manual.readAll()).contains(QStringLiteral(".mdx")));
}

void HelpTest::showsContentsOfManual()
{
    QTemporaryDir dir;
    QVERIFY(QFile::copy(sourceManual(), dir.filePath(kve::kHelpFileName)));
    HelpWindow *window = showHelpContents(nullptr, {dir.path()});
    QVERIFY(window->isVisible());
    QCOMPARE(window->manualPath(), dir.filePath(kve::kHelpFileName));
    QCOMPARE(window->statusText(), QString());
    const QString text = window->browser()->toPlainText();
    for (const char *word : {"Создать", "Открыть", "Экспорт в Excel", "Примечание", "Задать цвет", "COM2", "KVE.conf"})
        QVERIFY2(text.contains(QString::fromUtf8(word)), word);

    QStringList chapters;
    for (int i = 0; i < window->contents()->topLevelItemCount(); ++i)
        chapters << window->contents()->topLevelItem(i)->text(0);
    QVERIFY2(chapters.size() >= 6, qPrintable(chapters.join('|')));
    QVERIFY(chapters.contains(QStringLiteral("Подключение прибора")));
    QVERIFY(chapters.contains(QStringLiteral("Файлы и настройки")));

    // Choosing a chapter brings its heading into view.
    QTreeWidgetItem *last = window->contents()->topLevelItem(window->contents()->topLevelItemCount() - 1);
    window->contents()->setCurrentItem(last);
    emit window->contents()->itemActivated(last, 0);
    QCOMPARE(window->browser()->textCursor().block().text(), last->text(0));

    // A second "Помощь" reuses the window.
    QCOMPARE(showHelpContents(nullptr, {dir.path()}), window);
    window->close();
}

void HelpTest::missingManualIsToldInWindow()
{
    QTemporaryDir empty;
    HelpWindow *window = showHelpContents(nullptr, {empty.path()});
    QVERIFY(window->isVisible());
    QVERIFY(window->manualPath().isEmpty());
    QVERIFY(window->statusText().contains(QStringLiteral("kve.html")));
    QVERIFY(window->statusText().contains(QStringLiteral("не найден")));
    QCOMPARE(window->contents()->topLevelItemCount(), 0);
    window->close();
}

int main(int argc, char *argv[])
{
    kve::KveApplication app(argc, argv);
    HelpTest test;
    return runUnderProgramApplication(app, test, argc, argv);
}

#include "tst_about_help.moc"
