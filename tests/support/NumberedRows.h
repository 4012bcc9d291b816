#pragma once

#include "Platform/widgets/SectionedListViewDataSource.h"

#include <QWidget>

// One section of ten plain rows, 40 high, whose identities count up from `firstId`.
class NumberedRows : public SectionedListViewDataSource
{
public:
    explicit NumberedRows(quint64 firstId = 1)
        : m_firstId(firstId)
    {
    }

    int numberOfSections() const override { return 1; }
    int numberOfItems(int) const override { return 10; }
    QString itemKind(const IndexPath&) const override { return QStringLiteral("row"); }
    QSize sizeForItem(const IndexPath&, int) const override { return QSize(0, 40); }
    quint64 itemIdentity(const IndexPath& path) const override { return m_firstId + quint64(path.item); }
    QWidget* createItemWidget(const QString&) override
    {
        auto* widget = new QWidget;
        widget->setAutoFillBackground(true);
        return widget;
    }
    void configureItem(QWidget*, const IndexPath&) override { }
    QWidget* createHeaderWidget() override { return new QWidget; }
    void configureHeader(QWidget*, int) override { }

private:
    quint64 m_firstId;
};
