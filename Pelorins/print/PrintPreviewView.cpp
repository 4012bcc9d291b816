#include "Pelorins/print/PrintPreviewView.h"

#include "Pelorins/print/PrintInfo.h"
#include "Pelorins/print/PrintablePageRenderer.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/NotificationName.h"
#include "PelorinsKit/notes/TextMeasures.h"
#include "Platform/core/NotificationCenter.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"

#include <QNativeGestureEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <QWheelEvent>
#include <QtConcurrent/QtConcurrentMap>
#include <algorithm>
#include <cmath>

const QString PrintPreviewView::paperTooSmallMessage
    = QStringLiteral("This paper is too small for cards of this size.");

namespace {

constexpr double minimumMagnification = 0.125;
constexpr double maximumMagnification = 8;

double measureNotes(const AttributedString& notes)
{
    return fullHeightToFit(notes, PrintPreviewView::printedCardWidth);
}

// As printed: with link cards and pictures in place of their stored stand-ins.
std::optional<AttributedString> printedNotes(ListItem* card)
{
    std::optional<AttributedString> notes = card->getAttributedNotes();
    if (!notes || notes->isEmpty())
        return std::nullopt;
    return notes;
}

} // namespace

PrintPreviewView::PrintPreviewView(PrintInfo& printInfo, QWidget* parent)
    : QWidget(parent)
    , m_printInfo(printInfo)
    , m_renderer(std::make_unique<PrintablePageRenderer>(*this))
{
    m_pages.append(QList<PrintablePageBox>());
    readPrintInfo();
    resize(canvasSize().toSize());
    // Grey around the white sheets, as the paper lies on a desk.
    setAutoFillBackground(true);
    QPalette desk = palette();
    desk.setColor(QPalette::Window, QColor(0xe4, 0xe4, 0xe4));
    setPalette(desk);
}

PrintPreviewView::~PrintPreviewView() = default;

void PrintPreviewView::setKanban(Kanban* kanban)
{
    if (m_contextConnection)
        disconnect(m_contextConnection, nullptr, this, nullptr);
    m_kanban = kanban;
    m_contextConnection = nullptr;
    if (kanban && kanban->managedObjectContext()) {
        ManagedObjectContext* context = kanban->managedObjectContext();
        m_contextConnection = context;
        connect(context, &ManagedObjectContext::objectDidChange, this, &PrintPreviewView::boardObjectChanged);
        // The board goes with its context: nothing of it is drawn or placed after that, and
        // nothing new is made, since the context may go as the program ends.
        connect(context, &QObject::destroyed, this, [this] {
            m_kanban = nullptr;
            m_cachedItemHeights.clear();
            m_cachedLineBottoms.clear();
            m_renderer->forgetAll();
            layoutPages();
        });
    }
}

void PrintPreviewView::setHeightMeasure(HeightMeasure measure)
{
    m_measure = std::move(measure);
    m_cachedItemHeights.clear();
    m_cachedLineBottoms.clear();
}

void PrintPreviewView::buildPages()
{
    layoutPages();
    NotificationCenter::shared().removeObserver(this, NotificationName::PrintInfoChanged);
    NotificationCenter::shared().addObserver(this, NotificationName::PrintInfoChanged,
        [this](const NotificationCenter::Notification&) { printInfoChanged(); });
}

void PrintPreviewView::layoutPages()
{
    // Laying out afresh gives the same grid as a new preview at this scale would.
    clearGrid();
    measureCards();
    for (KanbanColumn* stage : stages())
        walkStage(stage, nullptr, [this](ListItem* card, const Placement& placement) { placeSlices(card, placement); });
    finishLayout();
}

void PrintPreviewView::updatePageFrames()
{
    readPrintInfo();
    // Another paper can change the room on a page and the stages per strip, so cards are placed
    // again rather than left past a smaller page's footer.
    layoutPages();
}

