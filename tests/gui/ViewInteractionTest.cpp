// Mouse and keys on the real view: rubber band, square cut, cut, clear,
// erase, reference points, extremum handles and the unit line; removing
// boundaries. Undo and Redo: the bounded history itself and every kind of
// edit of the view put back exactly and done again. (The window's shortcuts
// and the colour list: AnalysisActionsTest.)

#include <cmath>
#include <functional>
#include <sstream>

#include <QTest>

#include "ViewTestSupport.h"
#include "core/EditHistory.h"

namespace {

using quorrel::ViewMode;

// Everything an edit may change, written out so that two states compare as text.
QString describe(const MainViewWidget& view)
{
    std::ostringstream out;
    out.precision(17);
    auto points = [&out](const std::vector<quorrel::Point2d>& list) {
        for (const quorrel::Point2d& point : list)
            out << ' ' << point.x << ',' << point.y;
        out << '\n';
    };
    for (const quorrel::Boundary& boundary : view.boundaries()) {
        const auto& rect = boundary.selectionRect;
        out << "boundary " << boundary.referenceColor.r << ' ' << boundary.maxColorDistance << ' ' << rect.left << ' '
            << rect.top << ' ' << rect.right << ' ' << rect.bottom << ' ' << boundary.indexA << ' ' << boundary.indexB
            << ' ' << boundary.indexC << ' ' << boundary.indexD << ' ' << boundary.indexE << ' '
            << boundary.resampledIndexC << '\n';
        for (const auto* list :
             {&boundary.edgePoints, &boundary.curve, &boundary.referenceCurve, &boundary.curveSamples,
              &boundary.referenceSamples, &boundary.resampledCurve, &boundary.resampledReference})
            points(*list);
        for (const quorrel::CurveNode& node : boundary.curveNodes)
            out << node.point.x << ',' << node.point.y << ' ' << node.prev << ' ' << node.next << ' '
                << node.neighbours.size() << ';';
        out << '\n';
    }
    out << "current " << view.currentBoundaryIndex() << " unit " << view.unitLineStart().x() << ','
        << view.unitLineStart().y() << ' ' << view.unitLineEnd().x() << ',' << view.unitLineEnd().y() << " image "
        << view.imageWidth() << 'x' << view.imageHeight() << (view.imageCut() ? " cut " : " ")
        << qHash(QByteArray::fromRawData(reinterpret_cast<const char*>(view.pixels()),
                                         static_cast<int>(view.imageWidth() * view.imageHeight() * 4)));
    return QString::fromStdString(out.str());
}

} // namespace

class ViewInteractionTest : public QObject {
    Q_OBJECT

private:
    testsupport::ScratchDirectory* scratch = nullptr;
    QString imagePath;
    QString scanPath;

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
        scanPath = testsupport::writeFoveaScan(scratch->filePath("fovea.png"));
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
        QCOMPARE((QList<int>{rect.left, rect.bottom, rect.right, rect.top}), (QList<int>{10, 59, 60, 89}));

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

    void history_KeepsTheNewestEntriesAndANewEditForgetsRedo()
    {
        EditHistory<int> history(EditHistoryLimits{3, 100});
        int live = 0;
        auto exchange = [&live](int& stored) { std::swap(live, stored); };
        for (int value = 1; value <= 5; ++value) {
            history.record("set " + std::to_string(value), live, 10);
            live = value;
        }
        while (history.undo(exchange)) { }
        QCOMPARE(live, 2); // the two oldest edits were forgotten
        QVERIFY(history.redo(exchange));
        QCOMPARE(live, 3);
        QCOMPARE(history.redoLabel(), std::string("set 4"));
        history.record("set 9", live, 10);
        live = 9;
        QVERIFY(!history.canRedo());
        history.record("large", live, 60);
        history.record("larger", live, 60);
        QCOMPARE(history.undoCount(), std::size_t(1)); // over 100 bytes: only the newest stays
        QCOMPARE(history.undoLabel(), std::string("larger"));
    }

