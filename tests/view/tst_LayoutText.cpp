#include "view/LayoutText.h"

#include <QRandomGenerator>
#include <QTest>

using namespace kve;

Q_DECLARE_METATYPE(std::vector<kve::ColumnLayout>)

namespace {

ColumnLayout column(const char *field, int width, ColumnAlignment alignment)
{
    ColumnLayout c;
    c.FieldName = QString::fromLatin1(field);
    c.Width = width;
    c.Alignment = alignment;
    return c;
}

// The twelve columns of a series grid after "Выровнять столбцы" on a 679-pixel grid.
std::vector<ColumnLayout> alignedGrid()
{
    const auto C = ColumnAlignment::talCenter;
    std::vector<ColumnLayout> cols{column("N", 56, C),     column("DATE", 56, C), column("TIME", 56, C),
                                   column("MODE", 56, C),  column("T_1", 56, C),  column("T_2", 56, C),
                                   column("T_3", 56, C),   column("P_1", 56, C),  column("P_2", 56, C),
                                   column("F", 56, C),     column("P", 56, C),
                                   column("COMMENT", 56, ColumnAlignment::talLeftJustify)};
    cols[2].LayoutIndex = 1;
    cols[3].LayoutIndex = 2;
    return cols;
}

} // namespace

class TestLayoutText : public QObject {
    Q_OBJECT
private slots:
    void exampleIsWrittenExactly();
    void defaultsAreLeftOut();
    void emptyListIsClosedOnItsLine();
    void roundTrip_data();
    void roundTrip();
    void eachPropertyAlone_data();
    void eachPropertyAlone();
    void colourNames_data();
    void colourNames();
    void noColourTexts_data();
    void noColourTexts();
    void unknownColourTexts_data();
    void unknownColourTexts();
    void wideNotation_data();
    void wideNotation();
    void emptyTextHasNoRecords_data();
    void emptyTextHasNoRecords();
    void brokenText_data();
    void brokenText();
    void mangledTextsNeverCrash();
};

void TestLayoutText::exampleIsWrittenExactly()
{
    std::vector<ColumnLayout> cols = alignedGrid();
    cols[9].TitleState = TitleState::tsSortedUp;
    cols[9].SortOrder = 1;
    cols[11].Color = QColor(255, 0, 0);

    const QString text = writeLayoutText(cols);
    const QString expected = QStringLiteral(
        "object TUniDataStorage\r\n"
        "  Data = <\r\n"
        "    item\r\n      FieldName = 'N'\r\n      Width = 56\r\n      Alignment = talCenter\r\n    end\r\n"
        "    item\r\n      FieldName = 'DATE'\r\n      Width = 56\r\n      Alignment = talCenter\r\n    end\r\n"
        "    item\r\n      FieldName = 'TIME'\r\n      Width = 56\r\n      LayoutIndex = 1\r\n      Alignment = talCenter\r\n    end\r\n"
        "    item\r\n      FieldName = 'MODE'\r\n      Width = 56\r\n      LayoutIndex = 2\r\n      Alignment = talCenter\r\n    end\r\n"
        "    item\r\n      FieldName = 'T_1'\r\n      Width = 56\r\n      Alignment = talCenter\r\n    end\r\n"
        "    item\r\n      FieldName = 'T_2'\r\n      Width = 56\r\n      Alignment = talCenter\r\n    end\r\n"
        "    item\r\n      FieldName = 'T_3'\r\n      Width = 56\r\n      Alignment = talCenter\r\n    end\r\n"
        "    item\r\n      FieldName = 'P_1'\r\n      Width = 56\r\n      Alignment = talCenter\r\n    end\r\n"
        "    item\r\n      FieldName = 'P_2'\r\n      Width = 56\r\n      Alignment = talCenter\r\n    end\r\n"
        "    item\r\n      FieldName = 'F'\r\n      TitleState = tsSortedUp\r\n      Width = 56\r\n"
        "      Alignment = talCenter\r\n      SortOrder = 1\r\n    end\r\n"
        "    item\r\n      FieldName = 'P'\r\n      Width = 56\r\n      Alignment = talCenter\r\n    end\r\n"
        "    item\r\n      FieldName = 'COMMENT'\r\n      Width = 56\r\n      Color = clRed\r\n"
        "      Alignment = talLeftJustify\r\n    end>\r\n"
        "end\r\n");
    QCOMPARE(text, expected);
    QCOMPARE(parseLayoutText(text), cols);
}

