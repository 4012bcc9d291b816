#pragma once

#include <QList>
#include <QMenu>

class ColourCircleButton;
class QAbstractButton;
class PelorinsMainWindow;

// The toolbar's background menu: colour swatches and the built-in pictures for the board the
// window shows. It is built each time it opens, so it shows the board's colour of the moment.
class ToolbarInfoMenu : public QMenu
{
    Q_OBJECT
public:
    static constexpr int numberOfImages = 12;
    static constexpr int menuWidth = 260;
    static constexpr int bgImageButtonSize = 48;

    ToolbarInfoMenu(PelorinsMainWindow* windowController, QWidget* parent = nullptr);

    void buildMenu();
    const QList<ColourCircleButton*>& colourCircleButtons() const { return m_colourCircleButtons; }
    QList<QAbstractButton*> backgroundImageButtons() const;

    // "wlbackground01" for the first picture.
    static QString backgroundImageName(int tag);
    // The frame of picture button `index` in the pictures' view.
    static QRect backgroundImageButtonFrame(int index);

    void backgroundSelected(int tag);
    void colourButtonSelected(int tag);

private:
    PelorinsMainWindow* m_windowController;
    QList<ColourCircleButton*> m_colourCircleButtons;
    QWidget* m_imagesView = nullptr;
};
