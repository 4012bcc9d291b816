#pragma once

#include <QWidget>

// A solid separator in the palette's separator colour.
class FillView : public QWidget
{
    Q_OBJECT

public:
    explicit FillView(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