void TestLayoutText::defaultsAreLeftOut()
{
    ColumnLayout everything;
    everything.FieldName = QStringLiteral("X");
    everything.OptionsVisual = {QStringLiteral("ovA"), QStringLiteral("ovB")};
    everything.TitleState = TitleState::tsSortedDown;
    everything.FooterState = QStringLiteral("fsSum");
    everything.Width = 300;
    everything.LayoutLevel = 2;
    everything.LayoutIndex = 4;
    everything.Color = QColor(1, 2, 3);
    everything.Alignment = ColumnAlignment::talRightJustify;
    everything.Font = {{QStringLiteral("Name"), QStringLiteral("'Arial'")}};
    everything.SortOrder = 7;

    QCOMPARE(writeLayoutText({ColumnLayout{}, everything}),
             QStringLiteral("object TUniDataStorage\r\n  Data = <\r\n    item\r\n    end\r\n    item\r\n"
                            "      FieldName = 'X'\r\n      OptionsVisual = [ovA, ovB]\r\n"
                            "      TitleState = tsSortedDown\r\n      FooterState = fsSum\r\n      Width = 300\r\n"
                            "      LayoutLevel = 2\r\n      LayoutIndex = 4\r\n      Color = 197121\r\n"
                            "      Alignment = talRightJustify\r\n      Font.Name = 'Arial'\r\n"
                            "      SortOrder = 7\r\n    end>\r\nend\r\n"));
}

void TestLayoutText::emptyListIsClosedOnItsLine()
{
    const QString text = writeLayoutText({});
    QCOMPARE(text, QStringLiteral("object TUniDataStorage\r\n  Data = <>\r\nend\r\n"));
    QVERIFY(parseLayoutText(text).empty());
}

void TestLayoutText::roundTrip_data()
{
    QTest::addColumn<std::vector<ColumnLayout>>("columns");

    QTest::newRow("aligned grid") << alignedGrid();

    std::vector<ColumnLayout> marks = alignedGrid();
    marks[0].TitleState = TitleState::tsSortedDown;
    marks[0].SortOrder = 1;
    marks[4].Color = QColor(166, 202, 240);
    marks[5].Color = QColor(0, 0, 0);
    marks[6].Color = QColor(12, 34, 56);
    QTest::newRow("marks and colours") << marks;

    ColumnLayout odd;
    odd.FieldName = QStringLiteral("it's Поле\t");
    odd.Width = 0;
    odd.LayoutLevel = -2147483647 - 1;
    odd.LayoutIndex = 2147483647;
    odd.SortOrder = -5;
    odd.OptionsVisual = {QStringLiteral("ovTitleWordWrap")};
    odd.FooterState = QStringLiteral("fsCount");
    odd.Color = QColor(255, 255, 255);
    odd.Font = {{QStringLiteral("Name"), QStringLiteral("'MS Sans Serif'")},
                {QStringLiteral("Style"), QStringLiteral("[fsBold]")}};
    QTest::newRow("quotes, Cyrillic, limits, font") << std::vector<ColumnLayout>{odd, ColumnLayout{}};

    // A character past the 16-bit range is written as two #codes, one per UTF-16 half.
    ColumnLayout wide;
    wide.FieldName = QStringLiteral("T") + QString::fromUcs4(U"\U0001F600") + QStringLiteral("x");
    QTest::newRow("character past 16 bits") << std::vector<ColumnLayout>{wide};

    ColumnLayout every;
    every.FieldName = QStringLiteral("P_2");
    every.OptionsVisual = {QStringLiteral("ovA"), QStringLiteral("ovB")};
    every.TitleState = TitleState::tsSortedDown;
    every.FooterState = QStringLiteral("fsSum");
    every.Width = 81;
    every.LayoutLevel = 1;
    every.LayoutIndex = 5;
    every.Color = QColor(160, 160, 164);
    every.Alignment = ColumnAlignment::talRightJustify;
    every.Font = {{QStringLiteral("Size"), QStringLiteral("10")}, {QStringLiteral("Color"), QStringLiteral("clRed")}};
    every.SortOrder = 2;
    QTest::newRow("every property away from its default") << std::vector<ColumnLayout>{every, ColumnLayout{}};
}

