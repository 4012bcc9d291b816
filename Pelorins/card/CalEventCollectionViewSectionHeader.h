#pragma once

#include <QWidget>

class QLabel;

// The header of one day in the popover's event list.
class CalEventCollectionViewSectionHeader : public QWidget
{
    Q_OBJECT

public:
    static constexpr QLatin1String identifier {"CalEventCollectionViewSectionHeader"};

    explicit CalEventCollectionViewSectionHeader(QWidget* parent = nullptr);

    QLabel* titleLabel() const { return m_titleLabel; }

private:
    QLabel* m_titleLabel = nullptr;
};
