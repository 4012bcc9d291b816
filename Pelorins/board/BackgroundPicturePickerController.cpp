#include "Pelorins/board/BackgroundPicturePickerController.h"

#include "Pelorins/board/BackgroundPictureCollection.h"
#include "PelorinsKit/model/Kanban.h"

#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

BackgroundPicturePickerController::BackgroundPicturePickerController(
    BackgroundChoices::Services services, QWidget* parent)
    : QWidget(parent)
    , m_choices(std::move(services))
    , m_pictureCollectionView(new BackgroundPictureCollection(numberOfImages, 6, this))
    , m_choosePictureButton(new QPushButton(QStringLiteral("Choose Picture…"), this))
{
    setObjectName(QStringLiteral("backgroundPicturePicker"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pictureCollectionView);
    layout->addWidget(m_choosePictureButton, 0, Qt::AlignLeft);
    connect(m_pictureCollectionView, &BackgroundPictureCollection::pictureChosen, this,
        &BackgroundPicturePickerController::setBackgroundPicture);
    connect(m_choosePictureButton, &QPushButton::clicked, this,
        &BackgroundPicturePickerController::chooseCustomImageSelected);
}

void BackgroundPicturePickerController::setKanban(Kanban* kanban)
{
    m_kanban = kanban;
    if (m_kanban)
        m_pictureCollectionView->selectPicture(m_kanban->bgImage());
    else
        m_pictureCollectionView->clearSelection();
}

void BackgroundPicturePickerController::setBackgroundPicture(const QString& name)
{
    m_choices.apply(
        m_kanban, [&name](DisplayItem& item) { item.setBgImage(name); }, this,
        BackgroundChoices::Order::announceThenSave, false);
}

void BackgroundPicturePickerController::chooseCustomImageSelected()
{
    if (!m_kanban)
        return;
    // The picker's window may close, and take the picker along, while the file panel is open.
    const BackgroundChoices choices = m_choices;
    Kanban* kanban = m_kanban;
    const QPointer<BackgroundPicturePickerController> self(this);
    const std::optional<QString> fileName = choices.copyChosenPicture(*kanban, window(), true);
    if (!fileName)
        return;
    // A board keeps one picture file of its own: the one it had before goes.
    choices.apply(
        kanban, [&fileName](DisplayItem& item) { item.setBgImage(*fileName); }, self.data(),
        BackgroundChoices::Order::announceThenSave, true);
}