void PrintPreviewView::printInfoChanged()
{
    updatePageFrames();
}

void PrintPreviewView::readPrintInfo()
{
    m_paperSize = m_printInfo.paperSize();
    m_imageablePageBounds = m_printInfo.imageablePageBounds().size();
}

void PrintPreviewView::placeCard(ListItem* card)
{
    KanbanColumn* stage = card ? card->column() : nullptr;
    if (!stage || !stages().contains(stage))
        return;
    walkStage(stage, card, [this, card](ListItem* placed, const Placement& placement) {
        if (placed == card)
            placeSlices(card, placement);
    });
    finishLayout();
}

PrintPreviewView::Position PrintPreviewView::position(ListItem* card) const
{
    KanbanColumn* stage = card ? card->column() : nullptr;
    if (!stage || !stages().contains(stage))
        return {};
    Position found;
    walkStage(stage, card, [&](ListItem* placed, const Placement& placement) {
        if (placed == card)
            found = placement.position;
    });
    return found;
}

void PrintPreviewView::addPage(int strip)
{
    while (m_pages.size() <= strip)
        m_pages.append(QList<PrintablePageBox>());
    PrintablePageBox page;
    page.strip = strip;
    page.row = int(m_pages[strip].size());
    m_pages[strip].append(page);
}

QList<PrintSlice> PrintPreviewView::cellViewsOnPage() const
{
    QList<PrintSlice> all;
    for (ListItem* card : m_placedCards)
        all.append(m_slices.value(card));
    return all;
}

QList<PrintSlice> PrintPreviewView::slicesOf(ListItem* card) const
{
    return m_slices.value(card);
}

QList<PrintSlice> PrintPreviewView::slicesOnPage(const PrintablePageBox& page) const
{
    // Indexed once per layout, so that printing every page costs as much as the pages hold.
    if (!m_slicesByPageValid) {
        m_slicesByPage.clear();
        for (ListItem* card : m_placedCards) {
            for (const PrintSlice& slice : m_slices.value(card)) {
                while (m_slicesByPage.size() <= slice.strip)
                    m_slicesByPage.append(QList<QList<PrintSlice>>());
                QList<QList<PrintSlice>>& strip = m_slicesByPage[slice.strip];
                while (strip.size() <= slice.page)
                    strip.append(QList<PrintSlice>());
                strip[slice.page].append(slice);
            }
        }
        m_slicesByPageValid = true;
    }
    if (page.strip < 0 || page.strip >= m_slicesByPage.size() || page.row < 0
        || page.row >= m_slicesByPage.at(page.strip).size())
        return {};
    return m_slicesByPage.at(page.strip).at(page.row);
}

double PrintPreviewView::pageCapacity() const
{
    return printableRect().height() - footerHeight - headerHeight * m_itemScale;
}

QRectF PrintPreviewView::printableRect() const
{
    const double width = std::min(m_imageablePageBounds.width(), m_paperSize.width());
    const double height = std::min(m_imageablePageBounds.height(), m_paperSize.height());
    return QRectF((m_paperSize.width() - width) / 2, (m_paperSize.height() - height) / 2, width, height);
}

int PrintPreviewView::pageCount() const
{
    int count = 0;
    for (const QList<PrintablePageBox>& strip : m_pages)
        count += int(strip.size());
    return count;
}

bool PrintPreviewView::knowsPageRange(int& location, int& length) const
{
    location = 1;
    length = pageCount();
    return true;
}

const PrintablePageBox* PrintPreviewView::page(int pageNumber) const
{
    int number = 1;
    for (const QList<PrintablePageBox>& strip : m_pages) {
        if (pageNumber >= number && pageNumber < number + strip.size())
            return &strip.at(pageNumber - number);
        number += int(strip.size());
    }
    return nullptr;
}

QRectF PrintPreviewView::rectForPage(int pageNumber) const
{
    const PrintablePageBox* found = page(pageNumber);
    return found ? found->frame : QRectF(0, 0, 300, 300);
}

