#include "core/platform/ScreenFit.h"

#include <QTest>

// Keeping a window's outer frame on the screen's available area: a window
// that fits is never nudged, one that spills over moves only as far as it
// must, and one too large shows its top-left corner.
class TestScreenFit : public QObject {
    Q_OBJECT

private slots:
    void movesTheFrameTheLeastDistanceOntoTheArea_data()
    {
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QPoint>("expected");
        // 1280 x 800 with a 30-pixel panel along the top and the bottom.
        const QRect screen(0, 30, 1280, 740);
        QTest::newRow("fits") << screen << QRect(100, 100, 300, 200) << QPoint(100, 100);
        QTest::newRow("flush with right and bottom")
            << screen << QRect(980, 570, 300, 200) << QPoint(980, 570);
        QTest::newRow("flush with left and top") << screen << QRect(0, 30, 300, 200) << QPoint(0, 30);
        QTest::newRow("off left") << screen << QRect(-288, 100, 300, 200) << QPoint(0, 100);
        QTest::newRow("off right") << screen << QRect(1100, 100, 300, 200) << QPoint(980, 100);
        QTest::newRow("under the top panel") << screen << QRect(100, 10, 300, 200) << QPoint(100, 30);
        QTest::newRow("off bottom") << screen << QRect(100, 700, 300, 200) << QPoint(100, 570);
        QTest::newRow("off bottom-left") << screen << QRect(-288, 800, 300, 200) << QPoint(0, 570);
        QTest::newRow("off top-right") << screen << QRect(1200, -50, 300, 200) << QPoint(980, 30);
        QTest::newRow("larger both ways")
            << screen << QRect(-50, 900, 1400, 900) << QPoint(0, 30);
        QTest::newRow("wider only") << screen << QRect(500, 700, 1400, 200) << QPoint(0, 570);
        // A second monitor left of the primary one.
        const QRect left(-1920, 0, 1920, 1050);
        QTest::newRow("left monitor, off its left and bottom")
            << left << QRect(-2000, 1000, 300, 200) << QPoint(-1920, 850);
        QTest::newRow("left monitor, over onto the primary")
            << left << QRect(-100, 100, 300, 200) << QPoint(-300, 100);
        QTest::newRow("left monitor, fits") << left << QRect(-1500, 10, 300, 200) << QPoint(-1500, 10);
        QTest::newRow("no screen known") << QRect() << QRect(-288, 900, 300, 200) << QPoint(-288, 900);
    }
    void movesTheFrameTheLeastDistanceOntoTheArea()
    {
        QFETCH(QRect, area);
        QFETCH(QRect, frame);
        QFETCH(QPoint, expected);
        QCOMPARE(FitIntoArea(frame, area), expected);
    }
};

QTEST_MAIN(TestScreenFit)
#include "test_screenfit.moc"
