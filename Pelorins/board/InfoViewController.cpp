#include "Pelorins/board/InfoViewController.h"

#include "Pelorins/board/BackgroundPictureCollection.h"
#include "Pelorins/board/BoardColourPalette.h"
#include "Pelorins/board/ColourCircleButton.h"
#include "Pelorins/board/TagsManagerController.h"
#include "Pelorins/common/PelorinsMainWindow.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/LocalizedString.h"
#include "Platform/core/NotificationCenter.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

QLabel* heading(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

} // namespace

InfoViewController::InfoViewController(Services services, QWidget* parent)
    : QWidget(parent)
    , m_services(std::move(services))
    , m_choices(m_services.choices)
{
    setObjectName(QStringLiteral("infoViewController"));
    auto* layout = new QVBoxLayout(this);
    m_viewTitleLabel = heading(local(QStringLiteral("LLCustomiseBackground")), this);
    m_coloursTitleLabel = heading(local(QStringLiteral("LLColours")), this);
    m_picturesTitleLabel = heading(QStringLiteral("Pictures"), this);

    m_colourContainerView = new QWidget(this);
    m_colourContainerView->setFixedSize(colourButtonStep * int(boardColourPalette().size()), colourButtonStep);

    m_pictureCollectionView = new BackgroundPictureCollection(numberOfImages, 4, this);
    m_pictureCollectionView->setObjectName(QStringLiteral("pictureCollectionView"));
    connect(m_pictureCollectionView, &BackgroundPictureCollection::pictureChosen, this,
        &InfoViewController::pictureSelected);

    m_choosePictureButton = new QPushButton(QStringLiteral("Choose Picture…"), this);
    connect(m_choosePictureButton, &QPushButton::clicked, this, &InfoViewController::chooseCustomImageSelected);

    m_tagTableView = new QTableView(this);
    m_tagTableView->setObjectName(QStringLiteral("tagTableView"));
    m_tagTableView->setMinimumHeight(140);
    NotificationCenter* center = m_services.choices.notificationCenter;
    m_tagsManager
        = new TagsManagerController(center ? *center : NotificationCenter::shared(), m_services.choices.save, this);
    m_tagsManager->setDelegate(m_services.tagDelegate);
    m_tagsManager->setKanban(dynamic_cast<Kanban*>(board()));
    m_tagsManager->setTagTableView(m_tagTableView);

    layout->addWidget(m_viewTitleLabel);
    layout->addWidget(m_coloursTitleLabel);
    layout->addWidget(m_colourContainerView);
    layout->addWidget(m_picturesTitleLabel);
    layout->addWidget(m_pictureCollectionView);
    layout->addWidget(m_choosePictureButton, 0, Qt::AlignLeft);
    layout->addWidget(m_tagTableView);

    if (const DisplayItem* item = board(); item && !item->bgImage().isEmpty())
        m_pictureCollectionView->selectPicture(item->bgImage());
    addColourButtons();
}

DisplayItem* InfoViewController::board() const
{
    return m_services.windowController ? m_services.windowController->currentDisplayItem() : nullptr;
}

void InfoViewController::addColourButtons()
{
    const DisplayItem* item = board();
    for (int i = 0; i < boardColourPalette().size(); ++i) {
        auto* button = new ColourCircleButton(m_colourContainerView);
        button->setGeometry(colourButtonStep * i, 0, colourButtonStep, colourButtonStep);
        button->setTag(i);
        button->setChecked(item && item->bgImage().isEmpty() && item->colour() == i);
        connect(button, &QAbstractButton::clicked, this, [this, i] { colourButtonSelected(i); });
        m_colourCircleButtons.append(button);
    }
}

void InfoViewController::colourButtonSelected(int tag)
{
    for (ColourCircleButton* button : m_colourCircleButtons)
        button->setChecked(button->tag() == tag);
    m_pictureCollectionView->clearSelection();
    m_choices.apply(
        board(),
        [this, tag](DisplayItem& item) {
            item.setBgImage(QString());
            m_services.windowController->setColour(tag);
        },
        this, BackgroundChoices::Order::saveThenAnnounce, true);
}

void InfoViewController::pictureSelected(const QString& name)
{
    setBackgroundPicture(name);
}

void InfoViewController::chooseCustomImageSelected()
{
    DisplayItem* item = board();
    QWidget* window = m_services.windowController ? m_services.windowController->window() : nullptr;
    if (!item)
        return;
    // The popover closes, and goes, when the file panel takes the focus: what follows the panel
    // uses copies of what it needs.
    const BackgroundChoices choices = m_choices;
    const QPointer<InfoViewController> self(this);
    const std::optional<QString> fileName = choices.copyChosenPicture(*item, window, false);
    if (!fileName)
        return;
    if (self) {
        self->setBackgroundPicture(*fileName);
        return;
    }
    choices.apply(
        item, [&fileName](DisplayItem& board) { board.setBgImage(*fileName); }, nullptr,
        BackgroundChoices::Order::saveThenAnnounce, true);
}

void InfoViewController::setBackgroundPicture(const QString& name)
{
    for (ColourCircleButton* button : m_colourCircleButtons)
        button->setChecked(false);
    m_choices.apply(
        board(), [&name](DisplayItem& item) { item.setBgImage(name); }, this,
        BackgroundChoices::Order::saveThenAnnounce, true);
}
