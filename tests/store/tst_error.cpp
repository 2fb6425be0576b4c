// The one error type and the edge every handler runs through: the operator sees the text
// alone, never the developer's cause; whatever escapes a handler ends there.

#include "store/Error.h"
#include "store/TableError.h"

#include <QtTest>
#include <new>

class ErrorTest : public QObject {
    Q_OBJECT

private slots:
    void textCauseAndWhat_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("cause");
        QTest::addColumn<QByteArray>("what");
        QTest::newRow("text alone") << QStringLiteral("Таблица не открыта") << QString() << QByteArray("Таблица не открыта");
        QTest::newRow("with cause") << QStringLiteral("Не удалось открыть файл «a.db»: Отказано в доступе")
                                    << QStringLiteral("DBFOpenLL, errno 13")
                                    << QByteArray("Не удалось открыть файл «a.db»: Отказано в доступе [DBFOpenLL, errno 13]");
    }

    void textCauseAndWhat()
    {
        QFETCH(QString, text);
        QFETCH(QString, cause);
        QFETCH(QByteArray, what);
        const kve::Error error(text, cause);
        QCOMPARE(error.text(), text);
        QCOMPARE(error.cause(), cause);
        QCOMPARE(QByteArray(error.what()), what);
    }

    void folderErrorIsTheOneError()
    {
        try {
            throw kve::TableError(QStringLiteral("Нет текущей строки"), QStringLiteral("row -1"));
        } catch (const kve::Error &e) {
            QCOMPARE(e.text(), QStringLiteral("Нет текущей строки"));
            QCOMPARE(e.cause(), QStringLiteral("row -1"));
            return;
        }
        QFAIL("a table error is not caught as the one error");
    }

    void edgeReportsTheOperatorText_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("reported");
        QTest::newRow("error with cause") << 0 << QStringLiteral("Не удалось записать файл «a.db»: Нет места");
        QTest::newRow("library error") << 1 << QStringLiteral("vector::reserve");
        QTest::newRow("out of memory") << 2 << QStringLiteral("std::bad_alloc");
        QTest::newRow("not an exception class") << 3 << QStringLiteral("Неизвестная ошибка");
    }

    void edgeReportsTheOperatorText()
    {
        QFETCH(int, kind);
        QFETCH(QString, reported);
        QStringList reports;
        bool after = false;
        // The developer's cause goes to the log, beside the text.
        if (kind == 0)
            QTest::ignoreMessage(QtWarningMsg, "Не удалось записать файл «a.db»: Нет места [errno 28]");
        const bool ranToEnd = kve::runGuarded(
            [&] {
                switch (kind) {
                case 0:
                    throw kve::TableError(QStringLiteral("Не удалось записать файл «a.db»: Нет места"), QStringLiteral("errno 28"));
                case 1:
                    throw std::length_error("vector::reserve");
                case 2:
                    throw std::bad_alloc();
                default:
                    throw 42;
                }
                after = true;
            },
            [&](const QString &text) { reports << text; });
        QVERIFY(!ranToEnd);
        QVERIFY(!after);
        QCOMPARE(reports, QStringList({reported}));
    }

    void edgeRunsHandlerToItsEnd()
    {
        int runs = 0;
        QStringList reports;
        QVERIFY(kve::runGuarded([&] { ++runs; }, [&](const QString &text) { reports << text; }));
        QCOMPARE(runs, 1);
        QCOMPARE(reports, QStringList());
    }
};

QTEST_GUILESS_MAIN(ErrorTest)
#include "tst_error.moc"
