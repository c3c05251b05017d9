#pragma once
// A group box with a white face and a flat one-pixel frame, its caption set
// into the frame's top line.

#include <QGroupBox>

namespace quorin {

class TFlatGroupBox : public QGroupBox {
    Q_OBJECT
public:
    TFlatGroupBox(const QString& name, const QString& caption, const QRect& bounds, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace quorin
