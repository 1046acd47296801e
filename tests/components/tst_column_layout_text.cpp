// The text form of a column list: what the writer produces for each stored
// property, that a text reads back, and that texts outside the notation fail
// with an error that says what is wrong.
#include "components/column_layout_text.h"
#include "platform/app_error.h"

#include <QtTest>

Q_DECLARE_METATYPE(GridColumn)

namespace {
const QString kHead = QStringLiteral("object TUniDataStorage\r\n  Data = <\r\n    item\r\n");
const QString kTail = QStringLiteral("    end>\r\nend\r\n");

GridColumn col(std::function<void(GridColumn&)> set)
{
    GridColumn c;
    set(c);
    return c;
}
} // namespace

class TestColumnLayoutText : public QObject
{
    Q_OBJECT

private slots:
    void writesOneColumn_data()
    {
        QTest::addColumn<GridColumn>("column");
        QTest::addColumn<QString>("lines"); // the lines between "item" and "end"

        QTest::newRow("all defaults") << GridColumn{} << QString();
        QTest::newRow("caption, footer text, read-only are not stored") << col([](GridColumn& c) {
            c.caption = "Дата";
            c.footerText = "1/2/3";
            c.readOnly = true;
        }) << QString();
        QTest::newRow("every property in its order")
            << col([](GridColumn& c) {
                   c.alignment = ColumnAlignment::talRightJustify;
                   c.color = DelphiColors::clYellow;
                   c.layoutIndex = 2;
                   c.layoutLevel = 1;
                   c.width = 97;
                   c.footerState = FooterState::fsSum;
                   c.titleState = TitleState::tsSortedDown;
                   c.optionsVisual = QStringList{"a", "b"};
                   c.fieldName = "T_1";
               })
            << "      FieldName = 'T_1'\r\n      OptionsVisual = [a, b]\r\n"
               "      TitleState = tsSortedDown\r\n      FooterState = fsSum\r\n"
               "      Width = 97\r\n      LayoutLevel = 1\r\n      LayoutIndex = 2\r\n"
               "      Color = clYellow\r\n      Alignment = talRightJustify\r\n";
        QTest::newRow("width 45 is the default")
            << col([](GridColumn& c) { c.width = 45; }) << QString();
        QTest::newRow("colour without a name as a decimal")
            << col([](GridColumn& c) { c.color = 0x123456; }) << "      Color = 1193046\r\n";
        QTest::newRow("system colour by its name")
            << col([](GridColumn& c) { c.color = DelphiColors::clWindow; })
            << "      Color = clWindow\r\n";
        QTest::newRow("quote doubled, non-ASCII as codes")
            << col([](GridColumn& c) { c.fieldName = "it's Я"; })
            << "      FieldName = 'it''s '#1071\r\n";
        QTest::newRow("own font")
            << col([](GridColumn& c) {
                   c.font = GridFont{};
                   c.font->style = QStringList{"fsBold"};
               })
            << "      Font.Charset = DEFAULT_CHARSET\r\n      Font.Color = clWindowText\r\n"
               "      Font.Height = -11\r\n      Font.Name = 'MS Sans Serif'\r\n"
               "      Font.Style = [fsBold]\r\n";
    }

    void writesOneColumn()
    {
        QFETCH(GridColumn, column);
        QFETCH(QString, lines);
        QCOMPARE(writeColumnLayout({column}), kHead + lines + kTail);
    }

    void writesListsOfEveryLength()
    {
        QCOMPARE(writeColumnLayout({}),
                 QStringLiteral("object TUniDataStorage\r\n  Data = <>\r\nend\r\n"));
        GridColumn a, b;
        a.fieldName = "A";
        b.fieldName = "B";
        QCOMPARE(writeColumnLayout({a, b}),
                 QStringLiteral("object TUniDataStorage\r\n  Data = <\r\n    item\r\n"
                                "      FieldName = 'A'\r\n    end\r\n    item\r\n"
                                "      FieldName = 'B'\r\n    end>\r\nend\r\n"));
    }

    void readsBackWhatItWrote()
    {
        GridColumn a = col([](GridColumn& c) {
            c.fieldName = "It's Дата";
            c.width = 7;
            c.layoutLevel = 3;
            c.layoutIndex = -2;
            c.titleState = TitleState::tsSortedUp;
            c.footerState = FooterState::fsAverage;
            c.optionsVisual = QStringList{"x"};
            c.color = 0x654321;
            c.alignment = ColumnAlignment::talCenter;
            c.font =
                GridFont{"RUSSIAN_CHARSET", DelphiColors::clHighlight, 12, "Arial", {"fsItalic"}};
        });
        GridColumn b = col([](GridColumn& c) { c.color = DelphiColors::clSilver; });
        const GridColumnList read = readColumnLayout(writeColumnLayout({a, b, GridColumn{}}));
        QCOMPARE(read.size(), 3);
        QCOMPARE(read[0], a);
        QCOMPARE(read[1], b);
        QCOMPARE(read[2], GridColumn{});
        QVERIFY(readColumnLayout(writeColumnLayout({})).isEmpty());
    }