void TestLayoutText::roundTrip()
{
    QFETCH(std::vector<ColumnLayout>, columns);
    const QString text = writeLayoutText(columns);
    const std::vector<ColumnLayout> back = parseLayoutText(text);
    QCOMPARE(back, columns);
    QCOMPARE(writeLayoutText(back), text);
    // The stored text keeps to ASCII whatever the field names hold.
    for (QChar ch : text)
        QVERIFY2(ch.unicode() < 128, qPrintable(text));
}

// Each property on its own: one line of its own, read back to the same column, and a column
// that differs only there is not equal to the default one.
void TestLayoutText::eachPropertyAlone_data()
{
    QTest::addColumn<std::vector<ColumnLayout>>("columns");
    QTest::addColumn<QString>("line");

    std::vector<ColumnLayout> c(1);
    c[0].FieldName = QStringLiteral("X");
    QTest::newRow("FieldName") << c << QStringLiteral("      FieldName = 'X'\r\n");
    c = std::vector<ColumnLayout>(1);
    c[0].OptionsVisual = {QStringLiteral("ovA")};
    QTest::newRow("OptionsVisual") << c << QStringLiteral("      OptionsVisual = [ovA]\r\n");
    c = std::vector<ColumnLayout>(1);
    c[0].TitleState = TitleState::tsSortedUp;
    QTest::newRow("TitleState") << c << QStringLiteral("      TitleState = tsSortedUp\r\n");
    c = std::vector<ColumnLayout>(1);
    c[0].FooterState = QStringLiteral("fsCount");
    QTest::newRow("FooterState") << c << QStringLiteral("      FooterState = fsCount\r\n");
    c = std::vector<ColumnLayout>(1);
    c[0].Width = 0;
    QTest::newRow("Width") << c << QStringLiteral("      Width = 0\r\n");
    c = std::vector<ColumnLayout>(1);
    c[0].LayoutLevel = -1;
    QTest::newRow("LayoutLevel") << c << QStringLiteral("      LayoutLevel = -1\r\n");
    c = std::vector<ColumnLayout>(1);
    c[0].LayoutIndex = 3;
    QTest::newRow("LayoutIndex") << c << QStringLiteral("      LayoutIndex = 3\r\n");
    c = std::vector<ColumnLayout>(1);
    c[0].Color = QColor(0, 0, 0);
    QTest::newRow("Color") << c << QStringLiteral("      Color = clBlack\r\n");
    c = std::vector<ColumnLayout>(1);
    c[0].Alignment = ColumnAlignment::talCenter;
    QTest::newRow("Alignment") << c << QStringLiteral("      Alignment = talCenter\r\n");
    c = std::vector<ColumnLayout>(1);
    c[0].Font = {{QStringLiteral("Size"), QStringLiteral("10")}};
    QTest::newRow("Font") << c << QStringLiteral("      Font.Size = 10\r\n");
    c = std::vector<ColumnLayout>(1);
    c[0].SortOrder = 0;
    QTest::newRow("SortOrder") << c << QStringLiteral("      SortOrder = 0\r\n");
}

void TestLayoutText::eachPropertyAlone()
{
    QFETCH(std::vector<ColumnLayout>, columns);
    QFETCH(QString, line);
    const QString text = writeLayoutText(columns);
    QCOMPARE(text, QStringLiteral("object TUniDataStorage\r\n  Data = <\r\n    item\r\n") + line +
                       QStringLiteral("    end>\r\nend\r\n"));
    QVERIFY(!(columns[0] == ColumnLayout{}));
    QVERIFY(!(ColumnLayout{} == columns[0]));
    QCOMPARE(parseLayoutText(text), columns);
}

