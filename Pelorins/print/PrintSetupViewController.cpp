#include "Pelorins/print/PrintSetupViewController.h"

#include "Pelorins/print/OrientationBox.h"
#include "Pelorins/print/PaperMenuItem.h"
#include "Pelorins/print/PrintInfo.h"
#include "Pelorins/print/PrintSetupDelegate.h"
#include "Pelorins/print/PrinterCatalog.h"
#include "PelorinsKit/model/NotificationName.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/NotificationCenter.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QVBoxLayout>
#include <cmath>

namespace {

constexpr double minimumZoom = 0;
constexpr double maximumZoom = 6;
// Under the columns slider: room for its numbers.
constexpr int columnLabelHeight = 20;
constexpr int columnLabelWidth = 24;

// A title over `control`, which it names, so that a screen reader reads the control by it;
// controls that name themselves come without one.
QLabel* sectionTitle(const QString& text, QWidget* parent, QWidget* control = nullptr)
{
    auto* label = new QLabel(text, parent);
    if (control) {
        control->setAccessibleName(text);
        label->setBuddy(control);
    }
    label->setTextFormat(Qt::PlainText);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

} // namespace

PrintSetupViewController::PrintSetupViewController(PrintInfo& printInfo, QWidget* parent)
    : QWidget(parent)
    , m_printInfo(printInfo)
    , m_printerPopupButton(new QComboBox(this))
    , m_pagePopupButton(new QComboBox(this))
    , m_orientationBoxPortrait(new OrientationBox(QPageLayout::Portrait, this))
    , m_orientationBoxLandscape(new OrientationBox(QPageLayout::Landscape, this))
    , m_itemSizeSlider(new QSlider(Qt::Horizontal, this))
    , m_itemSizeValueField(new QLineEdit(this))
    , m_columnsBox(new QWidget(this))
    , m_columnsSlider(new QSlider(Qt::Horizontal, m_columnsBox))
    , m_zoomSlider(new QSlider(Qt::Horizontal, this))
    , m_doneButton(new QPushButton(QStringLiteral("Done"), this))
    , m_printButton(new QPushButton(QStringLiteral("Print"), this))
{
    setMinimumWidth(280);
    setMaximumWidth(360);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->addWidget(sectionTitle(QStringLiteral("Printer"), this, m_printerPopupButton));
    layout->addWidget(m_printerPopupButton);
    layout->addWidget(sectionTitle(QStringLiteral("Paper"), this, m_pagePopupButton));
    layout->addWidget(m_pagePopupButton);
    layout->addWidget(sectionTitle(QStringLiteral("Orientation"), this));
    auto* orientations = new QHBoxLayout;
    orientations->addWidget(m_orientationBoxPortrait);
    orientations->addWidget(m_orientationBoxLandscape);
    orientations->addStretch();
    layout->addLayout(orientations);
    layout->addWidget(sectionTitle(QStringLiteral("Card size"), this, m_itemSizeSlider));
    auto* itemSize = new QHBoxLayout;
    itemSize->addWidget(m_itemSizeSlider, 1);
    itemSize->addWidget(m_itemSizeValueField);
    layout->addLayout(itemSize);
    layout->addWidget(sectionTitle(QStringLiteral("Columns per page"), this, m_columnsSlider));
    auto* columnsLayout = new QVBoxLayout(m_columnsBox);
    columnsLayout->setContentsMargins(0, 0, 0, columnLabelHeight);
    columnsLayout->addWidget(m_columnsSlider);
    layout->addWidget(m_columnsBox);
    layout->addWidget(sectionTitle(QStringLiteral("Zoom"), this, m_zoomSlider));
    layout->addWidget(m_zoomSlider);
    layout->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_doneButton);
    buttons->addWidget(m_printButton);
    layout->addLayout(buttons);