QSizeF PrintPreviewView::canvasSize() const
{
    if (m_pages.isEmpty())
        return {2 * canvasPadding, 2 * canvasPadding};
    const qsizetype strips = m_pages.size();
    qsizetype rows = 0;
    for (const QList<PrintablePageBox>& strip : m_pages)
        rows = std::max(rows, strip.size());
    const double width = strips * m_paperSize.width() + (strips - 1) * pageSpacing;
    const double height = rows > 0 ? rows * m_paperSize.height() + (rows - 1) * pageSpacing : 0;
    return {width + 2 * canvasPadding, height + 2 * canvasPadding};
}

void PrintPreviewView::renderPage(QPainter& painter, const PrintablePageBox& page, bool inPreview) const
{
    m_renderer->render(painter, page, inPreview);
}

void PrintPreviewView::setMagnification(double magnification)
{
    m_magnification = std::clamp(magnification, minimumMagnification, maximumMagnification);
    resize((canvasSize() * m_magnification).toSize());
    update();
}

QList<KanbanColumn*> PrintPreviewView::columnsOnPage(const PrintablePageBox& page) const
{
    const QList<KanbanColumn*> all = stages();
    const int perStrip = stagesPerStrip();
    const int strip = page.strip < m_pages.size() ? page.strip : 0;
    return all.mid(qsizetype(strip) * perStrip, perStrip);
}

QList<KanbanColumn*> PrintPreviewView::stages() const
{
    return m_kanban && !m_kanban->isDeleted() ? m_kanban->column() : QList<KanbanColumn*>();
}

QList<ListItem*> PrintPreviewView::printedCards(KanbanColumn* stage) const
{
    QList<ListItem*> cards;
    for (ListItem* card : stage->item()) {
        // Cards waiting to be deleted are off the board already.
        if (!card->isDeleted() && !card->toBeDeleted())
            cards.append(card);
    }
    return cards;
}

int PrintPreviewView::stagesPerStrip() const
{
    // One rule for placing stages and for their headers; a stage wider than the page gets a
    // strip of its own and is cut at the page's edge.
    const double stageWidth = columnWidth * m_itemScale;
    if (!(stageWidth > 0))
        return 1;
    return std::max(1, int(std::floor(printableRect().width() / stageWidth)));
}

std::pair<int, double> PrintPreviewView::stagePlace(int stageIndex) const
{
    const int perStrip = stagesPerStrip();
    return {stageIndex / perStrip, (stageIndex % perStrip) * columnWidth * m_itemScale};
}

std::optional<double> PrintPreviewView::notesHeight(ListItem* card) const
{
    auto cached = m_cachedItemHeights.constFind(card);
    if (cached != m_cachedItemHeights.constEnd())
        return *cached;
    std::optional<double> height;
    if (m_measure)
        height = m_measure(card);
    else if (const std::optional<AttributedString> notes = printedNotes(card))
        height = measureNotes(*notes);
    m_cachedItemHeights.insert(card, height);
    return height;
}

void PrintPreviewView::measureCards()
{
    if (m_measure)
        return;
    QList<ListItem*> cards;
    QList<AttributedString> notes;
    for (KanbanColumn* stage : stages()) {
        for (ListItem* card : printedCards(stage)) {
            if (m_cachedItemHeights.contains(card))
                continue;
            // Decoded here: a card keeps its decoded notes, which only this thread may change.
            std::optional<AttributedString> text = printedNotes(card);
            if (!text) {
                m_cachedItemHeights.insert(card, std::nullopt);
                continue;
            }
            cards.append(card);
            notes.append(std::move(*text));
        }
    }
    // Each measure lays its notes out in a document of its own, so they run side by side.
    const QList<double> heights = QtConcurrent::blockingMapped<QList<double>>(notes, measureNotes);
    for (qsizetype i = 0; i < cards.size(); ++i)
        m_cachedItemHeights.insert(cards.at(i), heights.at(i));
}

