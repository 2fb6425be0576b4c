// The two boxes every folder shows its errors in: a refusal under "Ошибка", and the
// application-wide error box under the application title, over the given window or else
// the active one.

#include "FakeNotifier.h"
#include "store/AppTitle.h"
#include "ui/ErrorBox.h"

#include <QMainWindow>
#include <QtTest>

class TestErrorBox : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { kve::setApplicationTitle(QStringLiteral("ЖОРД-ЗР7 - Серийный №37")); }

    void boxes()
    {
        QMainWindow active;
        active.show();
        QApplication::setActiveWindow(&active);
        QVERIFY(QTest::qWaitForWindowActive(&active, 30000));
        QWidget other;

        testing::FakeNotifier boxes(testing::pressing(QMessageBox::Ok));
        kve::showRefusal(&other, QStringLiteral("нельзя"));
        kve::showErrorBox(&other, QStringLiteral("сбой"));
        kve::showErrorBox(nullptr, QStringLiteral("сбой без окна"));

        QCOMPARE(boxes.shown(), QStringList({QStringLiteral("Ошибка|нельзя"), QStringLiteral("ЖОРД-ЗР7 - Серийный №37|сбой"),
                                             QStringLiteral("ЖОРД-ЗР7 - Серийный №37|сбой без окна")}));
        QCOMPARE(boxes.messages[0].parent.data(), &other);
        QCOMPARE(boxes.messages[1].parent.data(), &other);
        QCOMPARE(boxes.messages[2].parent.data(), static_cast<QWidget *>(&active));
        for (const testing::ShownMessage &m : boxes.messages) {
            QCOMPARE(m.icon, QMessageBox::Critical);
            QCOMPARE(m.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
            QCOMPARE(m.defaultButton, QMessageBox::Ok);
        }
        QCOMPARE(boxes.messages[0].objectName, QString());
        QCOMPARE(boxes.messages[1].objectName, QStringLiteral("ErrorBox"));
        QCOMPARE(boxes.messages[2].objectName, QStringLiteral("ErrorBox"));
        QCOMPARE(boxes.problems(), QStringList());
    }
};

QTEST_MAIN(TestErrorBox)
#include "tst_ErrorBox.moc"
