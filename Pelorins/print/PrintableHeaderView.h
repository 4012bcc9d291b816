#pragma once

#include <QWidget>

class KanbanColumn;

// The head of a stage on a printed page: its title and how many cards it holds, in a box one
// stage wide. It is never shown; the page renderer draws it.
class PrintableHeaderView : public QWidget
{
    Q_OBJECT

public:
    static constexpr int boxWidth = 300;
    static constexpr int boxHeight = 40;

    explicit PrintableHeaderView(QWidget* parent = nullptr);

    KanbanColumn* column() const { return m_column; }
    // Fills the labels from the stage; none changes nothing.
    void setColumn(KanbanColumn* column);
    QString title() const { return m_title; }
    QString subtitle() const { return m_subtitle; }

    // "empty", "1 card" or "n cards".
    static QString cardCount(qsizetype count);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    KanbanColumn* m_column = nullptr;
    QString m_title;
    QString m_subtitle;
};
