#pragma once

#include "Pelorins/board/BackgroundChoices.h"

#include <QWidget>

class BackgroundPictureCollection;
class Kanban;
class QPushButton;

// A smaller picker of a board's picture: all 18 built-in pictures and a button for a picture of
// one's own, for the board it is given. A choice is announced with "BackgroundChanged" first and
// saved after; choosing a built-in picture leaves the board's own picture file in place.
class BackgroundPicturePickerController : public QWidget
{
    Q_OBJECT
public:
    static constexpr int numberOfImages = 18;

    explicit BackgroundPicturePickerController(BackgroundChoices::Services services, QWidget* parent = nullptr);

    Kanban* kanban() const { return m_kanban; }
    void setKanban(Kanban* kanban);

    BackgroundPictureCollection* pictureCollectionView() const { return m_pictureCollectionView; }
    QPushButton* choosePictureButton() const { return m_choosePictureButton; }

    void setBackgroundPicture(const QString& name);
    void chooseCustomImageSelected();

private:
    BackgroundChoices m_choices;
    Kanban* m_kanban = nullptr;
    BackgroundPictureCollection* m_pictureCollectionView;
    QPushButton* m_choosePictureButton;
};
