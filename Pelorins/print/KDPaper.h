#pragma once

#include <QList>
#include <QPageSize>
#include <QString>
#include <optional>

// One paper a printer offers, in points and portrait.
struct KDPaper
{
    bool paperIsCustom = false;
    double width = 0;
    double height = 0;
    QString paperID;
    QString paperName;
    QString localisedPaperName;
    // The size it was made from, to hand back to the printer.
    QPageSize pageSize;

    // None for a size that is not positive, which no page can be laid out on.
    static std::optional<KDPaper> from(const QPageSize& size);
    // By localised name, with the plain string comparison.
    static void sort(QList<KDPaper>& papers);

    bool operator==(const KDPaper& other) const;
};
