#include "dialogs/DistanceGraphDialog.h"

#include <QDebug>

#include "qcustomplot.h"
#include "ui_DistanceGraphDialog.h"

namespace {

QVector<double> toVector(const std::vector<double>& values)
{
    return QVector<double>(values.begin(), values.end());
}

void addMarkerGraph(QCustomPlot* plot, const quorrel::PlotSeries& series, const QColor& colour, const QString& name)
{
    QCPGraph* graph = plot->addGraph();
    graph->setData(toVector(series.keys), toVector(series.values));
    graph->setPen(QPen(colour));
    graph->setLineStyle(QCPGraph::lsNone);
    graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, 10));
    graph->setName(name);
}

} // namespace

DistanceGraphDialog::DistanceGraphDialog(QWidget* parent)
    : QDialog(parent)
    , m_ui(new Ui::DistanceGraphDialogClass)
{
    m_ui->setupUi(this);
}

DistanceGraphDialog::~DistanceGraphDialog()
{
    delete m_ui;
}

QCustomPlot* DistanceGraphDialog::plot() const
{
    return m_ui->graphViewWidget;
}

void DistanceGraphDialog::setBoundary(const quorrel::Boundary* boundary)
{
    m_profile = quorrel::makeDistanceProfile(boundary);
}

void DistanceGraphDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    qDebug() << "Distance Graph Dialog is shown";
    QCustomPlot* graphs = m_ui->graphViewWidget;
    graphs->clearGraphs();
    const quorrel::DistanceProfile& profile = m_profile;
    if (!profile.available) {
        graphs->replot();
        return;
    }
    const double count = static_cast<double>(profile.profile.keys.size());
    graphs->xAxis->setLabel(QStringLiteral("Pixel"));
    graphs->xAxis->setRange(0.0, count);
    graphs->yAxis->setLabel(QStringLiteral("Distance"));
    graphs->yAxis->setRange(0.0, profile.largestDistance * 1.1);

    QCPGraph* main = graphs->addGraph();
    main->setData(toVector(profile.profile.keys), toVector(profile.profile.values));
    addMarkerGraph(graphs, profile.maximumPoints, QColor(255, 0, 0, 255), QStringLiteral("Maximum Points"));
    addMarkerGraph(graphs, profile.minimumPoint, QColor(0, 0, 255, 255), QStringLiteral("Minimum Point"));
    addMarkerGraph(graphs, profile.middlePoints, QColor(0, 255, 0, 255), QStringLiteral("Middle Points"));
    graphs->replot();
}

void DistanceGraphDialog::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    qDebug() << "Distance Graph Dialog is hidden";
}