    m_itemSizeSlider->setRange(
        int(std::lround(minimumItemScale * itemSizeSteps)), int(std::lround(maximumItemScale * itemSizeSteps)));
    m_itemSizeValueField->setReadOnly(true);
    m_itemSizeValueField->setAccessibleName(QStringLiteral("Card scale"));
    m_itemSizeValueField->setMaximumWidth(56);
    m_itemSizeValueField->setAlignment(Qt::AlignRight);
    m_columnsSlider->setTickPosition(QSlider::TicksBelow);
    m_columnsSlider->setTickInterval(1);
    m_columnsSlider->setPageStep(1);
    m_zoomSlider->setRange(int(minimumZoom * zoomSteps), int(maximumZoom * zoomSteps));
    m_printButton->setDefault(true);
    m_columnsBox->installEventFilter(this);

    connect(m_printerPopupButton, &QComboBox::activated, this, &PrintSetupViewController::printerNameChanged);
    connect(m_pagePopupButton, &QComboBox::activated, this, &PrintSetupViewController::paperNameChanged);
    connect(m_orientationBoxPortrait, &OrientationBox::tapped, this, &PrintSetupViewController::portraitButtonTapped);
    connect(m_orientationBoxLandscape, &OrientationBox::tapped, this, &PrintSetupViewController::landscapeButtonTapped);
    connect(m_itemSizeSlider, &QSlider::valueChanged, this,
        [this](int value) { sliderValueChanged(double(value) / itemSizeSteps); });
    connect(m_columnsSlider, &QSlider::valueChanged, this, &PrintSetupViewController::columnsSliderChanged);
    connect(m_zoomSlider, &QSlider::valueChanged, this,
        [this](int value) { viewZoomValueChanged(double(value) / zoomSteps); });
    connect(m_doneButton, &QPushButton::clicked, this, &PrintSetupViewController::doneButtonPressed);
    connect(m_printButton, &QPushButton::clicked, this, &PrintSetupViewController::printButtonPressed);

    loadPrinters();
}

void PrintSetupViewController::loadPrinters()
{
    const QStringList names = m_printInfo.catalog().printerNames();
    const QString current = m_printInfo.printerName();
    for (const QString& name : names) {
        m_printerPopupButton->addItem(name);
        if (name == current) {
            m_printerPopupButton->setCurrentIndex(m_printerPopupButton->count() - 1);
            printerNameChanged(m_printerPopupButton->count() - 1);
        }
    }
    if (!names.contains(current))
        m_printerPopupButton->setCurrentIndex(-1);
}

void PrintSetupViewController::setDelegate(PrintSetupDelegate* delegate)
{
    m_delegate = delegate;
    if (!m_initialScalingSet) {
        if (delegate)
            delegate->setItemScale(fittedItemScale(initialItemScale));
        m_initialScalingSet = true;
        updateOrientationBoxes();
    }
    updateItemSizeControls();
    updateZoomSlider();
}

void PrintSetupViewController::setPrintingPossible(bool possible)
{
    m_printButton->setEnabled(possible);
}

void PrintSetupViewController::printerNameChanged(int index)
{
    if (index < 0 || index >= m_printerPopupButton->count())
        return;
    const QString name = m_printerPopupButton->itemText(index);
    // A printer that went away since the list was made is not chosen.
    if (!m_printInfo.catalog().hasPrinter(name))
        return;
    m_printInfo.setPrinterName(name);
    const QList<KDPaper> papers = currentPrinterPapers();
    m_pagePopupButton->clear();
    bool chosen = false;
    for (const KDPaper& paper : papers) {
        m_pagePopupButton->addItem(paper.localisedPaperName, QVariant::fromValue(PaperMenuItem {paper}));
        if (m_printInfo.paperName() == paper.paperID) {
            chosen = true;
            m_paperNameChangedManually = false;
            m_pagePopupButton->setCurrentIndex(m_pagePopupButton->count() - 1);
            paperNameChanged(m_pagePopupButton->count() - 1);
        }
    }
    // Without the current paper nothing is chosen, and the settings stay as they were.
    if (!chosen)
        m_pagePopupButton->setCurrentIndex(-1);
}