    // Each edit, made as a user makes it, is undone to the state before it
    // and redone to the state after it; at the end everything is undone.
    void everyEdit_UndoPutsItBackAndRedoDoesItAgain()
    {
        auto view = testsupport::makeShownView(400, 200);
        QVERIFY(view->loadImage(scanPath.toStdWString(), 0.0, 0.0, 1.0, 1.0));
        view->setFocus();
        auto at = [&view](double x, double y) {
            return testsupport::windowPointForView(*view, static_cast<int>(std::lround(x)),
                                                   static_cast<int>(std::lround(y)));
        };
        auto band = [&view](ViewMode mode, int x0, int y0, int x1, int y1) {
            view->setViewMode(mode);
            testsupport::selectImageRect(*view, x0, y0, x1, y1);
        };
        auto key = [&view](Qt::Key key) { QTest::keyClick(view.get(), key); };
        auto doubleClick = [&](double x, double y) {
            view->setViewMode(ViewMode::InsertCurve);
            QTest::mouseDClick(view.get(), Qt::LeftButton, Qt::NoModifier, at(x, y));
        };
        auto dragCTop = [&] {
            const quorrel::Boundary* boundary = view->currentBoundary();
            const quorrel::Point2d c = boundary->curveSamples[static_cast<std::size_t>(boundary->indexC)];
            view->setViewMode(ViewMode::ControlLocalMinMax);
            testsupport::dragWithLeftButton(*view, at(c.x, c.y), at(c.x + 3, c.y + 2));
        };
        const std::pair<const char*, std::function<void()>> edits[] = {
            {"Detect Retina Contour", [&] { band(ViewMode::Detect, 20, 170, 60, 190), key(Qt::Key_Return); }},
            {"Make Curve", [&] { view->makeBoundaryCurve(); }},
            {"Erase Edge Points", [&] { band(ViewMode::Detect, 0, 100, 100, 199), key(Qt::Key_Delete); }},
            {"Make Curve", [&] { view->makeBoundaryCurve(); }},
            {"Smooth Contour", [&] { view->smoothLine(); }},
            {"Add Reference Point", [&] { doubleClick(5, 60); }},
            {"Add Reference Point", [&] { doubleClick(395, 60); }},
            {"Move Reference Point", [&] { testsupport::dragWithLeftButton(*view, at(395, 60), at(390, 62)); }},
            {"Delete Reference Point", [&] { key(Qt::Key_Delete); }},
            {"Add Reference Point", [&] { doubleClick(395, 60); }},
            {"Calculate Foveal Depth & Width",
             [&] {
                 // The erased stretch leaves the curve short of the reference,
                 // which the detection warns of.
                 testsupport::ModalRecord warning;
                 testsupport::answerNextModal(&warning);
                 view->detectFovealWidthAndDepth();
             }},
            {"Move C Top", dragCTop},
            {"Unit Line", [&] { band(ViewMode::MeasureUnit, 10, 10, 110, 10); }},
            {"Clear", [&] { band(ViewMode::Clear, 300, 150, 350, 180), key(Qt::Key_Delete); }},
            {"Cut", [&] { band(ViewMode::Cut, 280, 120, 380, 190), key(Qt::Key_Return); }},
            {"Remove Boundary", [&] { view->removeBoundary(0); }},
        };
        const QString initial = describe(*view);
        for (const auto& [name, edit] : edits) {
            const QString before = describe(*view);
            edit();
            const QString after = describe(*view);
            QVERIFY2(after != before, name);
            QCOMPARE(view->undoName(), QString::fromUtf8(name));
            QVERIFY(view->undo());
            QCOMPARE(describe(*view), before);
            QVERIFY(view->redo());
            QCOMPARE(describe(*view), after);
        }
        while (view->undo()) { }
        QCOMPARE(describe(*view), initial);
    }
};

QTEST_MAIN(ViewInteractionTest)
#include "ViewInteractionTest.moc"
