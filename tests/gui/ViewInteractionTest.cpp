// Mouse and keys on the real view: rubber band, square cut, cut, clear,
// erase, reference points, extremum handles and the unit line; removing
// boundaries.

#include <QTest>

#include "ViewTestSupport.h"

class ViewInteractionTest : public QObject {
    Q_OBJECT

private:
    testsupport::ScratchDirectory* scratch = nullptr;
    QString imagePath;

    // A 200 x 100 image in a 200 x 100 view: image, view and window agree
    // up to the flip of y.
    std::unique_ptr<MainViewWidget> viewWithImage()
    {
        auto view = testsupport::makeShownView(200, 100);
        view->loadImage(imagePath.toStdWString(), 0.0, 0.0, 1.0, 1.0);
        view->setFocus();
        return view;
    }

    static QPoint at(const MainViewWidget& view, int x, int y) { return testsupport::windowPointForView(view, x, y); }

private slots:
    void initTestCase()
    {
        scratch = new testsupport::ScratchDirectory;
        imagePath = testsupport::writeImage(scratch->filePath("scan.png"), testsupport::gradientImage(200, 100));
    }

    void cleanupTestCase() { delete scratch; }

    void detectAndUnitLine_DragSetsBothEnds()
    {
        auto view = viewWithImage();
        testsupport::dragWithLeftButton(*view, QPoint(10, 10), QPoint(60, 40));
        QCOMPARE(view->selectionStart(), QPoint(10, 89));
        QCOMPARE(view->selectionEnd(), QPoint(60, 59));
        QTest::keyClick(view.get(), Qt::Key_Return);
        QCOMPARE(view->boundaries().size(), std::size_t(1));
        const quorrel::PixelRect rect = view->currentBoundary()->selectionRect;
        QCOMPARE(rect.left, 10);
        QCOMPARE(rect.right, 60);
        QCOMPARE(rect.bottom, 59);
        QCOMPARE(rect.top, 89);

        // A release right after the press moves the corner to it; after a
        // stalled frame the band keeps the corner the drag made.
        QTest::mousePress(view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
        testsupport::moveWithLeftButton(*view, QPoint(60, 40));
        QTest::mouseRelease(view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(70, 45));
        QCOMPARE(view->selectionEnd(), QPoint(70, 54));
        QTest::mousePress(view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
        testsupport::moveWithLeftButton(*view, QPoint(60, 40));
        view->updateFrame(1.0);
        QTest::mouseRelease(view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(70, 45));
        QCOMPARE(view->selectionEnd(), QPoint(60, 59));

        // The unit line: a drag sets both ends, a press starts it anew.
        view->setViewMode(quorrel::ViewMode::MeasureUnit);
        testsupport::dragWithLeftButton(*view, at(*view, 10, 10), at(*view, 110, 20));
        QCOMPARE(view->unitLineStart(), QPoint(10, 10));
        QCOMPARE(view->unitLineEnd(), QPoint(110, 20));
        QTest::mousePress(view.get(), Qt::LeftButton, Qt::NoModifier, at(*view, 5, 5));
        QCOMPARE(view->unitLineStart(), QPoint(5, 5));
        QCOMPARE(view->unitLineEnd(), QPoint(5, 5));
    }

    void cutSquared_MovesFollowTheSquareRule()
    {
        auto view = testsupport::makeShownView(300, 300);
        view->loadImage(imagePath.toStdWString(), 0.0, 0.0, 1.0, 1.0);
        view->setViewMode(quorrel::ViewMode::CutSquared);
        QTest::mousePress(view.get(), Qt::LeftButton, Qt::NoModifier, at(*view, 100, 100));
        QCOMPARE(view->selectionStart(), QPoint(100, 100));
        testsupport::moveWithLeftButton(*view, at(*view, 130, 60));
        QCOMPARE(view->selectionEnd(), QPoint(140, 60));
        testsupport::moveWithLeftButton(*view, at(*view, 130, 90));
        QCOMPARE(view->selectionEnd(), QPoint(130, 70));
        testsupport::moveWithLeftButton(*view, at(*view, 130, 150));
        QCOMPARE(view->selectionEnd(), QPoint(130, 130));
        QTest::mouseRelease(view.get(), Qt::LeftButton, Qt::NoModifier, at(*view, 10, 10));
        QCOMPARE(view->selectionEnd(), QPoint(130, 130));
    }

    // An empty band cuts nothing; a cut reloads the band's rectangle and
    // refuses a second cut.
    void cut_ReloadsTheRectangleAndRefusesASecondCut()
    {
        auto view = viewWithImage();
        view->setViewMode(quorrel::ViewMode::Cut);
        testsupport::dragWithLeftButton(*view, at(*view, 30, 30), at(*view, 30, 30));
        QTest::keyClick(view.get(), Qt::Key_Return);
        QVERIFY(!view->imageCut());
        QCOMPARE(view->imageWidth(), 200u);
        testsupport::dragWithLeftButton(*view, at(*view, 20, 10), at(*view, 70, 50));
        QTest::keyClick(view.get(), Qt::Key_Return);
        QVERIFY(view->imageCut());
        QCOMPARE(view->imageWidth(), 50u);
        QCOMPARE(view->imageHeight(), 40u);
        // The buffer starts at the band's lower left pixel.
        const QRgb corner = testsupport::imagePixelFromBottom(testsupport::gradientImage(200, 100), 20, 10);
        QCOMPARE((QList<int>{view->pixels()[0], view->pixels()[1], view->pixels()[2]}),
                 (QList<int>{qRed(corner), qGreen(corner), qBlue(corner)}));

        testsupport::ModalRecord warning;
        testsupport::answerNextModal(&warning);
        QTest::keyClick(view.get(), Qt::Key_Return);
        QVERIFY(warning.seen);
        QCOMPARE(warning.title, QStringLiteral("Cut Failed"));
        QCOMPARE(warning.text, QStringLiteral("Image was cut before, please load original image before cutting"));
        QCOMPARE(view->imageWidth(), 50u);

        view->loadImage(imagePath.toStdWString(), 0.0, 0.0, 1.0, 1.0);
        QVERIFY(!view->imageCut());
    }

    void clear_WhitensTheHalfOpenRectangleOnly()
    {
        auto view = viewWithImage();
        view->setImageDisplayMode(quorrel::ImageDisplayMode::FitToScreen);
        view->setViewMode(quorrel::ViewMode::Clear);
        // View (0, 0) to (10, 5): window y = 99 - view y in this 1:1 fit.
        testsupport::dragWithLeftButton(*view, QPoint(0, 99), QPoint(10, 94));
        QCOMPARE(view->selectionStart(), QPoint(0, 0));
        QCOMPARE(view->selectionEnd(), QPoint(10, 5));
        QTest::keyClick(view.get(), Qt::Key_Delete);
        const std::uint8_t* pixels = view->pixels();
        auto isWhite = [pixels](int x, int y) {
            const std::uint8_t* p = pixels + (y * 200 + x) * 4;
            return p[0] == 255 && p[1] == 255 && p[2] == 255 && p[3] == 255;
        };
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 10; ++x)
                QVERIFY(isWhite(x, y));
        QVERIFY(!isWhite(10, 0));
        QVERIFY(!isWhite(0, 5));
        // The screen shows it at once (the band, moved away, no longer
        // covers it).
        testsupport::dragWithLeftButton(*view, QPoint(150, 50), QPoint(160, 40));
        const QImage shown = testsupport::renderAndRead(*view);
        QCOMPARE(shown.pixel(5, 97), qRgb(255, 255, 255));
        QVERIFY(shown.pixel(15, 97) != qRgb(255, 255, 255));
    }

    // Edits of a boundary: Delete erases the edge points inside the band,
    // its border included, and empties the curve; reference points; the
    // extremum handles.
    void boundaryEdits_EraseReferencePointsAndHandles()
    {
        auto view = viewWithImage();
        quorrel::Boundary* boundary = testsupport::detectBoundary(*view);
        QVERIFY(boundary);
        boundary->edgePoints = {{10, 10}, {20, 20}, {30, 30}, {31, 20}, {20, 31}};
        boundary->curve = {{1, 1}, {2, 2}};
        QString status;
        view->setStatusHandler([&status](const QString& text) { status = text; });
        testsupport::dragWithLeftButton(*view, at(*view, 10, 10), at(*view, 30, 30));
        QTest::keyClick(view.get(), Qt::Key_Delete);
        QCOMPARE(status, QStringLiteral("Erased 3 edge pixels; the curve is to be made again"));
        QCOMPARE(boundary->edgePoints.size(), std::size_t(2));
        QCOMPARE(boundary->edgePoints[0], (quorrel::Point2d{31, 20}));
        QCOMPARE(boundary->edgePoints[1], (quorrel::Point2d{20, 31}));
        QVERIFY(boundary->curve.empty());

        // Reference points: added by double-clicks, picked in list order, moved and deleted.
        view->setViewMode(quorrel::ViewMode::InsertCurve);
        QTest::mouseDClick(view.get(), Qt::LeftButton, Qt::NoModifier, at(*view, 50, 20));
        QTest::mouseDClick(view.get(), Qt::LeftButton, Qt::NoModifier, at(*view, 51, 21));
        QTest::mouseDClick(view.get(), Qt::LeftButton, Qt::NoModifier, at(*view, 150, 20));
        QCOMPARE(boundary->referenceCurve.size(), std::size_t(3));
        QCOMPARE(boundary->referenceCurve[2], (quorrel::Point2d{150, 20}));

        // Tolerance 200 / 200 = 1: (51, 21) is hit by both of the first two; the earlier wins.
        QTest::mousePress(view.get(), Qt::LeftButton, Qt::NoModifier, at(*view, 51, 21));
        QCOMPARE(view->selectedReferencePointIndex(), 0);
        QTest::mouseRelease(view.get(), Qt::LeftButton, Qt::NoModifier, at(*view, 51, 21));
        QTest::mousePress(view.get(), Qt::LeftButton, Qt::NoModifier, at(*view, 52, 22));
        QCOMPARE(view->selectedReferencePointIndex(), 1);
        QTest::mouseRelease(view.get(), Qt::LeftButton, Qt::NoModifier, at(*view, 52, 22));

        QTest::mousePress(view.get(), Qt::LeftButton, Qt::NoModifier, at(*view, 149, 21));
        QCOMPARE(view->selectedReferencePointIndex(), 2);
        testsupport::moveWithLeftButton(*view, at(*view, 160, 25));
        QTest::mouseRelease(view.get(), Qt::LeftButton, Qt::NoModifier, at(*view, 160, 25));
        QCOMPARE(boundary->referenceCurve[2], (quorrel::Point2d{160, 25}));

        QTest::keyClick(view.get(), Qt::Key_Delete);
        QCOMPARE(boundary->referenceCurve.size(), std::size_t(2));
        QCOMPARE(view->selectedReferencePointIndex(), -1);

        QTest::mousePress(view.get(), Qt::LeftButton, Qt::NoModifier, at(*view, 100, 80));
        QCOMPARE(view->selectedReferencePointIndex(), -1);
        QTest::keyClick(view.get(), Qt::Key_Delete);
        QCOMPARE(boundary->referenceCurve.size(), std::size_t(2));

        // Extremum handles: picked in handle order and dragged.
        view->setViewMode(quorrel::ViewMode::ControlLocalMinMax);
        QTest::mousePress(view.get(), Qt::LeftButton, Qt::NoModifier, at(*view, 50, 50));
        QCOMPARE(view->selectedExtremumHandle(), quorrel::ExtremumHandle::NoHandle); // no extrema yet
        boundary->curveSamples = {{50, 60}, {51, 60}, {150, 60}};
        boundary->referenceSamples = {{50, 10}, {100, 10}, {150, 10}};
        boundary->indexA = 0;
        boundary->indexC = 1;
        boundary->indexE = 2;
        // A Top (50, 60) and C Top (51, 60) are both within the tolerance of 1.
        QTest::mousePress(view.get(), Qt::LeftButton, Qt::NoModifier, at(*view, 51, 60));
        QCOMPARE(view->selectedExtremumHandle(), quorrel::ExtremumHandle::CTop);
        testsupport::moveWithLeftButton(*view, at(*view, 90, 70));
        QTest::mouseRelease(view.get(), Qt::LeftButton, Qt::NoModifier, at(*view, 90, 70));
        QCOMPARE(boundary->curveSamples[1], (quorrel::Point2d{90, 70}));
        QCOMPARE(boundary->indexC, 1);

        QTest::mousePress(view.get(), Qt::LeftButton, Qt::NoModifier, at(*view, 150, 10));
        QCOMPARE(view->selectedExtremumHandle(), quorrel::ExtremumHandle::EBottom);
        testsupport::moveWithLeftButton(*view, at(*view, 140, 12));
        QCOMPARE(boundary->referenceSamples[2], (quorrel::Point2d{140, 12}));
    }

    // Removing a boundary keeps the current one, or moves to the next; with
    // none current (after a load), the first becomes current.
    void removeBoundary_KeepsTheCurrentRecordOrMovesToTheNext()
    {
        auto view = viewWithImage();
        testsupport::selectImageRect(*view, 1, 1, 4, 4);
        for (int tolerance : {30, 31, 32}) {
            view->setMaxColorDistance(tolerance);
            view->detectBoundaryEdges();
        }
        QCOMPARE(view->currentBoundaryIndex(), 2);
        view->removeBoundary(0);
        QCOMPARE(view->currentBoundaryIndex(), 1);
        QCOMPARE(view->currentBoundary()->maxColorDistance, 32);
        view->removeBoundary(1); // the current last one: an index that means none
        QCOMPARE(view->currentBoundaryIndex(), 1);
        QVERIFY(view->currentBoundary() == nullptr);
        view->removeBoundary(5);
        view->removeBoundary(-1);
        QCOMPARE(view->boundaries().size(), std::size_t(1));
        view->detectBoundaryEdges();
        view->loadImage(view->imagePath(), 0.0, 0.0, 1.0, 1.0);
        QCOMPARE(view->currentBoundaryIndex(), -1);
        view->removeBoundary(1);
        QCOMPARE(view->currentBoundaryIndex(), 0);
        view->removeBoundary(0);
        QVERIFY(view->boundaries().empty());
        QCOMPARE(view->currentBoundaryIndex(), -1);
    }

    void unboundKeysAndMissingData_DoNothing()
    {
        auto shown = testsupport::makeShownView(50, 50); // no image, no boundary
        MainViewWidget& view = *shown;
        for (quorrel::ViewMode mode : {quorrel::ViewMode::Detect, quorrel::ViewMode::Cut, quorrel::ViewMode::CutSquared,
                                       quorrel::ViewMode::Clear, quorrel::ViewMode::InsertCurve,
                                       quorrel::ViewMode::ControlLocalMinMax, quorrel::ViewMode::MeasureUnit}) {
            view.setViewMode(mode);
            testsupport::dragWithLeftButton(view, QPoint(1, 1), QPoint(40, 40));
            QTest::mouseDClick(&view, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
            QTest::keyClick(&view, Qt::Key_Return);
            QTest::keyClick(&view, Qt::Key_Delete);
            QTest::keyClick(&view, Qt::Key_A);
        }
        QVERIFY(view.boundaries().empty());
        QVERIFY(!view.hasImage());
    }
};

QTEST_MAIN(ViewInteractionTest)
#include "ViewInteractionTest.moc"
