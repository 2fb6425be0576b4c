#include "output/PrintPageOrder.h"

#include <QtTest>

using kve::report::PrintChoice;
using kve::report::PrintPageOrder;
using Pages = std::vector<int>;

Q_DECLARE_METATYPE(Pages)

namespace {

// "1 3 4" style for readable failures; 1-based like the operator's numbers.
QString shown(const Pages &pages)
{
    QStringList out;
    for (int p : pages)
        out << QString::number(p + 1);
    return out.join(u' ');
}

} // namespace

class TestPrintPageOrder : public QObject {
    Q_OBJECT

private slots:
    void parseList_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("pageCount");
        QTest::addColumn<QString>("pages");   // 1-based, blank-separated; empty: refused
        QTest::addColumn<QString>("errorPart");

        QTest::newRow("the example") << "1,3,5-12" << 20 << "1 3 5 6 7 8 9 10 11 12" << "";
        QTest::newRow("single page") << "2" << 4 << "2" << "";
        QTest::newRow("blanks around items") << " 1 , 3 - 4 " << 4 << "1 3 4" << "";
        QTest::newRow("ascending, each once") << "4,1-2,2,1" << 4 << "1 2 4" << "";
        QTest::newRow("range past the end is cut") << "3-99" << 4 << "3 4" << "";
        QTest::newRow("page past the end dropped") << "1,9" << 4 << "1" << "";
        QTest::newRow("huge number is past the end") << "2,99999999999999999999" << 4 << "2" << "";
        QTest::newRow("one-page range") << "3-3" << 4 << "3" << "";
        QTest::newRow("only past the end") << "5" << 4 << "" << "всего в нём страниц: 4";
        QTest::newRow("range past the end only") << "7-9" << 4 << "" << "нет страниц";
        QTest::newRow("empty") << "" << 4 << "" << "Укажите";
        QTest::newRow("blanks") << "   " << 4 << "" << "Укажите";
        QTest::newRow("letters") << "abc" << 4 << "" << "\"abc\"";
        QTest::newRow("zero") << "0" << 4 << "" << "Не удаётся";
        QTest::newRow("reversed range") << "5-3" << 9 << "" << "\"5-3\"";
        QTest::newRow("open range") << "3-" << 9 << "" << "\"3-\"";
        QTest::newRow("negative") << "-2" << 9 << "" << "\"-2\"";
        QTest::newRow("empty item") << "1,,3" << 9 << "" << "Не удаётся";
        QTest::newRow("trailing comma") << "1,3," << 9 << "" << "Не удаётся";
        QTest::newRow("two dashes") << "1-2-3" << 9 << "" << "\"1-2-3\"";
        QTest::newRow("blank inside a number") << "1 2" << 20 << "" << "\"1 2\"";
        QTest::newRow("semicolon") << "1;3" << 9 << "" << "\"1;3\"";
        QTest::newRow("bad item after good ones") << "1,2,x" << 9 << "" << "\"x\"";
        QTest::newRow("sign") << "+2" << 9 << "" << "Не удаётся";
    }

    void parseList()
    {
        QFETCH(QString, list);
        QFETCH(int, pageCount);
        QFETCH(QString, pages);
        QFETCH(QString, errorPart);
        QString error;
        const auto got = PrintPageOrder::parseList(list, pageCount, &error);
        if (pages.isEmpty()) {
            QVERIFY2(!got, qPrintable(shown(got.value_or(Pages{}))));
            QVERIFY2(error.contains(errorPart), qPrintable(error));
        } else {
            QVERIFY2(got, qPrintable(error));
            QCOMPARE(shown(*got), pages);
        }
    }

    void chosenPages_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("currentPage");
        QTest::addColumn<int>("pageCount");
        QTest::addColumn<QString>("pages");

        const int all = int(PrintChoice::Pages::All), current = int(PrintChoice::Pages::Current),
                  listed = int(PrintChoice::Pages::List);
        QTest::newRow("all") << all << "2" << 1 << 3 << "1 2 3";
        QTest::newRow("all ignores a bad list") << all << "x" << -1 << 2 << "1 2";
        QTest::newRow("current") << current << "" << 2 << 4 << "3";
        QTest::newRow("no current page without preview") << current << "" << -1 << 4 << "";
        QTest::newRow("current past the end") << current << "" << 4 << 4 << "";
        QTest::newRow("list") << listed << "1,3" << 0 << 4 << "1 3";
        QTest::newRow("bad list") << listed << "1,x" << 0 << 4 << "";
        QTest::newRow("all of no pages") << all << "" << -1 << 0 << "";
    }

    void chosenPages()
    {
        QFETCH(int, kind);
        QFETCH(QString, list);
        QFETCH(int, currentPage);
        QFETCH(int, pageCount);
        QFETCH(QString, pages);
        PrintChoice c;
        c.pages = PrintChoice::Pages(kind);
        c.list = list;
        c.currentPage = currentPage;
        QString error;
        const auto got = PrintPageOrder::chosenPages(c, pageCount, &error);
        if (pages.isEmpty()) {
            QVERIFY(!got);
            QVERIFY(!error.isEmpty());
        } else {
            QVERIFY2(got, qPrintable(error));
            QCOMPARE(shown(*got), pages);
        }
    }

    void sequence_data()
    {
        QTest::addColumn<Pages>("pages");
        QTest::addColumn<int>("copies");
        QTest::addColumn<bool>("collate");
        QTest::addColumn<QString>("sheets");

        QTest::newRow("one copy") << Pages{0, 2} << 1 << true << "1 3";
        QTest::newRow("one copy, not collated") << Pages{0, 2} << 1 << false << "1 3";
        QTest::newRow("collated") << Pages{0, 2, 4} << 2 << true << "1 3 5 1 3 5";
        QTest::newRow("not collated") << Pages{0, 2, 4} << 2 << false << "1 1 3 3 5 5";
        QTest::newRow("one page, three copies") << Pages{1} << 3 << true << "2 2 2";
        QTest::newRow("copies below one print once") << Pages{0, 1} << 0 << true << "1 2";
        QTest::newRow("nothing") << Pages{} << 3 << true << "";
    }

    void sequence()
    {
        QFETCH(Pages, pages);
        QFETCH(int, copies);
        QFETCH(bool, collate);
        QFETCH(QString, sheets);
        QCOMPARE(shown(PrintPageOrder::sequence(pages, copies, collate)), sheets);
    }

    void printOrderCombinesChoiceAndCopies()
    {
        PrintChoice c;
        c.pages = PrintChoice::Pages::List;
        c.list = QStringLiteral("3,1");
        c.copies = 2;
        c.collate = false;
        const auto got = PrintPageOrder::printOrder(c, 4);
        QVERIFY(got);
        QCOMPARE(shown(*got), QStringLiteral("1 1 3 3"));
        c.list = QStringLiteral("8");
        QVERIFY(!PrintPageOrder::printOrder(c, 4));
    }
};

QTEST_APPLESS_MAIN(TestPrintPageOrder)
#include "tst_PrintPageOrder.moc"