QList<KDPaper> PrintSetupViewController::currentPrinterPapers() const
{
    const PrinterCatalog& catalog = m_printInfo.catalog();
    if (!catalog.hasPrinter(m_printInfo.printerName())) {
        ConsoleLog::write(QStringLiteral("current printer not found"));
        return {};
    }
    QList<KDPaper> papers;
    for (const QPageSize& size : catalog.papers(m_printInfo.printerName())) {
        // A paper without a size cannot hold a page.
        if (const std::optional<KDPaper> paper = KDPaper::from(size))
            papers.append(*paper);
    }
    KDPaper::sort(papers);
    return papers;
}

std::optional<KDPaper> PrintSetupViewController::selectedPaper() const
{
    const int index = m_pagePopupButton->currentIndex();
    if (index < 0)
        return std::nullopt;
    const QVariant data = m_pagePopupButton->itemData(index);
    if (!data.canConvert<PaperMenuItem>())
        return std::nullopt;
    return data.value<PaperMenuItem>().paper;
}

void PrintSetupViewController::paperNameChanged(int)
{
    const std::optional<KDPaper> paper = selectedPaper();
    if (!paper)
        return;
    m_printInfo.setPaper(paper->pageSize);
    postPrintInfoChanged();
    if (m_paperNameChangedManually) {
        if (m_delegate)
            m_delegate->setItemScale(fittedItemScale(m_delegate->itemScale()));
        updateItemSizeControls();
    } else {
        // The pane chose the paper for a new printer: the user's scale stays.
        m_paperNameChangedManually = true;
    }
    updateOrientationBoxes();
    setupColumnsSlider();
}

void PrintSetupViewController::portraitButtonTapped()
{
    setOrientation(QPageLayout::Portrait);
}

void PrintSetupViewController::landscapeButtonTapped()
{
    setOrientation(QPageLayout::Landscape);
}

void PrintSetupViewController::setOrientation(QPageLayout::Orientation orientation)
{
    if (m_printInfo.orientation() == orientation)
        return;
    m_printInfo.setOrientation(orientation);
    updateOrientationBoxes();
    postPrintInfoChanged();
    if (m_delegate)
        m_delegate->setItemScale(fittedItemScale(m_delegate->itemScale()));
    updateItemSizeControls();
    setupColumnsSlider();
}

void PrintSetupViewController::sliderValueChanged(double value)
{
    if (m_delegate)
        m_delegate->setItemScale(value);
    updateItemSizeControls();
}

void PrintSetupViewController::columnsSliderChanged(int columns)
{
    if (columns < 1)
        return;
    if (m_delegate)
        m_delegate->setItemScale(std::floor(imageableWidth() / columns) / columnUnit);
    updateItemSizeControls();
}

void PrintSetupViewController::viewZoomValueChanged(double value)
{
    if (m_delegate)
        m_delegate->setMagnification(std::pow(2.0, value) * 0.125);
}

void PrintSetupViewController::viewZoomChanged()
{
    updateZoomSlider();
}

void PrintSetupViewController::doneButtonPressed()
{
    if (m_delegate && m_delegate->view())
        m_delegate->view()->window()->close();
}

void PrintSetupViewController::printButtonPressed()
{
    // The pages fill the paper: the preview already keeps off the edges the printer cannot reach.
    m_printInfo.setMargins(QMarginsF());
    m_printInfo.setAutomaticPagination(true);
    if (m_delegate)
        m_delegate->print(m_printInfo);
}

double PrintSetupViewController::fittedItemScale(double scale)
{
    const double width = imageableWidth();
    const double ratio = width / (scale * columnUnit);
    // Rounded half away from zero; between one and one and a half columns gives two, and there is
    // always at least one column.
    int columns = int(std::round(ratio));
    if (columns == 1 && ratio > 1)
        columns = 2;
    columns = std::max(columns, 1);
    {
        const QSignalBlocker quiet(m_columnsSlider);
        m_columnsSlider->setValue(columns);
    }
    return std::floor(width / columns) / columnUnit;
}

