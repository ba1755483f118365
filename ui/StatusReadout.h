#pragma once

// The status bar's read-outs: the image pixel under the cursor, the zoom,
// the interaction mode, and what the last action did.

#include <QString>

class QLabel;
class QStatusBar;

class StatusReadout {
public:
    explicit StatusReadout(QStatusBar* bar);

    // x is the column, yFromTop the row as image viewers count it and
    // yFromBottom as the report counts it; rgba is the pixel's value.
    void showPixel(int x, int yFromTop, int yFromBottom, const unsigned char* rgba);
    void clearPixel();
    void showMode(const QString& modeText);
    // Screen pixels per image pixel; one figure when both axes agree.
    void showZoom(double horizontal, double vertical);
    void showResult(const QString& text);
    QString result() const;

private:
    QLabel* m_result;
    QLabel* m_pixel;
    QLabel* m_zoom;
    QLabel* m_mode;
};
