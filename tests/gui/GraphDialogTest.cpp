// The two graph dialogs, run modally by the window's actions, plot the
// thickness profile of the current boundary and its differences.

#include <QAction>
#include <QTest>

#include "ViewTestSupport.h"
#include "dialogs/DifferentiateGraphDialog.h"
#include "dialogs/DistanceGraphDialog.h"
#include "qcustomplot.h"
#include "ui/Quorrel.h"

class GraphDialogTest : public QObject {
    Q_OBJECT

private:
    // A boundary with 100 resampled pairs whose distance is 50 - |i - 40| / 2,
    // so the profile has its minimum-free V shape around index 40.
    static void fillMeasuredBoundary(quorrel::Boundary& boundary, double scale)
    {
        boundary.curveSamples = {{10, 60}, {50, 40}, {90, 60}};
        boundary.referenceSamples = {{10, 10}, {50, 10}, {90, 10}};
        boundary.indexA = 0;
        boundary.indexC = 1;
        boundary.indexE = 2;
        boundary.resampledCurve.clear();
        boundary.resampledReference.clear();
        boundary.resampledDistances.clear();
        for (int i = 0; i < 100; ++i) {
            const double d = scale * (20.0 + std::abs(i - 40) * 0.5);
            boundary.resampledReference.push_back({double(i), 0.0});
            boundary.resampledCurve.push_back({double(i), d});
            boundary.resampledDistances.push_back(d);
        }
        boundary.resampledIndexC = 40;
        boundary.indexB = 20;
        boundary.indexD = 70;
    }

    static std::unique_ptr<Quorrel> windowWithBoundary(testsupport::ScratchDirectory& scratch)
    {
        auto window = testsupport::makeShownWindow<Quorrel>(800, 600);
        const QString path = testsupport::writeImage(scratch.filePath("scan.png"), testsupport::gradientImage(60, 40));
        window->view()->loadImage(path.toStdWString(), 0.0, 0.0, 1.0, 1.0);
        testsupport::detectBoundary(*window->view());
        return window;
    }

    // The keys or the values of a graph's points.
    static QVector<double> column(QCPGraph* graph, bool keys)
    {
        QVector<double> result;
        for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
            result << (keys ? it->key : it->value);
        return result;
    }
    static QVector<double> keys(QCPGraph* graph) { return column(graph, true); }
    static QVector<double> values(QCPGraph* graph) { return column(graph, false); }

    // Runs the window's action; its dialog must come modal. Its title.
    static QString runModally(Quorrel& window, const char* action)
    {
        testsupport::ModalRecord record;
        bool modal = false;
        testsupport::answerNextModal(&record, [&modal](QWidget* dialog) {
            modal = QApplication::activeModalWidget() == dialog;
            static_cast<QDialog*>(dialog)->accept();
        });
        testsupport::child<QAction>(&window, action)->trigger();
        return modal ? record.title : QStringLiteral("not modal");
    }

private slots:
    // Each run of an action plots the current boundary as it is then: the
    // profile with its markers, and the forward differences of the smoothed
    // profile.
    void graphs_PlotTheProfileWithItsMarkersAndItsDifferences()
    {
        testsupport::ScratchDirectory scratch;
        auto window = windowWithBoundary(scratch);
        QCustomPlot* plot = window->distanceGraphDialog()->plot();
        QCOMPARE(runModally(*window, "action_View_Distance_Graph"), QStringLiteral("Distance Graph"));
        QCOMPARE(plot->graphCount(), 0); // before any detection: nothing to plot

        quorrel::Boundary* boundary = window->view()->currentBoundary();
        fillMeasuredBoundary(*boundary, 1.0);
        runModally(*window, "action_View_Distance_Graph");
        QCOMPARE(plot->graphCount(), 4);
        QCOMPARE(plot->graph(0)->data()->size(), 100);
        QCOMPARE(keys(plot->graph(0)).last(), 99.0);
        QCOMPARE(values(plot->graph(0))[40], 20.0);
        QCOMPARE(keys(plot->graph(1)), (QVector<double>{0.0, 99.0}));
        QCOMPARE(values(plot->graph(1)), (QVector<double>{40.0, 49.5}));
        QCOMPARE(plot->graph(1)->name(), QStringLiteral("Maximum Points"));
        QCOMPARE(plot->graph(1)->pen().color(), QColor(255, 0, 0));
        QCOMPARE(keys(plot->graph(2)), QVector<double>{40.0});
        QCOMPARE(plot->graph(2)->pen().color(), QColor(0, 0, 255));
        QCOMPARE(keys(plot->graph(3)), (QVector<double>{20.0, 70.0}));
        QCOMPARE(plot->graph(3)->pen().color(), QColor(0, 255, 0));
        QCOMPARE(plot->graph(3)->lineStyle(), QCPGraph::lsNone);
        QCOMPARE(plot->xAxis->label(), QStringLiteral("Pixel"));
        QCOMPARE(plot->xAxis->range().upper, 100.0);
        QCOMPARE(plot->yAxis->label(), QStringLiteral("Distance"));
        QCOMPARE(plot->yAxis->range().lower, 0.0);
        QVERIFY(std::fabs(plot->yAxis->range().upper - 49.5 * 1.1) < 1e-9);

        // A new detection, its markers outside the lists: those are left out.
        fillMeasuredBoundary(*boundary, 2.0);
        boundary->indexB = -1;
        boundary->indexD = 100;
        runModally(*window, "action_View_Distance_Graph");
        QCOMPARE(values(plot->graph(0))[40], 40.0);
        QCOMPARE(plot->graph(3)->data()->size(), 0);

        fillMeasuredBoundary(*boundary, 1.0);
        QCOMPARE(runModally(*window, "action_View_Differentiate_Graph"), QStringLiteral("Differentiate Graph"));
        plot = window->differentiateGraphDialog()->plot();
        QCOMPARE(plot->graphCount(), 1);
        QCOMPARE(plot->graph(0)->data()->size(), 99);
        QCOMPARE(keys(plot->graph(0)).last(), 98.0);
        // Far from the bend and the ends the smoothed slope is 0.5 * 1.001.
        QVERIFY(std::fabs(values(plot->graph(0))[80] - 0.5005) < 1e-12);
        QVERIFY(std::fabs(values(plot->graph(0))[10] + 0.5005) < 1e-12);
        QCOMPARE(plot->xAxis->range().upper, 100.0);
        QCOMPARE(plot->yAxis->label(), QStringLiteral("Differences"));
        QVERIFY(std::fabs(plot->yAxis->range().lower + 0.5005 * 1.1) < 1e-12);
        QVERIFY(std::fabs(plot->yAxis->range().upper - 0.5005 * 1.1) < 1e-12);
    }
};

QTEST_MAIN(GraphDialogTest)
#include "GraphDialogTest.moc"
