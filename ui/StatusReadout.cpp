#include "ui/StatusReadout.h"

#include <QCoreApplication>
#include <QLabel>
#include <QStatusBar>

namespace {

QLabel* addLabel(QStatusBar* bar, const char* objectName, bool permanent)
{
    auto* label = new QLabel(bar);
    label->setObjectName(QString::fromLatin1(objectName));
    if (permanent)
        bar->addPermanentWidget(label);
    else
        bar->addWidget(label, 1);
    return label;
}

QString tr(const char* text)
{
    return QCoreApplication::translate("StatusReadout", text);
}

} // namespace

StatusReadout::StatusReadout(QStatusBar* bar)
    // The result is an ordinary widget, not a temporary message, so that
    // menu hints passing over the bar do not wipe it.
    : m_result(addLabel(bar, "actionStatusLabel", false))
    , m_pixel(addLabel(bar, "pixelStatusLabel", true))
    , m_zoom(addLabel(bar, "zoomStatusLabel", true))
    , m_mode(addLabel(bar, "modeStatusLabel", true))
{
}

void StatusReadout::showPixel(int x, int yFromTop, int yFromBottom, const unsigned char* rgba)
{
    QString value = tr("RGB %1, %2, %3").arg(rgba[0]).arg(rgba[1]).arg(rgba[2]);
    if (rgba[3] != 255)
        value = tr("RGBA %1, %2, %3, %4").arg(rgba[0]).arg(rgba[1]).arg(rgba[2]).arg(rgba[3]);
    m_pixel->setText(tr("x %1, y %2 (report y %3): %4").arg(x).arg(yFromTop).arg(yFromBottom).arg(value));
}

void StatusReadout::clearPixel()
{
    m_pixel->clear();
}

void StatusReadout::showZoom(double horizontal, double vertical)
{
    // Below 100 % a decimal tells 1/8 (12.5 %) from its neighbours.
    auto percent = [](double scale) {
        const double value = scale * 100.0;
        return QString::number(value, 'f', value < 99.95 ? 1 : 0);
    };
    if (percent(horizontal) == percent(vertical))
        m_zoom->setText(tr("Zoom %1%").arg(percent(horizontal)));
    else
        m_zoom->setText(tr("Zoom %1% x %2%").arg(percent(horizontal), percent(vertical)));
}

void StatusReadout::showMode(const QString& modeText)
{
    m_mode->setText(tr("Mode: %1").arg(modeText));
}

void StatusReadout::showResult(const QString& text)
{
    m_result->setText(text);
}

QString StatusReadout::result() const
{
    return m_result->text();
}