void TestLayoutText::colourNames_data()
{
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<QString>("text");
    QTest::newRow("black") << QColor(0, 0, 0) << "clBlack";
    QTest::newRow("maroon") << QColor(128, 0, 0) << "clMaroon";
    QTest::newRow("green") << QColor(0, 128, 0) << "clGreen";
    QTest::newRow("olive") << QColor(128, 128, 0) << "clOlive";
    QTest::newRow("navy") << QColor(0, 0, 128) << "clNavy";
    QTest::newRow("purple") << QColor(128, 0, 128) << "clPurple";
    QTest::newRow("teal") << QColor(0, 128, 128) << "clTeal";
    QTest::newRow("gray") << QColor(128, 128, 128) << "clGray";
    QTest::newRow("silver") << QColor(192, 192, 192) << "clSilver";
    QTest::newRow("red") << QColor(255, 0, 0) << "clRed";
    QTest::newRow("lime") << QColor(0, 255, 0) << "clLime";
    QTest::newRow("yellow") << QColor(255, 255, 0) << "clYellow";
    QTest::newRow("blue") << QColor(0, 0, 255) << "clBlue";
    QTest::newRow("fuchsia") << QColor(255, 0, 255) << "clFuchsia";
    QTest::newRow("aqua") << QColor(0, 255, 255) << "clAqua";
    QTest::newRow("white") << QColor(255, 255, 255) << "clWhite";
    QTest::newRow("money green") << QColor(192, 220, 192) << "clMoneyGreen";
    QTest::newRow("sky blue") << QColor(166, 202, 240) << "clSkyBlue";
    QTest::newRow("cream") << QColor(255, 251, 240) << "clCream";
    QTest::newRow("med gray") << QColor(160, 160, 164) << "clMedGray";
    QTest::newRow("red + 256 green + 65536 blue") << QColor(1, 2, 3) << "197121";
    QTest::newRow("near red") << QColor(254, 0, 0) << "254";
    QTest::newRow("blue as number") << QColor(0, 0, 1) << "65536";
}

void TestLayoutText::colourNames()
{
    QFETCH(QColor, colour);
    QFETCH(QString, text);
    QCOMPARE(colourText(colour), text);
    const std::optional<QColor> back = colourFromText(text);
    QVERIFY(back.has_value());
    QCOMPARE(back->rgb(), colour.rgb());
}

void TestLayoutText::noColourTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("clNone") << QStringLiteral("clNone");
    QTest::newRow("clDefault in capitals") << QStringLiteral("CLDEFAULT");
    QTest::newRow("clNone as number") << QStringLiteral("536870911");
    QTest::newRow("clDefault as number") << QStringLiteral("536870912");
}

void TestLayoutText::noColourTexts()
{
    QFETCH(QString, text);
    QVERIFY(!colourFromText(text).has_value());
}

void TestLayoutText::unknownColourTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("system colour") << QStringLiteral("clBtnFace");
    QTest::newRow("past white") << QStringLiteral("16777216");
    QTest::newRow("negative") << QStringLiteral("-1");
    QTest::newRow("hex form") << QStringLiteral("$FF");
    QTest::newRow("empty") << QString();
}

void TestLayoutText::unknownColourTexts()
{
    QFETCH(QString, text);
    try {
        colourFromText(text);
        QFAIL("the text was taken for a colour");
    } catch (const LayoutTextError &e) {
        QCOMPARE(e.text(), QStringLiteral("Неизвестный цвет «%1»").arg(text));
    }
}

void TestLayoutText::wideNotation_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::vector<ColumnLayout>>("expected");

    ColumnLayout f;
    f.FieldName = QStringLiteral("F");
    f.Width = 63;
    f.TitleState = TitleState::tsSortedUp;
    f.SortOrder = 1;

    QTest::newRow("LF lines, other indentation, lower case words")
        << QStringLiteral("OBJECT TUniDataStorage\n Data=<\nITEM\nfieldname='F' width=63\ntitlestate=TSSORTEDUP "
                          "SortOrder=1 END>\nEnd\n")
        << std::vector<ColumnLayout>{f};

    ColumnLayout named;
    named.FieldName = QStringLiteral("Примечание 'x'");
    QTest::newRow("#nn characters, doubled quotes, joined with +")
        << QStringLiteral("object Storage1: TUniDataStorage\r\n  Data = <\r\n    item\r\n"
                          "      FieldName = #1055#1088#1080'ме'#$0447'ание '''+\r\n        'x'''\r\n    end>\r\nend\r\n")
        << std::vector<ColumnLayout>{named};

    ColumnLayout sets;
    sets.OptionsVisual = {QStringLiteral("ovA"), QStringLiteral("ovB")};
    sets.FooterState = QStringLiteral("fsSum");
    sets.Width = 0x1F;
    sets.LayoutLevel = -4;
    sets.Color = QColor(0x30, 0x20, 0x10);
    sets.Alignment = ColumnAlignment::talDefault;
    sets.Font = {{QStringLiteral("Name"), QStringLiteral("'Arial'")}, {QStringLiteral("Style"), QStringLiteral("[fsBold, fsItalic]")},
                 {QStringLiteral("Height"), QStringLiteral("-11")}};
    QTest::newRow("sets, $hex, colour as number, font parts")
        << QStringLiteral("object TUniDataStorage Data = < item OptionsVisual = [ovA,ovB] FooterState = fsSum "
                          "Width = $1F LayoutLevel = -4 Color = $102030 Alignment = talDefault "
                          "Font.Name = 'Arial' Font.Style = [fsBold , fsItalic] font.height = -11 end > end")
        << std::vector<ColumnLayout>{sets};

    ColumnLayout none;
    none.FieldName = QStringLiteral("COMMENT");
    QTest::newRow("clNone and clDefault mean no colour")
        << QStringLiteral("object TUniDataStorage\n Data = <\n item\n FieldName = 'COMMENT'\n Color = clNone\n end\n"
                          " item\n FieldName = 'COMMENT'\n Color = clDefault\n end\n item\n FieldName = 'COMMENT'\n"
                          " Color = 536870912\n end>\nend\n")
        << std::vector<ColumnLayout>{none, none, none};

    ColumnLayout later;
    later.Width = 2;
    QTest::newRow("a repeated property keeps the last value, empty items count")
        << QStringLiteral("object TUniDataStorage\n Data = <\n item\n Width = 1\n Width = 2\n end\n item\n end>\nend\n")
        << std::vector<ColumnLayout>{later, ColumnLayout{}};

    QTest::newRow("no records") << QStringLiteral("object TUniDataStorage\r\n  Data = <>\r\nend\r\n")
                                << std::vector<ColumnLayout>{};
    QTest::newRow("no Data at all") << QStringLiteral("object TUniDataStorage\r\nend") << std::vector<ColumnLayout>{};
}