    void readsTheWiderNotation()
    {
        // Line ends of any kind, a named object, a description, strings in
        // pieces joined with "+", case-insensitive names, hex numbers.
        const QString text =
            "object Storage: TUniDataStorage\n  Description = 'x'\n  Data = <\n    item\r"
            "      fieldname = 'T_' +\n        '1'#32\n      WIDTH = $10\n"
            "      Color = clLtGray\n      OptionsVisual = []\n    end>\nend";
        const GridColumnList read = readColumnLayout(text);
        QCOMPARE(read.size(), 1);
        QCOMPARE(read[0].fieldName, QStringLiteral("T_1 "));
        QCOMPARE(read[0].width, 16);
        QCOMPARE(read[0].color, DelphiColors::clSilver);
    }

    void rejectsTextsOutsideTheNotation_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");
        const QString item = "object TUniDataStorage\r\n  Data = <\r\n    item\r\n      ";
        QTest::newRow("empty") << QString() << "'object' expected on line 1";
        QTest::newRow("another holder") << "object TForm\r\nend\r\n"
                                        << "TUniDataStorage expected on line 1";
        QTest::newRow("unknown column property") << item + "Caption = 'x'\r\n    end>\r\nend\r\n"
                                                 << "Property Caption does not exist on line 4";
        QTest::newRow("unknown holder property")
            << "object TUniDataStorage\r\n  Items = 1\r\nend\r\n"
            << "Property Items does not exist on line 2";
        QTest::newRow("text for a number") << item + "Width = 'wide'\r\n    end>\r\nend\r\n"
                                           << "Invalid property value on line 4";
        QTest::newRow("unknown enumeration value")
            << item + "Alignment = talMiddle\r\n    end>\r\nend\r\n"
            << "Invalid property value on line 4";
        QTest::newRow("unknown colour") << item + "Color = clPink\r\n    end>\r\nend\r\n"
                                        << "Invalid property value on line 4";
        QTest::newRow("open string") << item + "FieldName = 'N\r\n    end>\r\nend\r\n"
                                     << "Unterminated string on line 4";
        QTest::newRow("missing equals") << item + "Width 10\r\n    end>\r\nend\r\n"
                                        << "'=' expected on line 4";
        QTest::newRow("unclosed collection") << item + "Width = 10\r\n    end\r\nend\r\n"
                                             << "'item' expected on line 6";
        QTest::newRow("missing end") << item + "Width = 10\r\n    end>"
                                     << "Identifier expected on line 5";
        QTest::newRow("trailing text") << "object TUniDataStorage\r\nend\r\nend\r\n"
                                       << "End of file expected on line 3";
        QTest::newRow("number too large") << item + "Width = 99999999999\r\n    end>\r\nend\r\n"
                                          << "Invalid numeric value on line 4";
    }

    void rejectsTextsOutsideTheNotation()
    {
        QFETCH(QString, text);
        QFETCH(QString, error);
        try {
            readColumnLayout(text);
            QFAIL("no error");
        } catch (const AppError& e) {
            QCOMPARE(e.text(), error);
        }
    }

    void normalizesLineEnds()
    {
        QCOMPARE(normalizeLineEnds("a\nb\r\nc\rd\n\n"), QStringLiteral("a\r\nb\r\nc\r\nd\r\n\r\n"));
    }

    void colourNamesAndValues()
    {
        // Values of the Delphi colour constants, written out again here.
        QCOMPARE(identToColor("clYellow"), std::optional<TColor>(0x00FFFF));
        QCOMPARE(identToColor("CLNONE"), std::optional<TColor>(0x1FFFFFFF));
        QCOMPARE(identToColor("clBtnFace"), std::optional<TColor>(TColor(0x8000000F)));
        QCOMPARE(identToColor("clPink"), std::nullopt);
        QCOMPARE(colorToIdent(0xC0C0C0), QStringLiteral("clSilver")); // not the alias clLtGray
        QCOMPARE(toQColor(0x0000FF), QColor(255, 0, 0));              // BGR order
        QCOMPARE(fromQColor(QColor(0, 0, 255)), TColor(0xFF0000));
        QVERIFY(!toQColor(DelphiColors::clNone).isValid());
    }
};

QTEST_GUILESS_MAIN(TestColumnLayoutText)
#include "tst_column_layout_text.moc"
