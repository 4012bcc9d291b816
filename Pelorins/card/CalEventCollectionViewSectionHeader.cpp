#include "Pelorins/card/CalEventCollectionViewSectionHeader.h"

#include <QHBoxLayout>
#include <QLabel>

CalEventCollectionViewSectionHeader::CalEventCollectionViewSectionHeader(QWidget* parent)
    : QWidget(parent)
    , m_titleLabel(new QLabel(this))
{
    m_titleLabel->setObjectName(QStringLiteral("titleLabel"));
    QFont bold = m_titleLabel->font();
    bold.setBold(true);
    m_titleLabel->setFont(bold);
    // Opaque, as rows scroll under a pinned header.
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 2, 6, 2);
    layout->addWidget(m_titleLabel);
}
