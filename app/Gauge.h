#pragma once
// A horizontal bar gauge: black one-pixel frame, white background, the filled
// share in the fill colour, and the percentage centred in the inverse of the
// colour beneath it.

#include <QWidget>

namespace quorin {

class TGauge : public QWidget {
    Q_OBJECT
public:
    explicit TGauge(QWidget* parent = nullptr);

    int MinValue() const { return minValue_; }
    int MaxValue() const { return maxValue_; }
    int Progress() const { return progress_; }
    void SetProgress(int value);
    // "%d%%" of the share done, as the gauge shows it.
    QString PercentText() const;

    static constexpr QRgb ForeColor = 0xFFFFD042; // RGB(255, 208, 66)

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int PercentDone() const;

    int minValue_ = 0;
    int maxValue_ = 100;
    int progress_ = 0;
};

} // namespace quorin