void TestLayoutText::wideNotation()
{
    QFETCH(QString, text);
    QFETCH(std::vector<ColumnLayout>, expected);
    const std::vector<ColumnLayout> got = parseLayoutText(text);
    QCOMPARE(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        QCOMPARE(got[i].FieldName, expected[i].FieldName);
        QCOMPARE(got[i].Font, expected[i].Font);
        QVERIFY2(got[i] == expected[i], qPrintable(writeLayoutText({got[i]})));
    }
}

void TestLayoutText::emptyTextHasNoRecords_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("blanks and line ends") << QStringLiteral("  \r\n\t\n");
}

void TestLayoutText::emptyTextHasNoRecords()
{
    QFETCH(QString, text);
    QVERIFY(parseLayoutText(text).empty());
}

void TestLayoutText::brokenText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("reason");   // a part of the message the operator sees

    const QString head = QStringLiteral("object TUniDataStorage\r\n  Data = <\r\n    item\r\n");
    QTest::newRow("not the notation") << QStringLiteral("hello") << QStringLiteral("строка 1");
    QTest::newRow("another class") << QStringLiteral("object TForm\r\nend\r\n") << QStringLiteral("TUniDataStorage");
    QTest::newRow("unknown column property") << head + QStringLiteral("      Visible = True\r\n    end>\r\nend\r\n")
                                             << QStringLiteral("строка 4: у столбца нет свойства «Visible»");
    QTest::newRow("unknown font part") << head + QStringLiteral("      Font.Weight = 3\r\n    end>\r\nend\r\n")
                                       << QStringLiteral("«Font.Weight»");
    QTest::newRow("unknown storage property") << QStringLiteral("object TUniDataStorage\r\n  Rows = 3\r\nend\r\n")
                                              << QStringLiteral("строка 2: неизвестное свойство «Rows»");
    QTest::newRow("string not closed") << head + QStringLiteral("      FieldName = 'F\r\n    end>\r\nend\r\n")
                                       << QStringLiteral("строка 4");
    QTest::newRow("list not closed") << head + QStringLiteral("    end\r\nend\r\n") << QStringLiteral("«item» или «>»");
    QTest::newRow("cut short") << head + QStringLiteral("      Width = ") << QStringLiteral("оборван");
    QTest::newRow("no final end") << head + QStringLiteral("    end>\r\n") << QStringLiteral("оборван");
    QTest::newRow("text after end") << head + QStringLiteral("    end>\r\nend\r\nend\r\n")
                                    << QStringLiteral("строка 6: лишний текст");
    QTest::newRow("width as text") << head + QStringLiteral("      Width = '56'\r\n    end>\r\nend\r\n")
                                   << QStringLiteral("«Width»");
    QTest::newRow("negative width") << head + QStringLiteral("      Width = -1\r\n    end>\r\nend\r\n")
                                    << QStringLiteral("«Width»");
    QTest::newRow("width too large") << head + QStringLiteral("      Width = 2147483648\r\n    end>\r\nend\r\n")
                                     << QStringLiteral("«Width»");
    QTest::newRow("fraction for an integer") << head + QStringLiteral("      SortOrder = 1.5\r\n    end>\r\nend\r\n")
                                             << QStringLiteral("«SortOrder»");
    QTest::newRow("unknown mark") << head + QStringLiteral("      TitleState = tsSortedSideways\r\n    end>\r\nend\r\n")
                                  << QStringLiteral("«TitleState»");
    QTest::newRow("unknown alignment") << head + QStringLiteral("      Alignment = taCenter\r\n    end>\r\nend\r\n")
                                       << QStringLiteral("«Alignment»");
    QTest::newRow("system colour") << head + QStringLiteral("      Color = clBtnFace\r\n    end>\r\nend\r\n")
                                   << QStringLiteral("«Color»");
    QTest::newRow("colour out of range") << head + QStringLiteral("      Color = 16777216\r\n    end>\r\nend\r\n")
                                         << QStringLiteral("«Color»");
    QTest::newRow("field name not quoted") << head + QStringLiteral("      FieldName = F\r\n    end>\r\nend\r\n")
                                           << QStringLiteral("«FieldName»");
    QTest::newRow("set not closed") << head + QStringLiteral("      OptionsVisual = [a, b\r\n    end>\r\nend\r\n")
                                    << QStringLiteral("«,»");
    QTest::newRow("bad character code") << head + QStringLiteral("      FieldName = #70000\r\n    end>\r\nend\r\n")
                                        << QStringLiteral("#70000");
    QTest::newRow("lone first half") << head + QStringLiteral("      FieldName = 'a'#55357'b'\r\n    end>\r\nend\r\n")
                                     << QStringLiteral("строка 4: непарный код символа «#55357»");
    QTest::newRow("halves swapped") << head + QStringLiteral("      FieldName = #56832#55357\r\n    end>\r\nend\r\n")
                                    << QStringLiteral("«#56832»");
    QTest::newRow("stray character") << head + QStringLiteral("      Width = 5;\r\n    end>\r\nend\r\n")
                                     << QStringLiteral("«;»");
    QTest::newRow("missing equals sign") << head + QStringLiteral("      Width 5\r\n    end>\r\nend\r\n")
                                         << QStringLiteral("«=»");
}

