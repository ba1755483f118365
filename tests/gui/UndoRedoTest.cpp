// Undo and Redo: the bounded history itself and every kind of edit of the
// view put back exactly and done again. (The window's shortcuts and the
// colour list: AnalysisActionsTest.)

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

class UndoRedoTest : public QObject {
    Q_OBJECT

private:
    testsupport::ScratchDirectory* scratch = nullptr;
    QString scanPath;

private slots:
    void initTestCase()
    {
        scratch = new testsupport::ScratchDirectory;
        scanPath = testsupport::writeFoveaScan(scratch->filePath("fovea.png"));
    }

    void cleanupTestCase() { delete scratch; }

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

QTEST_MAIN(UndoRedoTest)
#include "UndoRedoTest.moc"
