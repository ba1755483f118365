// The view's small state operations: boundary removal and the window-to-view
// mapping in both display modes.

#include <QTest>

#include "ViewTestSupport.h"

class ViewStateTest : public QObject {
    Q_OBJECT

private:
    // Three boundaries made from three different selections of one image.
    static void addBoundaries(MainViewWidget& view, int count)
    {
        testsupport::selectImageRect(view, 1, 1, 4, 4);
        for (int i = 0; i < count; ++i) {
            view.setMaxColorDistance(30 + i);
            view.detectBoundaryEdges();
        }
    }

    static std::unique_ptr<MainViewWidget> viewWithImage(testsupport::ScratchDirectory& scratch)
    {
        auto view = testsupport::makeShownView(200, 100);
        const QString path = testsupport::writeImage(scratch.filePath("plain.png"), testsupport::gradientImage(40, 20));
        view->loadImage(path.toStdWString(), 0.0, 0.0, 1.0, 1.0);
        return view;
    }

private slots:
    void newView_HasNoCurrentBoundary()
    {
        MainViewWidget view;
        QCOMPARE(MainViewWidget::instance(), &view);
        QVERIFY(view.currentBoundary() == nullptr);
        QVERIFY(!view.hasValidExtrema());
        QCOMPARE(view.currentBoundaryIndex(), -1);
        QCOMPARE(view.maxColorDistance(), 30);
        QCOMPARE(view.minLineConnectionDistance(), 2.0);
        QCOMPARE(view.maxLineConnectionDistance(), 3.0);
        QCOMPARE(view.smoothLevel(), 2);
        QCOMPARE(view.curveDividingCount(), 100);
        QCOMPARE(view.unitMicron(), 100.0);
        QCOMPARE(view.focusPolicy(), Qt::StrongFocus);
    }

    void removeBoundary_KeepsTheCurrentRecordOrMovesToTheNext()
    {
        testsupport::ScratchDirectory scratch;
        auto view = viewWithImage(scratch);
        addBoundaries(*view, 3);
        QCOMPARE(view->boundaries().size(), std::size_t(3));
        QCOMPARE(view->currentBoundaryIndex(), 2);

        // [r0, r1, r2], current 2: removing r0 keeps pointing at r2.
        view->removeBoundary(0);
        QCOMPARE(view->boundaries().size(), std::size_t(2));
        QCOMPARE(view->currentBoundaryIndex(), 1);
        QCOMPARE(view->currentBoundary()->maxColorDistance, 32);

        // [r1, r2], current 1: removing the current last one leaves an index that means none.
        view->removeBoundary(1);
        QCOMPARE(view->currentBoundaryIndex(), 1);
        QVERIFY(view->currentBoundary() == nullptr);

        view->removeBoundary(5);
        view->removeBoundary(-1);
        QCOMPARE(view->boundaries().size(), std::size_t(1));

        view->removeBoundary(0);
        QVERIFY(view->boundaries().empty());
        QCOMPARE(view->currentBoundaryIndex(), -1);
    }

    void removeBoundary_WithNoCurrentMakesTheFirstCurrent()
    {
        testsupport::ScratchDirectory scratch;
        auto view = viewWithImage(scratch);
        addBoundaries(*view, 2);
        // Loading an image keeps the records but makes none current.
        view->loadImage(view->imagePath(), 0.0, 0.0, 1.0, 1.0);
        QCOMPARE(view->currentBoundaryIndex(), -1);
        QCOMPARE(view->boundaries().size(), std::size_t(2));
        view->removeBoundary(1);
        QCOMPARE(view->boundaries().size(), std::size_t(1));
        QCOMPARE(view->currentBoundaryIndex(), 0);
    }

    void mapToView_OriginalSizeFlipsYAroundTheWidget()
    {
        auto view = testsupport::makeShownView(300, 200);
        QCOMPARE(view->mapToView(QPoint(0, 0)), QPoint(0, 199));
        QCOMPARE(view->mapToView(QPoint(299, 199)), QPoint(299, 0));
    }

    void mapToView_FitToScreenScalesToTheImage()
    {
        testsupport::ScratchDirectory scratch;
        auto view = testsupport::makeShownView(100, 50);
        const QString path =
            testsupport::writeImage(scratch.filePath("double.png"), testsupport::gradientImage(200, 100));
        QVERIFY(view->loadImage(path.toStdWString(), 0.0, 0.0, 1.0, 1.0));
        view->setImageDisplayMode(quorrel::ImageDisplayMode::FitToScreen);
        QCOMPARE(view->imageOffset(), quorrel::Point2d{});
        // Window pixel 10 spans image columns 20 and 21; at its centre the
        // picture shows column 21.
        QCOMPARE(view->mapToView(QPoint(10, 0)), QPoint(21, 99));
        view->setImageDisplayMode(quorrel::ImageDisplayMode::FitToScreen); // no change the second time
        QCOMPARE(view->imageOffset(), quorrel::Point2d{});
        view->setImageDisplayMode(quorrel::ImageDisplayMode::OriginalSize);
        QCOMPARE(view->imageOffset().x, -50.0);
        QCOMPARE(view->imageOffset().y, -25.0);
    }
};

QTEST_MAIN(ViewStateTest)
#include "ViewStateTest.moc"
