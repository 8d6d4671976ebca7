#include "invoicetext.h"

#include <QtTest>

// An invoice sent to the other kind of output than it was made for.
class TestInvoiceText : public QObject
{
    Q_OBJECT

private slots:
    void plainTextOfHtml_data();
    void plainTextOfHtml();
    void textAsHtmlKeepsLines();
    void title_data();
    void title();
};

void TestInvoiceText::plainTextOfHtml_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("text");

    QTest::newRow("headings and paragraphs are lines")
        << "<html><head><meta charset='utf-8'><title>x</title></head><body><h1>Račun 7</h1><p>Kava</p><p>Hvala</p></body></html>"
        << "Račun 7\nKava\nHvala\n";
    QTest::newRow("line breaks and blanks") << "<p>a&nbsp;b<br>c   </p>" << "a b\nc\n";
    QTest::newRow("no script or style text") << "<style>p{color:red}</style><script>var x=1;</script><p>ok</p>"
                                             << "ok\n";
    QTest::newRow("images leave nothing") << "<p><img src='logo.png'>Tvrtka</p>" << "Tvrtka\n";
    QTest::newRow("entities decoded") << "<p>&lt;5 &amp; &quot;x&quot;</p>" << "<5 & \"x\"\n";
    QTest::newRow("nothing to show") << "<html><body></body></html>" << "";
}

void TestInvoiceText::plainTextOfHtml()
{
    QFETCH(QString, html);
    QFETCH(QString, text);
    QCOMPARE(invoicePlainText(html), text);
    QCOMPARE(invoiceFor(html, true, false), text);
    QCOMPARE(invoiceFor(html, true, true), html);
}

void TestInvoiceText::textAsHtmlKeepsLines()
{
    const QString receipt = QStringLiteral("Račun 9\nKava      2,00\n<b>&</b>\n");
    const QString html = invoiceFor(receipt, false, true);
    QVERIFY(html.contains(QStringLiteral("<pre")));
    QVERIFY(html.contains(QStringLiteral("&lt;b&gt;&amp;&lt;/b&gt;")));
    QCOMPARE(invoicePlainText(html), receipt); // and back, column blanks kept
    QCOMPARE(invoiceFor(receipt, false, false), receipt);
}

void TestInvoiceText::title_data()
{
    QTest::addColumn<QString>("invoice");
    QTest::addColumn<bool>("isHtml");
    QTest::addColumn<QString>("title");

    QTest::newRow("text: first line with text") << "\n  Račun 12  \nukupno 3,00" << false << "Račun 12";
    QTest::newRow("html: not the markup")
        << "<html><head><meta charset='utf-8'><title>Naslov</title></head><body>\n<h2>Račun 5</h2><p>x</p></body></html>"
        << true << "Račun 5";
    QTest::newRow("empty") << "" << false << "";
}

void TestInvoiceText::title()
{
    QFETCH(QString, invoice);
    QFETCH(bool, isHtml);
    QFETCH(QString, title);
    QCOMPARE(invoiceTitle(invoice, isHtml), title);
}

QTEST_MAIN(TestInvoiceText)
#include "tst_invoicetext.moc"