double PrintPreviewView::cardHeight(ListItem* card) const
{
    // A card without notes still has its fixed rows, so it takes room like any other.
    const double notes = notesHeight(card).value_or(0);
    return std::round((notes + heightOfFixedItems) * m_itemScale);
}

QList<double> PrintPreviewView::sliceTops(ListItem* card, double height, double capacity) const
{
    auto cached = m_cachedLineBottoms.find(card);
    if (cached == m_cachedLineBottoms.end())
        cached = m_cachedLineBottoms.insert(card, m_renderer->lineBottoms(card));
    const QList<double>& bottoms = *cached;
    // Paper points are rounded; a line's bottom within this of a page's foot still fits.
    constexpr double tolerance = 1e-6;
    QList<double> tops {0};
    double top = 0;
    while (height - top >= capacity) {
        const double foot = top + capacity;
        // The last line that ends on this page; with none, a line taller than a page is cut.
        double end = foot;
        const auto past = std::upper_bound(bottoms.cbegin(), bottoms.cend(), (foot + tolerance) / m_itemScale);
        if (past != bottoms.cbegin() && *(past - 1) * m_itemScale > top + tolerance)
            end = *(past - 1) * m_itemScale;
        top = end;
        tops.append(top);
    }
    return tops;
}

void PrintPreviewView::walkStage(
    KanbanColumn* stage, ListItem* until, const std::function<void(ListItem*, Placement)>& visit) const
{
    const double capacity = pageCapacity();
    if (!(capacity > 0))
        return;
    const auto [strip, stageX] = stagePlace(int(stages().indexOf(stage)));
    const double x = stageX + cellPadding * m_itemScale;
    double y = 0;
    int page = 0;
    for (ListItem* card : printedCards(stage)) {
        const double height = cardHeight(card);
        Placement placement {{strip, page, x, 0}, height};
        if (y + height < capacity) {
            placement.position.y = y;
            y += height;
        } else if (height < capacity) {
            ++page;
            placement.position.page = page;
            y = height;
        } else {
            // A card of a page or more starts on a page of its own: this one while nothing is
            // on it yet.
            const int start = y == 0 ? page : page + 1;
            placement.position.page = start;
            placement.sliceTops = sliceTops(card, height, capacity);
            page = start + int(placement.sliceTops.size()) - 1;
            y = height - std::round(placement.sliceTops.last());
        }
        visit(card, placement);
        if (card == until)
            return;
    }
}

void PrintPreviewView::placeSlices(ListItem* card, const Placement& placement)
{
    // Slices cover every page the card's room on paper reaches; a card that ends at a page's foot
    // has none on the page after.
    QList<PrintSlice> slices;
    const Position& at = placement.position;
    const QList<double>& tops = placement.sliceTops;
    for (int k = 0; k < tops.size() && (k == 0 || tops.at(k) < placement.height); ++k) {
        while (m_pages.size() <= at.strip || m_pages.at(at.strip).size() < at.page + k + 1)
            addPage(at.strip);
        const double bottom = k + 1 < tops.size() ? tops.at(k + 1) : placement.height;
        slices.append({card, k, at.strip, at.page + k, at.x, at.y - tops.at(k), placement.height, tops.at(k), bottom});
    }
    if (!m_slices.contains(card))
        m_placedCards.append(card);
    m_slices.insert(card, slices);
    m_slicesByPageValid = false;
}

void PrintPreviewView::clearGrid()
{
    readPrintInfo();
    m_pages = {{}};
    m_placedCards.clear();
    m_slices.clear();
    m_slicesByPageValid = false;
}

