#include "FakeNotifier.h"
#include "TableFixture.h"
#include "analysis/mas.h"
#include "store/NumberText.h"

#include <QComboBox>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QtTest>

// The calculation dialog against a real table file: series 2 holds N 1..4, series 1 and 3
// one row each.
class FrostHeaveDialogTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void listIsRefilledAtEveryShowing();
    void descendingNumbersGiveEmptyList();
    void chosenMeasurementIsCalculated_data();
    void chosenMeasurementIsCalculated();
    void emptyChoiceTakesLastRowInCurrentOrder();
    void depthAbove150IsZeroForRepeat();
    void refusalsChangeNothing_data();
    void refusalsChangeNothing();
    void emptySeriesRefuses();
    void thicknessSurvivesShowings();

private:
    void typeThickness(const QString &digits);
    QString reread(int series, int n, const QString &field);

    kve::MeasurementTable m_table;
    int m_series = 2;
    std::unique_ptr<TForm7> m_dialog;
};

void FrostHeaveDialogTest::init()
{
    QLocale::setDefault(QLocale(QLocale::Russian));
    m_series = 2;
    createTable(m_table, QStringLiteral("heave"),
                {
                    {1, 1, "01.02.2024", "10:00:00", " 9,0"},
                    {1, 2, "01.02.2024", "10:00:00", " 1,5"},
                    {2, 2, "01.02.2024", "11:00:00", "15,0"},
                    {3, 2, "01.02.2024", "12:00:00", " 5,0", " 0,0", "старый класс"},
                    {4, 2, "01.02.2024", "13:00:00", " 0,0"},
                    {1, 3, "01.02.2024", "10:00:00", "abc"},
                },
                m_series);
    m_dialog = std::make_unique<TForm7>(m_table, [this] { return m_series; });
}

void FrostHeaveDialogTest::cleanup()
{
    m_dialog.reset();
    m_table.close();
    QLocale::setDefault(QLocale::c());
}

void FrostHeaveDialogTest::typeThickness(const QString &digits)
{
    QLineEdit *edit = m_dialog->thicknessEdit();
    edit->clear();
    edit->setCursorPosition(0);
    QTest::keyClicks(edit, digits);
}

QString FrostHeaveDialogTest::reread(int series, int n, const QString &field)
{
    // What is on disk, not what the object holds.
    kve::MeasurementTable fresh;
    const QString path = m_table.filePath();
    m_table.close();
    fresh.setFilePath(path);
    fresh.open();
    fresh.setFilter(QStringLiteral("N=%1 AND EN_CH=%2").arg(n).arg(series));
    fresh.setFiltered(true);
    fresh.refresh();
    fresh.first();
    const QString text = fresh.eof() ? QStringLiteral("<no row>") : fresh.fieldText(field);
    fresh.close();
    m_table.open();
    return text;
}

void FrostHeaveDialogTest::listIsRefilledAtEveryShowing()
{
    m_dialog->show();
    QCOMPARE(m_dialog->measurementBox()->count(), 4);
    QCOMPARE(m_dialog->measurementBox()->itemText(0), QStringLiteral("1"));
    QCOMPARE(m_dialog->measurementBox()->itemText(3), QStringLiteral("4"));
    QCOMPARE(m_dialog->measurementBox()->currentText(), QString());
    m_dialog->hide();

    m_series = 1;
    m_table.setFilter(QStringLiteral("EN_CH=1"));
    m_table.refresh();
    m_dialog->show();
    QCOMPARE(m_dialog->measurementBox()->count(), 1);
    QCOMPARE(m_dialog->measurementBox()->itemText(0), QStringLiteral("1"));
}

void FrostHeaveDialogTest::descendingNumbersGiveEmptyList()
{
    m_table.addTag(QStringLiteral("tab2"), QStringLiteral("N"), true);
    m_table.setActiveTag(QStringLiteral("tab2"));
    m_table.refresh();
    m_dialog->show();
    QCOMPARE(m_dialog->measurementBox()->count(), 0);
}

