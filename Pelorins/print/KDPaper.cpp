#include "Pelorins/print/KDPaper.h"

#include <QSize>
#include <algorithm>

std::optional<KDPaper> KDPaper::from(const QPageSize& size)
{
    const QSize points = size.sizePoints();
    if (!size.isValid() || points.width() <= 0 || points.height() <= 0)
        return std::nullopt;
    KDPaper paper;
    paper.paperIsCustom = size.id() == QPageSize::Custom;
    // Portrait, whatever way round the printer describes it.
    paper.width = std::min(points.width(), points.height());
    paper.height = std::max(points.width(), points.height());
    paper.paperID = size.key();
    paper.paperName = size.key();
    paper.localisedPaperName = size.name();
    paper.pageSize = size;
    return paper;
}

void KDPaper::sort(QList<KDPaper>& papers)
{
    std::stable_sort(papers.begin(), papers.end(), [](const KDPaper& a, const KDPaper& b) {
        return QString::compare(a.localisedPaperName, b.localisedPaperName) < 0;
    });
}

bool KDPaper::operator==(const KDPaper& other) const
{
    return paperIsCustom == other.paperIsCustom && width == other.width && height == other.height
        && paperID == other.paperID && paperName == other.paperName && localisedPaperName == other.localisedPaperName;
}
