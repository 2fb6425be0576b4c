// The real notifier shows each message as a modal message box over the given window and
// returns the button pressed; a fake put in its place takes every message while it lives.

#include "FakeNotifier.h"
#include "ModalHelper.h"
#include "ui/Notifier.h"

#include <QMainWindow>
#include <QPushButton>
#include <QtTest>

class TestNotifier : public QObject {
    Q_OBJECT

    struct Seen {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString caption, text, objectName;
        QMessageBox::StandardButtons buttons;
        QString defaultButton;
        QWidget *parent = nullptr;
        bool modal = false;
        Qt::WindowModality modality = Qt::NonModal;
    };

private slots:
    void cleanup() { testing::stopWatchers(); }

    void realBox_data()
    {
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("defaultButton");
        QTest::addColumn<QString>("objectName");
        QTest::addColumn<int>("press");
        QTest::addColumn<QString>("expectedDefault");   // the text of the preselected button, if any
        QTest::addColumn<int>("expectedAnswer");
        QTest::newRow("error, Ok") << int(QMessageBox::Critical) << int(QMessageBox::Ok) << int(QMessageBox::NoButton)
                                   << QStringLiteral("ErrorBox") << int(QMessageBox::Ok) << QString() << int(QMessageBox::Ok);
        QTest::newRow("error, Ok preselected") << int(QMessageBox::Critical) << int(QMessageBox::Ok) << int(QMessageBox::Ok)
                                               << QString() << int(QMessageBox::Ok) << QStringLiteral("OK") << int(QMessageBox::Ok);
        QTest::newRow("warning") << int(QMessageBox::Warning) << int(QMessageBox::Ok) << int(QMessageBox::Ok) << QString()
                                 << int(QMessageBox::Ok) << QStringLiteral("OK") << int(QMessageBox::Ok);
        QTest::newRow("information") << int(QMessageBox::Information) << int(QMessageBox::Ok) << int(QMessageBox::NoButton)
                                     << QStringLiteral("EmptyArchiveBox") << int(QMessageBox::Ok) << QString() << int(QMessageBox::Ok);
        QTest::newRow("question, Yes") << int(QMessageBox::Question) << int(QMessageBox::Yes | QMessageBox::No)
                                       << int(QMessageBox::NoButton) << QStringLiteral("SaveQuestion") << int(QMessageBox::Yes)
                                       << QString() << int(QMessageBox::Yes);
        QTest::newRow("question, No") << int(QMessageBox::Question) << int(QMessageBox::Yes | QMessageBox::No)
                                      << int(QMessageBox::NoButton) << QStringLiteral("SaveQuestion") << int(QMessageBox::No)
                                      << QString() << int(QMessageBox::No);
        QTest::newRow("question, No preselected, Yes") << int(QMessageBox::Question) << int(QMessageBox::Yes | QMessageBox::No)
                                                       << int(QMessageBox::No) << QStringLiteral("ReplaceQuestion")
                                                       << int(QMessageBox::Yes) << QStringLiteral("No") << int(QMessageBox::Yes);
        QTest::newRow("question, No preselected, No") << int(QMessageBox::Question) << int(QMessageBox::Yes | QMessageBox::No)
                                                      << int(QMessageBox::No) << QStringLiteral("ReplaceQuestion")
                                                      << int(QMessageBox::No) << QStringLiteral("No") << int(QMessageBox::No);
    }

    void realBox()
    {
        QFETCH(int, icon);
        QFETCH(int, buttons);
        QFETCH(int, defaultButton);
        QFETCH(QString, objectName);
        QFETCH(int, press);
        QFETCH(QString, expectedDefault);
        QFETCH(int, expectedAnswer);

        QMainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        Seen seen;
        const auto answered = testing::whenModal([&](QWidget *w) {
            if (auto *box = qobject_cast<QMessageBox *>(w)) {
                seen = {box->icon(), box->windowTitle(), box->text(), box->objectName(), box->standardButtons(),
                        box->defaultButton() ? box->defaultButton()->text().remove(u'&') : QString(),
                        box->parentWidget(), box->isModal(), box->windowModality()};
            }
            testing::press(QMessageBox::StandardButton(press))(w);
        });
        kve::Message message(QMessageBox::Icon(icon), QStringLiteral("Заголовок"), QStringLiteral("Текст сообщения"), &window);
        if (buttons != int(QMessageBox::Ok))
            message.yesNo();
        message.preselect(QMessageBox::StandardButton(defaultButton)).named(objectName);
        const QMessageBox::StandardButton answer = kve::notifier().show(message);

        QVERIFY(answered->answered);
        QCOMPARE(answered->className, QStringLiteral("QMessageBox"));
        QCOMPARE(int(seen.icon), icon);
        QCOMPARE(seen.caption, QStringLiteral("Заголовок"));
        QCOMPARE(seen.text, QStringLiteral("Текст сообщения"));
        QCOMPARE(seen.objectName, objectName);
        QCOMPARE(int(seen.buttons), buttons);
        if (!expectedDefault.isEmpty())
            QCOMPARE(seen.defaultButton, expectedDefault);
        QCOMPARE(seen.parent, &window);
        QVERIFY(seen.modal);
        QCOMPARE(seen.modality, Qt::ApplicationModal);
        QCOMPARE(int(answer), expectedAnswer);
    }

    // A fake takes the messages while it lives; then the real boxes are back.
    void fakeInPlace()
    {
        kve::Notifier *real = &kve::notifier();
        {
            testing::FakeNotifier fake;
            fake.queue(QMessageBox::No);
            QCOMPARE(&kve::notifier(), static_cast<kve::Notifier *>(&fake));
            const auto answer = kve::notifier().show(
                kve::Message(QMessageBox::Question, QStringLiteral("ЖОРД-ЗР7"), QStringLiteral("Сохранить изменения в таблицах ?"), nullptr)
                    .yesNo());
            QCOMPARE(answer, QMessageBox::No);
            QCOMPARE(fake.shown(), QStringList({QStringLiteral("ЖОРД-ЗР7|Сохранить изменения в таблицах ?")}));
            QCOMPARE(fake.problems(), QStringList());
            // Nothing queued and no rule: noted, and answered by the box's escape.
            QCOMPARE(kve::notifier().show(kve::Message(QMessageBox::Critical, QStringLiteral("Ошибка"), QStringLiteral("лишнее"), nullptr)),
                     QMessageBox::Ok);
            QCOMPARE(fake.problems(), QStringList({QStringLiteral("not expected: Ошибка|лишнее")}));
        }
        QCOMPARE(&kve::notifier(), real);
    }
};

QTEST_MAIN(TestNotifier)
#include "tst_Notifier.moc"