void FrostHeaveDialogTest::chosenMeasurementIsCalculated_data()
{
    QTest::addColumn<QString>("choice");
    QTest::addColumn<QString>("thickness");
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("p2");
    QTest::addColumn<QString>("st");
    QTest::addColumn<QString>("d");
    QTest::newRow("1,5/150") << "1" << "150" << 1 << "0,01" << "Слабопучинистый" << "150";
    QTest::newRow("15,0/150") << "2" << "150" << 2 << "0,1" << "Чрезмерно пучинистый" << "150";
    QTest::newRow("5,0/150") << "3" << "150" << 3 << "0,0333" << "Слабопучинистый" << "150";
    QTest::newRow("0,0 repeat") << "4" << "80" << 4 << "-" << "Повторите испытание" << "80";
    QTest::newRow("choice with blanks") << " 3 " << " 50" << 3 << "0,1" << "Чрезмерно пучинистый" << "50";
}

void FrostHeaveDialogTest::chosenMeasurementIsCalculated()
{
    QFETCH(QString, choice);
    QFETCH(QString, thickness);
    QFETCH(int, n);
    QFETCH(QString, p2);
    QFETCH(QString, st);
    QFETCH(QString, d);

    const QString otherP2 = reread(2, n == 1 ? 2 : 1, QStringLiteral("P_2"));
    m_dialog->show();
    m_dialog->measurementBox()->setEditText(choice);
    typeThickness(thickness.trimmed());
    QCOMPARE(m_dialog->thicknessText().trimmed(), thickness.trimmed());
    testing::FakeNotifier boxes(testing::pressing(QMessageBox::Ok));
    QTest::mouseClick(m_dialog->calculateButton(), Qt::LeftButton);
    QVERIFY2(boxes.texts().isEmpty(), qPrintable(boxes.texts().join('\n')));
    QCOMPARE(m_dialog->result(), int(QDialog::Accepted));
    QVERIFY(!m_dialog->isVisible());

    // The grid shows the whole series again, cursor on its first row.
    QCOMPARE(m_table.filter(), QStringLiteral("EN_CH=2"));
    QVERIFY(m_table.filtered());
    QCOMPARE(m_table.recordCount(), 4);
    QCOMPARE(m_table.recNo(), 0);
    QCOMPARE(m_table.state(), kve::MeasurementTable::State::Browse);

    QCOMPARE(reread(2, n, QStringLiteral("P_2")), p2);
    QCOMPARE(reread(2, n, QStringLiteral("ST")), st);
    QCOMPARE(reread(2, n, QStringLiteral("D")), d);
    QCOMPARE(reread(2, n == 1 ? 2 : 1, QStringLiteral("P_2")), otherP2);
    QCOMPARE(reread(1, 1, QStringLiteral("ST")), QString());
}

void FrostHeaveDialogTest::emptyChoiceTakesLastRowInCurrentOrder()
{
    // Sorted by P_1 descending, the last row of the series is N=4 (0,0); by N ascending it
    // would be N=4 as well, so sort by P_1 ascending: the last row is N=2 (15,0).
    m_table.addTag(QStringLiteral("tab2"), QStringLiteral("P_1"), false);
    m_table.setActiveTag(QStringLiteral("tab2"));
    m_table.refresh();
    m_dialog->show();
    m_dialog->measurementBox()->setEditText(QString());
    typeThickness(QStringLiteral("100"));
    testing::FakeNotifier boxes(testing::pressing(QMessageBox::Ok));
    m_dialog->Button1Click();
    QVERIFY(boxes.texts().isEmpty());
    QCOMPARE(reread(2, 2, QStringLiteral("P_2")), QStringLiteral("0,15"));
    QCOMPARE(reread(2, 4, QStringLiteral("P_2")), QStringLiteral(" 0,0"));
}

void FrostHeaveDialogTest::depthAbove150IsZeroForRepeat()
{
    m_dialog->show();
    m_dialog->measurementBox()->setEditText(QStringLiteral("4"));
    typeThickness(QStringLiteral("151"));
    testing::FakeNotifier boxes(testing::pressing(QMessageBox::Ok));
    m_dialog->Button1Click();
    QVERIFY(boxes.texts().isEmpty());
    QCOMPARE(reread(2, 4, QStringLiteral("P_2")), QStringLiteral("-"));
    QCOMPARE(reread(2, 4, QStringLiteral("D")), QStringLiteral("0"));
    QCOMPARE(reread(2, 4, QStringLiteral("ST")), QStringLiteral("Повторите испытание"));
}

