// A measurement choice of blanks only is not a number: nothing is calculated or written.
#include "FakeNotifier.h"
#include "TableFixture.h"
#include "analysis/AnalysisError.h"
#include "analysis/FrostHeaveCalculation.h"
#include "analysis/mas.h"

#include <QComboBox>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QtTest>

class CalculationEdgesTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void blankChoiceIsRefused_data();
    void blankChoiceIsRefused();
    void blankChoiceInDialogChangesNothing();

private:
    kve::MeasurementTable m_table;
};

void CalculationEdgesTest::init()
{
    QLocale::setDefault(QLocale(QLocale::Russian));
    createTable(m_table, QStringLiteral("blank"),
                {
                    {1, 2, "01.02.2024", "10:00:00", " 1,5"},
                    {2, 2, "01.02.2024", "11:00:00", "15,0", " 0,0", "старый класс"},
                    {1, 3, "01.02.2024", "10:00:00", " 9,0"},
                },
                2);
}

void CalculationEdgesTest::cleanup()
{
    m_table.close();
    QLocale::setDefault(QLocale::c());
}

void CalculationEdgesTest::blankChoiceIsRefused_data()
{
    QTest::addColumn<QString>("choice");
    QTest::newRow("one blank") << " ";
    QTest::newRow("three blanks") << "   ";
}

void CalculationEdgesTest::blankChoiceIsRefused()
{
    QFETCH(QString, choice);
    const QByteArray before = fileBytes(m_table);
    QString refusal;
    try {
        kve::calculateFrostHeave(m_table, 2, choice, QStringLiteral("150"));
    } catch (const kve::AnalysisError &error) {
        refusal = error.text();
    }
    QCOMPARE(refusal, QStringLiteral("\"") + choice + QStringLiteral("\" не является номером измерения."));
    QCOMPARE(fileBytes(m_table), before);
    QCOMPARE(m_table.filter(), QStringLiteral("EN_CH=2"));
    QVERIFY(m_table.filtered());
    QCOMPARE(m_table.recordCount(), 2);
    QCOMPARE(storedField(m_table, 2, 2, QStringLiteral("P_2")), QStringLiteral(" 0,0"));
    QCOMPARE(storedField(m_table, 2, 2, QStringLiteral("ST")), QStringLiteral("старый класс"));
}

void CalculationEdgesTest::blankChoiceInDialogChangesNothing()
{
    TForm7 dialog(m_table, [] { return 2; });
    dialog.show();
    QLineEdit *thickness = dialog.thicknessEdit();
    thickness->clear();
    thickness->setCursorPosition(0);
    QTest::keyClicks(thickness, QStringLiteral("150"));
    dialog.measurementBox()->setEditText(QStringLiteral("  "));
    const QByteArray before = fileBytes(m_table);
    testing::FakeNotifier boxes(testing::pressing(QMessageBox::Ok));
    QTest::mouseClick(dialog.calculateButton(), Qt::LeftButton);
    QCOMPARE(boxes.texts(), QStringList({QStringLiteral("\"  \" не является номером измерения.")}));
    QVERIFY(dialog.isVisible());
    QCOMPARE(fileBytes(m_table), before);
    QCOMPARE(storedField(m_table, 2, 2, QStringLiteral("P_2")), QStringLiteral(" 0,0"));
    QCOMPARE(m_table.filter(), QStringLiteral("EN_CH=2"));
    dialog.hide();
}

QTEST_MAIN(CalculationEdgesTest)
#include "tst_calculation_edges.moc"
