#pragma once

#include "Pelorins/print/PrintInfo.h"
#include "Pelorins/print/PrintPanelPresenter.h"
#include "Pelorins/print/PrintPreviewView.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/NotificationName.h"
#include "Platform/core/NotificationCenter.h"
#include "support/FakePrinterCatalog.h"
#include "support/StoreBuilder.h"
#include "support/TestStore.h"

#include <QHash>
#include <gtest/gtest.h>
#include <memory>

// Answers the print dialog from a queue; with the queue empty it cancels.
class ScriptedPrintPanelPresenter : public PrintPanelPresenter
{
public:
    QList<bool> answers;
    int shown = 0;
    bool runPrintPanel(QPrinter&, QWidget*) override
    {
        ++shown;
        return answers.isEmpty() ? false : answers.takeFirst();
    }
};

// A store with one board, print settings over made-up printers ("Save as PDF" on Letter by
// default), and cards whose notes height a test sets instead of measuring.
class PrintFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(store.isOpen()) << store.error().toStdString();
        info = std::make_unique<PrintInfo>(catalog);
    }

    Kanban* makeBoard(const QStringList& stages)
    {
        board = builder.addBoard(QStringLiteral("Welcome to Pelorins"), stages);
        return board;
    }
    KanbanColumn* stage(int index) const { return board->column().at(index); }

    // A card whose notes measure `notesHeight`, or a card without notes.
    ListItem* addCard(int stageIndex, std::optional<double> notesHeight)
    {
        ListItem* card = builder.addCard(stage(stageIndex));
        heights.insert(card, notesHeight);
        return card;
    }
    // A card that takes `height` points on paper at scale s.
    ListItem* addCardOfHeight(int stageIndex, double height, double scale)
    {
        return addCard(stageIndex, height / scale - PrintPreviewView::heightOfFixedItems);
    }

    std::unique_ptr<PrintPreviewView> makePreview(double scale)
    {
        auto preview = std::make_unique<PrintPreviewView>(*info);
        preview->setHeightMeasure([this](ListItem* card) { return heights.value(card); });
        preview->setItemScale(scale);
        preview->setKanban(board);
        preview->buildPages();
        return preview;
    }

    // A paper of this size in points, for the "Save as PDF" printer.
    void usePaper(double width, double height)
    {
        info->setPaper(QPageSize(QSizeF(width, height), QPageSize::Point, QString(), QPageSize::ExactMatch));
    }

    static QList<int> pagesPerStrip(const PrintPreviewView& preview)
    {
        QList<int> counts;
        for (const QList<PrintablePageBox>& strip : preview.pages())
            counts.append(int(strip.size()));
        return counts;
    }

    TestStore store;
    StoreBuilder builder {store.context()};
    FakePrinterCatalog catalog;
    std::unique_ptr<PrintInfo> info;
    Kanban* board = nullptr;
    QHash<ListItem*, std::optional<double>> heights;
};
