#include "Pelorins/shell/ToolbarInfoMenu.h"

#include "Pelorins/board/BackgroundArtwork.h"
#include "Pelorins/board/BoardColourPalette.h"
#include "Pelorins/board/ColourCircleButton.h"
#include "Pelorins/common/PelorinsMainWindow.h"
#include "PelorinsKit/model/DisplayItem.h"
#include "PelorinsKit/model/LocalizedString.h"
#include "PelorinsKit/model/NotificationName.h"
#include "Platform/core/NotificationCenter.h"

#include <QIcon>
#include <QToolButton>
#include <QWidgetAction>

namespace {

QWidgetAction* viewItem(QMenu* menu, const QString& title, QWidget* view)
{
    auto* item = new QWidgetAction(menu);
    item->setText(title);
    item->setDefaultWidget(view);
    menu->addAction(item);
    return item;
}

} // namespace

ToolbarInfoMenu::ToolbarInfoMenu(PelorinsMainWindow* windowController, QWidget* parent)
    : QMenu(parent)
    , m_windowController(windowController)
{
    // Built as it opens, not with the window: reading the pictures' thumbnails would delay the
    // window's first paint.
    connect(this, &QMenu::aboutToShow, this, &ToolbarInfoMenu::buildMenu);
}

void ToolbarInfoMenu::buildMenu()
{
    clear();
    m_colourCircleButtons.clear();
    m_imagesView = nullptr;

    addAction(local(QStringLiteral("Colour")))->setEnabled(false);

    auto* swatches = new QWidget(this);
    swatches->setFixedSize(menuWidth, 32);
    const DisplayItem* item = m_windowController ? m_windowController->currentDisplayItem() : nullptr;
    for (int i = 0; i < boardColourPalette().size(); ++i) {
        auto* button = new ColourCircleButton(swatches);
        button->setGeometry(i * 32, 0, 32, 32);
        button->setTag(i);
        button->setChecked(item && item->colour() == i);
        connect(button, &QAbstractButton::clicked, this, [this, i] { colourButtonSelected(i); });
        m_colourCircleButtons.append(button);
    }
    viewItem(this, QStringLiteral("First Menu"), swatches);

    addAction(local(QStringLiteral("Background Image")))->setEnabled(false);

    m_imagesView = new QWidget(this);
    m_imagesView->setFixedSize(menuWidth, 3 * bgImageButtonSize + 8);
    for (int i = 0; i < numberOfImages; ++i) {
        auto* button = new QToolButton(m_imagesView);
        button->setGeometry(backgroundImageButtonFrame(i));
        button->setAutoRaise(true);
        button->setIconSize(QSize(bgImageButtonSize - 4, bgImageButtonSize - 4));
        // Without the artwork the picture cannot be chosen.
        if (const std::optional<BuiltInBackground> background = builtInBackground(backgroundImageName(i))) {
            button->setIcon(QIcon(background->thumbnail));
        } else {
            button->setText(QString::number(i + 1));
            button->setEnabled(false);
        }
        connect(button, &QToolButton::clicked, this, [this, i] {
            backgroundSelected(i);
            close();
        });
    }
    viewItem(this, local(QStringLiteral("Background Image")), m_imagesView);
}

QList<QAbstractButton*> ToolbarInfoMenu::backgroundImageButtons() const
{
    return m_imagesView ? m_imagesView->findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly)
                        : QList<QAbstractButton*>();
}

QString ToolbarInfoMenu::backgroundImageName(int tag)
{
    return BackgroundArtwork::pictureName(tag + 1);
}

QRect ToolbarInfoMenu::backgroundImageButtonFrame(int index)
{
    const int perRow = menuWidth / (bgImageButtonSize + 2);
    const int row = index / perRow;
    const int column = index - perRow * row;
    return QRect((bgImageButtonSize + 2) * column, bgImageButtonSize * row, bgImageButtonSize, bgImageButtonSize);
}

void ToolbarInfoMenu::backgroundSelected(int tag)
{
    if (DisplayItem* item = m_windowController ? m_windowController->currentDisplayItem() : nullptr)
        item->setBgImage(backgroundImageName(tag));
    NotificationCenter::shared().post(NotificationName::backgroundChanged, this);
}

void ToolbarInfoMenu::colourButtonSelected(int tag)
{
    for (ColourCircleButton* button : m_colourCircleButtons)
        button->setChecked(button->tag() == tag);
    if (!m_windowController || !m_windowController->currentDisplayItem())
        return;
    m_windowController->setColour(tag);
    // The board paints its background only when told; without this the new colour would not
    // show until the board is chosen again.
    NotificationCenter::shared().post(NotificationName::backgroundChanged, this);
}