void TestLayoutText::brokenText()
{
    QFETCH(QString, text);
    QFETCH(QString, reason);
    try {
        parseLayoutText(text);
        QFAIL("the text was accepted");
    } catch (const LayoutTextError &e) {
        QVERIFY2(e.text().contains(reason), qPrintable(e.text()));
        QVERIFY(e.text().startsWith(QStringLiteral("Ошибка в тексте раскладки столбцов")));
    }
}

// Cut, doubled and overwritten characters of a real text either read or give the error;
// nothing else may happen (no crash, no other exception).
void TestLayoutText::mangledTextsNeverCrash()
{
    std::vector<ColumnLayout> cols = alignedGrid();
    cols[3].Color = QColor(1, 2, 3);
    cols[5].TitleState = TitleState::tsSortedDown;
    const QString text = writeLayoutText(cols);
    QRandomGenerator rng(20240501);
    const QString alphabet = QStringLiteral("'#$+-=<>[](),:.eE0123456789 \r\nabcz_Ж");
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        QString t = text;
        const int edits = 1 + int(rng.bounded(4));
        for (int e = 0; e < edits; ++e) {
            const int pos = int(rng.bounded(quint32(t.size() + 1)));
            switch (rng.bounded(3)) {
            case 0:
                t.truncate(pos);
                break;
            case 1:
                t.insert(pos, alphabet.at(int(rng.bounded(quint32(alphabet.size())))));
                break;
            default:
                if (pos < t.size())
                    t.remove(pos, 1 + int(rng.bounded(5)));
            }
        }
        try {
            const auto parsed = parseLayoutText(t);
            // Whatever was read writes out and reads back the same.
            QCOMPARE(parseLayoutText(writeLayoutText(parsed)), parsed);
            ++accepted;
        } catch (const LayoutTextError &) {
        }
    }
    QVERIFY(accepted > 0);
}

QTEST_GUILESS_MAIN(TestLayoutText)
#include "tst_LayoutText.moc"
