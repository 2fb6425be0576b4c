// The edges of the export: the chosen file name, text wrapping on every cell of the sheet,
// and page numbers only where the footer asks for them.
#include "FakeNotifier.h"
#include "FileSizeLimit.h"
#include "ReportFixture.h"
#include "XlsReadBack.h"
#include "store/FileNameExtension.h"
#include "output/SeriesReport.h"
#include "output/SpreadsheetExport.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QTimer>
#include <QtTest>

#include <cerrno>
#include <cstring>

using namespace kve::report;

// Records the files the export asks the desktop to open, instead of opening them.
class OpenRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
};

class TestXlsExportEdges : public QObject {
    Q_OBJECT

    kve::MeasurementTable table;
    SeriesReport report;
    OpenRecorder recorder;

    // Answers the next save dialog with a name typed into its name field.
    static void answerSaveDialog(const QString &name)
    {
        QTimer::singleShot(50, [name] {
            auto *d = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!d)
                return answerSaveDialog(name);
            auto *edit = d->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            if (!edit)
                return d->reject();
            edit->setText(name);
            QTest::keyClick(edit, Qt::Key_Return);
        });
    }

    static QJsonObject columnFormats(const QString &path, QString *error)
    {
        QProcess p;
        p.start(kvetest::pythonForXlrd(), {QStringLiteral(KVE_TEST_DATA_DIR "/xls_columns.py"), path});
        if (!p.waitForFinished(60000) || p.exitCode() != 0) {
            *error = QString::fromUtf8(p.readAllStandardError());
            return {};
        }
        return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::Russian));
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
        table.setFilePath(QDir::current().filePath(QStringLiteral("edges.db")));
        table.create();
        kvetest::fillSeries(table, 3, 2, {{1, {{QStringLiteral("COMMENT"), QStringLiteral("см. [PAGE#] из [TOTALPAGES]")}}}});
        kvetest::showSeries(table, 3);
    }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }

    void extension_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("result");
        QTest::newRow("a date in the name") << "/tmp/Серия 3 от 12.03.2024" << ".xls" << "/tmp/Серия 3 от 12.03.2024.xls";
        QTest::newRow("trailing dot") << "/tmp/name." << ".xls" << "/tmp/name.xls";
        QTest::newRow("no extension") << "/tmp/a" << ".xls" << "/tmp/a.xls";
        QTest::newRow("has it") << "/tmp/a.xls" << ".xls" << "/tmp/a.xls";
        QTest::newRow("has it, capitals") << "/tmp/A.XLS" << ".xls" << "/tmp/A.XLS";
        QTest::newRow("another extension") << "/tmp/a.txt" << ".xls" << "/tmp/a.txt.xls";
        QTest::newRow("dotted folder") << "/tmp/v1.2/a" << ".xls" << "/tmp/v1.2/a.xls";
        QTest::newRow("xls inside the name") << "/tmp/a.xls.bak" << ".xls" << "/tmp/a.xls.bak.xls";
        QTest::newRow("pdf, a date in the name") << "/tmp/Серия 2 от 01.02.2024" << ".pdf"
                                                 << "/tmp/Серия 2 от 01.02.2024.pdf";
        QTest::newRow("pdf, capitals") << "/tmp/a.Pdf" << ".pdf" << "/tmp/a.Pdf";
        QTest::newRow("empty") << "" << ".xls" << "";
    }
    void extension()
    {
        QFETCH(QString, name);
        QFETCH(QString, extension);
        QFETCH(QString, result);
        QCOMPARE(kve::withExtension(name, extension), result);
        if (extension == QStringLiteral(".xls"))
            QCOMPARE(withDefaultExtension(name), result);
    }

    void exportedUnderADatedName()
    {
        recorder.opened.clear();
        answerSaveDialog(QDir::current().filePath(QStringLiteral("Серия 3 от 12.03.2024")));
        exportSeries(nullptr, report, table, QStringLiteral("edges - ЖОРД-ЗР7"), 3);
        const QString expected = QDir::current().filePath(QStringLiteral("Серия 3 от 12.03.2024.xls"));
        QCOMPARE(recorder.opened.size(), 1);
        QCOMPARE(recorder.opened[0].toLocalFile(), expected);
        QVERIFY(QFile::exists(expected));
        QVERIFY(!QFile::exists(QDir::current().filePath(QStringLiteral("Серия 3 от 12.03.2024"))));
    }

    // A full disk (a size limit here): the operator reads the file and the system's reason,
    // and the file of that name keeps what it held.
    void fullDiskSaysWhyAndKeepsTheFile()
    {
        recorder.opened.clear();
        const QString path = QDir::current().filePath(QStringLiteral("полный диск.xls"));
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old contents");
        }
        const QStringList before = QDir::current().entryList(QDir::Files | QDir::Hidden, QDir::Name);
        testing::FakeNotifier boxes(testing::pressing(QMessageBox::Ok));
        answerSaveDialog(path);
        {
            testing::FileSizeLimit limit(4096);
            QVERIFY(limit.ok());
            exportSeries(nullptr, report, table, QStringLiteral("edges - ЖОРД-ЗР7"), 3);
        }
        QCOMPARE(boxes.texts(), QStringList({QStringLiteral("Не удалось сохранить файл \"%1\": %2")
                                                 .arg(QDir::toNativeSeparators(path),
                                                      QString::fromLocal8Bit(std::strerror(EFBIG)))}));
        QCOMPARE(boxes.problems(), QStringList());
        QCOMPARE(recorder.opened.size(), 0);
        QFile kept(path);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("old contents"));
        QCOMPARE(QDir::current().entryList(QDir::Files | QDir::Hidden, QDir::Name), before);
    }

    // Every cell of the sheet wraps its text: the default cell format and the format of
    // every column, inside and outside the report's columns.
    void everyCellWraps()
    {
        table.first();
        report.fillTitleCells(QStringLiteral("edges"), table, 3);
        const QString path = QDir::current().filePath(QStringLiteral("wrap.xls"));
        writeWorkbook(report.prepare(table), path);
        QString error;
        const QJsonObject formats = columnFormats(path, &error);
        QVERIFY2(!formats.isEmpty(), qPrintable(error));
        QCOMPARE(formats[QStringLiteral("default")].toObject()[QStringLiteral("wrap")].toInt(), 1);
        QCOMPARE(formats[QStringLiteral("default")].toObject()[QStringLiteral("format_str")].toString(),
                 QStringLiteral("General"));
        const QJsonObject columns = formats[QStringLiteral("columns")].toObject();
        for (int c = 0; c < 256; ++c) {
            const QJsonObject xf = columns[QString::number(c)].toObject();
            QVERIFY2(xf[QStringLiteral("wrap")].toInt() == 1, qPrintable(QString::number(c)));
            QCOMPARE(xf[QStringLiteral("index")].toInt(), 15);
        }
    }

    // "[PAGE#]" and "[TOTALPAGES]" are the footer's: in a note or a title they print as typed.
    void pageNamesOnlyInTheFooter()
    {
        table.first();
        report.fillTitleCells(QStringLiteral("edges [PAGE#] [TOTALPAGES]"), table, 3);
        const PreparedReport &r = report.prepare(table);
        QCOMPARE(r.pageCount(), 1);
        QStringList texts;
        for (const PreparedCell &c : r.pages[0].cells)
            texts << c.text;
        QVERIFY2(texts.contains(QStringLiteral("см. [PAGE#] из [TOTALPAGES]")), qPrintable(texts.join(u'|')));
        QVERIFY2(texts.contains(QStringLiteral("edges [PAGE#] [TOTALPAGES]  Серийный №S3")), qPrintable(texts.join(u'|')));
        QVERIFY(texts.contains(QStringLiteral("Стр. 1 из 1")));

        const QString path = QDir::current().filePath(QStringLiteral("names.xls"));
        writeWorkbook(r, path);
        KVE_READ_WORKBOOK(book, path);
        QStringList sheetTexts;
        for (const QJsonValue &v : book[QStringLiteral("sheets")].toArray()[0].toObject()[QStringLiteral("cells")].toArray())
            sheetTexts << v.toArray()[3].toVariant().toString();
        QVERIFY(sheetTexts.contains(QStringLiteral("см. [PAGE#] из [TOTALPAGES]")));
        QVERIFY(sheetTexts.contains(QStringLiteral("Стр. 1 из 1")));
    }
};

QTEST_MAIN(TestXlsExportEdges)
#include "tst_XlsExportEdges.moc"
