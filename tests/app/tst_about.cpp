#include "AppTestMain.h"
#include "app/about.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

// The about box and the version layer it reads.
class AboutTest : public QObject {
    Q_OBJECT
private slots:
    void programBlock();
    void versionLine_data();
    void versionLine();
    void boxShownTwice();
    void boxRebuildsLineAtEveryShowing();
    void boxLayout();
};

void AboutTest::programBlock()
{
    const kve::VersionResource resource = kve::programVersionResource();
    QCOMPARE(resource.translation, QByteArray("\x19\x04\xE3\x04", 4));
    QCOMPARE(kve::translationKey(resource), QStringLiteral("041904E3"));
    QCOMPARE(kve::versionLine(resource), QStringLiteral("Версия 1.0.0.13"));
}

void AboutTest::versionLine_data()
{
    QTest::addColumn<QByteArray>("translation");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("line");

    const QString ru = QStringLiteral("\\StringFileInfo\\041904E3\\FileVersion");
    QTest::newRow("own") << QByteArray("\x19\x04\xE3\x04", 4) << ru << "1.0.0.13" << "Версия 1.0.0.13";
    QTest::newRow("no translation") << QByteArray() << ru << "1.0.0.13" << "Версия 0.0.0.0";
    QTest::newRow("translation shorter than an entry") << QByteArray("\x19\x04\xE3", 3) << ru << "1.0.0.13"
                                                       << "Версия 0.0.0.0";
    QTest::newRow("string missing") << QByteArray("\x19\x04\xE3\x04", 4)
                                    << "\\StringFileInfo\\041904E3\\ProductVersion" << "1.0.0.13"
                                    << "Версия 0.0.0.0";
    QTest::newRow("string empty") << QByteArray("\x19\x04\xE3\x04", 4) << ru << "" << "Версия 0.0.0.0";
    QTest::newRow("other language") << QByteArray("\x09\x04\xB0\x04", 4)
                                    << "\\StringFileInfo\\040904B0\\FileVersion" << "2.3.4.5" << "Версия 2.3.4.5";
    QTest::newRow("first entry counts") << QByteArray("\x09\x04\xB0\x04\x19\x04\xE3\x04", 8) << ru << "1.0.0.13"
                                        << "Версия 0.0.0.0";
}

void AboutTest::versionLine()
{
    QFETCH(QByteArray, translation);
    QFETCH(QString, path);
    QFETCH(QString, value);
    QFETCH(QString, line);
    kve::VersionResource resource;
    resource.translation = translation;
    resource.strings[path] = value;
    QCOMPARE(kve::versionLine(resource), line);
}

void AboutTest::boxShownTwice()
{
    Tform6 box;
    QCOMPARE(box.versionText(), QStringLiteral("Версия 1.0"));
    for (int i = 0; i < 2; ++i) {
        QTimer::singleShot(0, &box, [&box] {
            QTest::mouseClick(box.okButton(), Qt::LeftButton);
        });
        QCOMPARE(box.exec(), int(QDialog::Accepted));
        QCOMPARE(box.versionText(), QStringLiteral("Версия 1.0.0.13"));
    }
}

void AboutTest::boxRebuildsLineAtEveryShowing()
{
    Tform6 box;
    int reads = 0;
    box.setVersionSource([&reads] {
        ++reads;
        kve::VersionResource resource = kve::programVersionResource();
        if (reads == 2)
            resource.translation.clear();
        return resource;
    });
    box.show();
    QCOMPARE(box.versionText(), QStringLiteral("Версия 1.0.0.13"));
    box.hide();
    box.show();
    QCOMPARE(box.versionText(), QStringLiteral("Версия 0.0.0.0"));
    box.hide();
    box.show();
    QCOMPARE(box.versionText(), QStringLiteral("Версия 1.0.0.13"));
    QCOMPARE(reads, 3);
}

void AboutTest::boxLayout()
{
    Tform6 box;
    QCOMPARE(box.windowTitle(), QStringLiteral("О программе"));
    QCOMPARE(box.size(), QSize(515, 151));
    QCOMPARE(box.okButton()->text(), QStringLiteral("Ок"));
    QCOMPARE(box.okButton()->size(), QSize(75, 25));
    QVERIFY(box.windowFlags().testFlag(Qt::Tool));
    QStringList texts;
    for (const QLabel *label : box.findChildren<QLabel *>())
        texts << label->text();
    QVERIFY(texts.contains(QStringLiteral("ЖОРД-ЗР7")));
    QVERIFY(texts.contains(QStringLiteral("Программа для передачи данных с прибора ЖОРД-ЗР7.")));
    for (QWidget *child : box.findChildren<QWidget *>())
        QVERIFY2(!child->accessibleName().isEmpty(), qPrintable(child->objectName()));
}

int main(int argc, char *argv[])
{
    kve::KveApplication app(argc, argv);
    AboutTest test;
    return runUnderProgramApplication(app, test, argc, argv);
}

#include "tst_about.moc"
