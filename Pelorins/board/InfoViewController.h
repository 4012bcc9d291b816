#pragma once

#include "Pelorins/board/BackgroundChoices.h"

#include <QList>
#include <QWidget>

class BackgroundPictureCollection;
class ColourCircleButton;
class DisplayItem;
class PelorinsMainWindow;
class QLabel;
class QPushButton;
class QTableView;
class TagFiltersDelegate;
class TagsManagerController;

// The board's info panel, shown in a popover under the toolbar's background button: the six
// board colours, the built-in pictures 1 to 12, a button to choose a picture of one's own, and
// the board's tag table. A choice is written to the window's board, saved and announced with
// "BackgroundChanged" at once; the panel keeps nothing.
class InfoViewController : public QWidget
{
    Q_OBJECT
public:
    static constexpr int numberOfImages = 12;
    static constexpr int colourButtonStep = 34;

    struct Services
    {
        // Gives the board (its current item) and the window the open panel belongs to.
        PelorinsMainWindow* windowController = nullptr;
        BackgroundChoices::Services choices;
        // The board view, which renames the tags of the table.
        TagFiltersDelegate* tagDelegate = nullptr;
    };

    explicit InfoViewController(Services services, QWidget* parent = nullptr);

    QLabel* viewTitleLabel() const { return m_viewTitleLabel; }
    QLabel* coloursTitleLabel() const { return m_coloursTitleLabel; }
    QLabel* picturesTitleLabel() const { return m_picturesTitleLabel; }
    const QList<ColourCircleButton*>& colourCircleButtons() const { return m_colourCircleButtons; }
    BackgroundPictureCollection* pictureCollectionView() const { return m_pictureCollectionView; }
    QPushButton* choosePictureButton() const { return m_choosePictureButton; }
    QTableView* tagTableView() const { return m_tagTableView; }

    // Gives the board the colour of the circle tagged `tag`.
    void colourButtonSelected(int tag);
    // Gives the board the built-in picture of that name.
    void pictureSelected(const QString& name);
    // Asks for a picture of the user's own and gives it to the board.
    void chooseCustomImageSelected();

private:
    DisplayItem* board() const;
    void addColourButtons();
    void setBackgroundPicture(const QString& name);

    Services m_services;
    BackgroundChoices m_choices;
    QLabel* m_viewTitleLabel;
    QLabel* m_coloursTitleLabel;
    QLabel* m_picturesTitleLabel;
    QWidget* m_colourContainerView;
    QList<ColourCircleButton*> m_colourCircleButtons;
    BackgroundPictureCollection* m_pictureCollectionView;
    QPushButton* m_choosePictureButton;
    QTableView* m_tagTableView;
    TagsManagerController* m_tagsManager;
};
