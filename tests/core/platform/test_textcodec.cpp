#include "core/platform/TextCodec.h"

#include <QTest>

class TestTextCodec : public QObject {
    Q_OBJECT
private slots:
    void decodesUtf8AndFallsBackToWindows1252()
    {
        QCOMPARE(DecodeLine("plain"), QStringLiteral("plain"));
        QCOMPARE(DecodeLine("Ren\xc3\xa9"), QStringLiteral("Ren\u00e9"));
        // The same name from an older installation, written in Windows-1252.
        QCOMPARE(DecodeLine("Ren\xe9"), QStringLiteral("Ren\u00e9"));
        QCOMPARE(DecodeLine("\x80 \x93quoted\x94"), QStringLiteral("\u20ac \u201cquoted\u201d"));
        // A truncated UTF-8 sequence is not valid UTF-8.
        QVERIFY(!IsValidUtf8("abc\xc3"));
        QCOMPARE(DecodeLine("abc\xc3"), QStringLiteral("abc\u00c3"));
    }
    void roundTripsNonLatinText()
    {
        const QString text = QStringLiteral("\u4f60\u597d \u00d8ystein \U0001F600");
        QCOMPARE(DecodeLine(EncodeLine(text)), text);
    }
};

QTEST_GUILESS_MAIN(TestTextCodec)
#include "test_textcodec.moc"
