// What the operator reads at start-up about a "Создать" that a killed copy left unfinished
// while writing over an old file: the old file is back, or where its contents are kept.

#include "AppTestMain.h"
#include "FakeNotifier.h"
#include "app/InterruptedCreate.h"
#include "app/KveApplication.h"

#include <QtTest>

class InterruptedCreateTest : public QObject {
    Q_OBJECT

private slots:
    void operatorIsTold_data()
    {
        QTest::addColumn<QString>("keptCopy");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QString>("text");
        QTest::newRow("put back") << QString() << int(QMessageBox::Information)
                                  << QStringLiteral("Создание таблицы «/data/замер.db» было прервано. Прежний файл восстановлен.");
        QTest::newRow("kept") << QStringLiteral("/home/op/.local/share/Dorvatek/KVE/kept/замер-20260301-101500.db")
                              << int(QMessageBox::Warning)
                              << QStringLiteral("Создание таблицы «/data/замер.db» было прервано. Прежнее содержимое файла сохранено в "
                                                "«/home/op/.local/share/Dorvatek/KVE/kept/замер-20260301-101500.db».");
    }

    void operatorIsTold()
    {
        QFETCH(QString, keptCopy);
        QFETCH(int, icon);
        QFETCH(QString, text);
        testing::FakeNotifier boxes(testing::pressing(QMessageBox::Ok));
        kve::tellInterruptedCreates({{QStringLiteral("/data/замер.db"), keptCopy}}, nullptr);
        QCOMPARE(boxes.messages.size(), 1);
        QCOMPARE(boxes.messages[0].caption, QStringLiteral("Ошибка"));
        QCOMPARE(int(boxes.messages[0].icon), icon);
        QCOMPARE(boxes.messages[0].text, text);
        QCOMPARE(boxes.messages[0].objectName, QStringLiteral("InterruptedCreateBox"));
    }

    // Nothing left over: no box at all.
    void nothingLeftTellsNothing()
    {
        testing::FakeNotifier boxes;
        kve::recoverInterruptedCreates(nullptr);
        QCOMPARE(boxes.messages.size(), 0);
    }
};

int main(int argc, char *argv[])
{
    kve::KveApplication app(argc, argv);
    InterruptedCreateTest test;
    return runUnderProgramApplication(app, test, argc, argv);
}

#include "tst_interrupted_create.moc"