void PrintPreviewView::updatePage(PrintablePageBox& page, int number) const
{
    const QRectF printable = printableRect();
    page.frame = QRectF(canvasPadding + page.strip * (m_paperSize.width() + pageSpacing),
        canvasPadding + page.row * (m_paperSize.height() + pageSpacing), m_paperSize.width(), m_paperSize.height());
    page.printableRect = printable;
    const bool band = m_repeatHeaders || page.row == 0;
    const double bandHeight = band ? headerHeight * m_itemScale : 0;
    page.contentRect = QRectF(0, bandHeight, printable.width(), printable.height() - footerHeight - bandHeight);
    page.headerRect = band ? QRectF(0, 0, printable.width(), bandHeight) : QRectF();
    page.label = QStringLiteral("Page ") + QString::number(number);
}

void PrintPreviewView::finishLayout()
{
    int number = 1;
    for (QList<PrintablePageBox>& strip : m_pages) {
        for (PrintablePageBox& page : strip)
            updatePage(page, number++);
    }
    for (QList<PrintablePageBox>& strip : m_pages) {
        for (PrintablePageBox& page : strip)
            page.headerColumns = page.showsHeaderBand() ? columnsOnPage(page) : QList<KanbanColumn*>();
    }
    resize((canvasSize() * m_magnification).toSize());
    update();
    emit pagesChanged();
}

void PrintPreviewView::boardObjectChanged(ManagedObject* object, const KeyChange&)
{
    if (!m_kanban)
        return;
    bool concerned = object == m_kanban;
    if (auto* card = dynamic_cast<ListItem*>(object)) {
        KanbanColumn* stage = card->column();
        concerned = m_slices.contains(card) || (stage && stage->kanban() == m_kanban);
        if (concerned) {
            // Its notes may have changed: measured and drawn again.
            m_cachedItemHeights.remove(card);
            m_cachedLineBottoms.remove(card);
            m_renderer->forget(card);
        }
    } else if (auto* stage = dynamic_cast<KanbanColumn*>(object)) {
        concerned = stage->kanban() == m_kanban || stages().contains(stage);
    }
    if (concerned)
        scheduleRebuild();
}

void PrintPreviewView::scheduleRebuild()
{
    // Many changes of one edit make one new layout, once the edit is over.
    if (m_rebuildPending)
        return;
    m_rebuildPending = true;
    QTimer::singleShot(0, this, [this] {
        m_rebuildPending = false;
        layoutPages();
    });
}

void PrintPreviewView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_kanban && !canPaginate()) {
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, paperTooSmallMessage);
        return;
    }
    painter.scale(m_magnification, m_magnification);
    const QRectF exposed(
        QPointF(event->rect().topLeft()) / m_magnification, QSizeF(event->rect().size()) / m_magnification);
    for (const QList<PrintablePageBox>& strip : m_pages) {
        for (const PrintablePageBox& page : strip) {
            if (!page.frame.adjusted(-3, -3, 3, 3).intersects(exposed))
                continue;
            painter.save();
            painter.translate(page.frame.topLeft());
            renderPage(painter, page, true);
            painter.restore();
        }
    }
}

void PrintPreviewView::zoomBy(double factor)
{
    setMagnification(m_magnification * factor);
}

void PrintPreviewView::wheelEvent(QWheelEvent* event)
{
    if (!(event->modifiers() & Qt::ControlModifier)) {
        QWidget::wheelEvent(event);
        return;
    }
    zoomBy(std::pow(1.25, event->angleDelta().y() / 120.0));
    event->accept();
    emit magnificationEnded();
}

bool PrintPreviewView::event(QEvent* event)
{
    if (event->type() == QEvent::NativeGesture) {
        auto* gesture = static_cast<QNativeGestureEvent*>(event);
        if (gesture->gestureType() == Qt::ZoomNativeGesture)
            zoomBy(1 + gesture->value());
        else if (gesture->gestureType() == Qt::EndNativeGesture)
            emit magnificationEnded();
        return true;
    }
    return QWidget::event(event);
}
