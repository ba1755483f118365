#include "dialogs/DifferentiateGraphDialog.h"

#include <QDebug>

#include "analysis/GraphSeries.h"
#include "qcustomplot.h"
#include "ui_DifferentiateGraphDialog.h"
#include "view/MainViewWidget.h"

DifferentiateGraphDialog::DifferentiateGraphDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::DifferentiateGraphDialogClass)
{
    ui->setupUi(this);
}

DifferentiateGraphDialog::~DifferentiateGraphDialog()
{
    delete ui;
}

QCustomPlot* DifferentiateGraphDialog::plot() const
{
    return ui->graphViewWidget;
}

void DifferentiateGraphDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    qDebug() << "Differentiate Graph Dialog is shown";
    QCustomPlot* graphs = ui->graphViewWidget;
    graphs->clearGraphs();
    MainViewWidget* view = MainViewWidget::instance();
    const quorrel::DifferenceProfile profile = quorrel::makeDifferenceProfile(view ? view->currentBoundary() : nullptr);
    if (!profile.available) {
        graphs->replot();
        return;
    }
    const quorrel::Boundary* boundary = view->currentBoundary();
    graphs->xAxis->setLabel(QStringLiteral("Pixel"));
    graphs->xAxis->setRange(0.0, static_cast<double>(boundary->resampledDistances.size()));
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