void FrostHeaveDialogTest::refusalsChangeNothing_data()
{
    QTest::addColumn<int>("series");
    QTest::addColumn<QString>("choice");
    QTest::addColumn<QString>("thickness");
    QTest::addColumn<QString>("text");
    const QString noDepth = QStringLiteral("Толщина промерзания D должна быть от 1 до 150 мм: при D = 0 є fh не определена.");
    QTest::newRow("number not in the series") << 2 << "99" << "150" << "В серии №2 нет измерения 99.";
    QTest::newRow("number of another series only") << 1 << "3" << "150" << "В серии №1 нет измерения 3.";
    QTest::newRow("not a number") << 2 << "abc" << "150" << "\"abc\" не является номером измерения.";
    QTest::newRow("expression typed") << 2 << "1 AND EN_CH=1" << "150"
                                      << "\"1 AND EN_CH=1\" не является номером измерения.";
    QTest::newRow("thickness blanks") << 2 << "3" << "" << "\"   \" не является правильным числом";
    QTest::newRow("thickness 0 with heave") << 2 << "3" << "0" << noDepth;
    QTest::newRow("thickness 151 with heave") << 2 << "3" << "151" << noDepth;
    QTest::newRow("P_1 not a number") << 3 << "1" << "150" << "\"abc\" не является правильным числом";
}

void FrostHeaveDialogTest::refusalsChangeNothing()
{
    QFETCH(int, series);
    QFETCH(QString, choice);
    QFETCH(QString, thickness);
    QFETCH(QString, text);
    m_series = series;
    m_table.setFilter(QStringLiteral("EN_CH=%1").arg(series));
    m_table.refresh();
    const int rows = m_table.recordCount();
    const QByteArray before = fileBytes(m_table);

    m_dialog->show();
    m_dialog->measurementBox()->setEditText(choice);
    typeThickness(thickness);
    testing::FakeNotifier boxes(testing::pressing(QMessageBox::Ok));
    m_dialog->Button1Click();

    QCOMPARE(boxes.texts(), QStringList({text}));
    QCOMPARE(boxes.captions(), QStringList({QStringLiteral("Ошибка")}));
    QVERIFY(m_dialog->isVisible());   // the operator may put it right
    QCOMPARE(fileBytes(m_table), before);
    QCOMPARE(m_table.state(), kve::MeasurementTable::State::Browse);
    QCOMPARE(m_table.filter(), QStringLiteral("EN_CH=%1").arg(series));
    QVERIFY(m_table.filtered());
    QCOMPARE(m_table.recordCount(), rows);
}

void FrostHeaveDialogTest::emptySeriesRefuses()
{
    m_series = 5;
    m_table.setFilter(QStringLiteral("EN_CH=5"));
    m_table.refresh();
    const QByteArray before = fileBytes(m_table);
    m_dialog->show();
    QCOMPARE(m_dialog->measurementBox()->count(), 0);
    typeThickness(QStringLiteral("100"));
    testing::FakeNotifier boxes(testing::pressing(QMessageBox::Ok));
    m_dialog->Button1Click();
    QCOMPARE(boxes.texts(), QStringList({QStringLiteral("В серии №5 нет измерений.")}));
    QCOMPARE(boxes.captions(), QStringList({QStringLiteral("Ошибка")}));
    QCOMPARE(fileBytes(m_table), before);
    QCOMPARE(m_table.filter(), QStringLiteral("EN_CH=5"));
}

void FrostHeaveDialogTest::thicknessSurvivesShowings()
{
    QCOMPARE(m_dialog->thicknessText(), QStringLiteral("   "));
    m_dialog->show();
    typeThickness(QStringLiteral("12"));
    m_dialog->hide();
    m_dialog->show();
    QCOMPARE(m_dialog->thicknessText(), QStringLiteral("12 "));
    // Letters, signs and separators cannot be typed.
    typeThickness(QStringLiteral("-1,a5"));
    QCOMPARE(m_dialog->thicknessText().trimmed(), QStringLiteral("15"));
}

QTEST_MAIN(FrostHeaveDialogTest)
#include "tst_frostheavedialog.moc"
