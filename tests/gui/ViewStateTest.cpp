// Removing boundaries keeps the current one, or moves to the next (the
// window-to-view mapping is checked against the framebuffer in ViewZoomTest).

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
};

QTEST_MAIN(ViewStateTest)
#include "ViewStateTest.moc"