void PrintSetupViewController::updateItemSizeControls()
{
    if (!m_delegate)
        return;
    const double scale = m_delegate->itemScale();
    {
        const QSignalBlocker quiet(m_itemSizeSlider);
        m_itemSizeSlider->setValue(int(std::lround(scale * itemSizeSteps)));
    }
    m_itemSizeValueField->setText(QString::number(scale, 'f', 2));
}

void PrintSetupViewController::updateOrientationBoxes()
{
    const bool landscape = m_printInfo.orientation() == QPageLayout::Landscape;
    m_orientationBoxPortrait->setBorderWidth(landscape ? 1 : 5);
    m_orientationBoxLandscape->setBorderWidth(landscape ? 5 : 1);
    m_orientationBoxPortrait->setTickShown(!landscape);
    m_orientationBoxLandscape->setTickShown(landscape);
}

void PrintSetupViewController::setupColumnsSlider()
{
    const double width = imageableWidth();
    const int minimum = std::max(1, int(std::ceil(width / (2 * columnUnit))));
    const int maximum = std::max(minimum, int(width / (columnUnit / 4)));
    const int current = m_columnsSlider->value();
    {
        const QSignalBlocker quiet(m_columnsSlider);
        m_columnsSlider->setRange(minimum, maximum);
    }
    if (current < minimum || current > maximum) {
        const int columns = current < minimum ? minimum : maximum;
        {
            const QSignalBlocker quiet(m_columnsSlider);
            m_columnsSlider->setValue(columns);
        }
        if (m_delegate)
            m_delegate->setItemScale(std::floor(width / columns) / columnUnit);
        updateItemSizeControls();
    }
    qDeleteAll(m_columnSliderLabels);
    m_columnSliderLabels.clear();
    for (int columns = minimum; columns <= maximum; ++columns) {
        auto* label = new QLabel(QString::number(columns), m_columnsBox);
        label->setAlignment(Qt::AlignCenter);
        label->show();
        m_columnSliderLabels.append(label);
    }
    placeColumnLabels();
}

void PrintSetupViewController::placeColumnLabels()
{
    QStyleOptionSlider option;
    option.initFrom(m_columnsSlider);
    option.orientation = Qt::Horizontal;
    const int handle = m_columnsSlider->style()->pixelMetric(QStyle::PM_SliderLength, &option, m_columnsSlider);
    const int span = m_columnsSlider->width() - handle;
    const QRect slider = m_columnsSlider->geometry();
    for (qsizetype i = 0; i < m_columnSliderLabels.size(); ++i) {
        const int value = m_columnsSlider->minimum() + int(i);
        const int centre = slider.x() + handle / 2
            + QStyle::sliderPositionFromValue(m_columnsSlider->minimum(), m_columnsSlider->maximum(), value, span);
        m_columnSliderLabels.at(i)->setGeometry(
            centre - columnLabelWidth / 2, slider.bottom() + 1, columnLabelWidth, columnLabelHeight);
    }
}

void PrintSetupViewController::updateZoomSlider()
{
    if (!m_delegate)
        return;
    const double value = std::log(m_delegate->magnification() * 8) / std::log(2.0);
    const QSignalBlocker quiet(m_zoomSlider);
    m_zoomSlider->setValue(int(std::lround(value * zoomSteps)));
}

bool PrintSetupViewController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_columnsBox && (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest))
        placeColumnLabels();
    return QWidget::eventFilter(watched, event);
}

double PrintSetupViewController::imageableWidth() const
{
    return m_printInfo.imageablePageBounds().width();
}

void PrintSetupViewController::postPrintInfoChanged()
{
    NotificationCenter::shared().post(NotificationName::PrintInfoChanged);
}
