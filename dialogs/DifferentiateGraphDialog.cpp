#include "dialogs/DifferentiateGraphDialog.h"

#include <QDebug>

#include "qcustomplot.h"
#include "ui_DifferentiateGraphDialog.h"

DifferentiateGraphDialog::DifferentiateGraphDialog(QWidget* parent)
    : QDialog(parent)
    , m_ui(new Ui::DifferentiateGraphDialogClass)
{
    m_ui->setupUi(this);
}

DifferentiateGraphDialog::~DifferentiateGraphDialog()
{
    delete m_ui;
}

QCustomPlot* DifferentiateGraphDialog::plot() const
{
    return m_ui->graphViewWidget;
}

void DifferentiateGraphDialog::setBoundary(const quorrel::Boundary* boundary)
{
    m_profile = quorrel::makeDifferenceProfile(boundary);
    m_distanceCount = boundary ? boundary->resampledDistances.size() : 0;
}

void DifferentiateGraphDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    qDebug() << "Differentiate Graph Dialog is shown";
    QCustomPlot* graphs = m_ui->graphViewWidget;
    graphs->clearGraphs();
    const quorrel::DifferenceProfile& profile = m_profile;
    if (!profile.available) {
        graphs->replot();
        return;
    }
    graphs->xAxis->setLabel(QStringLiteral("Pixel"));
    graphs->xAxis->setRange(0.0, static_cast<double>(m_distanceCount));
    graphs->yAxis->setLabel(QStringLiteral("Differences"));
    if (profile.differences.keys.empty())
        graphs->yAxis->setRange(-1.0, 1.0); // nothing to show: a finite default instead of the running extremes
    else
        graphs->yAxis->setRange(profile.smallest * 1.1, profile.largest * 1.1);
    QCPGraph* graph = graphs->addGraph();
    graph->setData(QVector<double>(profile.differences.keys.begin(), profile.differences.keys.end()),
                   QVector<double>(profile.differences.values.begin(), profile.differences.values.end()));
    graphs->replot();
}
