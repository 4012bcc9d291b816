#include "Pelorins/board/FilterViewController.h"

#include "Pelorins/board/ColourPopupButton.h"
#include "Pelorins/board/ColourPopupButtonMenu.h"
#include "Pelorins/board/EditingTextField.h"
#include "Pelorins/board/TagFiltersDelegate.h"
#include "Pelorins/common/ColorCountButtonCell.h"
#include "Pelorins/common/ColourHelpers.h"
#include "PelorinsKit/board/TagRenaming.h"
#include "PelorinsKit/model/Hashtags.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/LocalizedString.h"
#include "PelorinsKit/model/NotificationName.h"
#include "PelorinsKit/model/Tag.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "Platform/core/NotificationCenter.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int rowsWidth = 220;
constexpr double fadeSeconds = 0.3;

// The number of a tag's cards, cut out of a pill in the tag's colour (the button's palette).
class CountBadge : public QAbstractButton
{
public:
    using QAbstractButton::QAbstractButton;

protected:
    void paintEvent(QPaintEvent*) override
    {
        ColorCountButtonCell cell(text());
        cell.setBackgroundColor(palette().color(QPalette::Button));
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        cell.draw(painter, QRectF(rect()));
    }
};

QList<Tag*> sortedByName(QList<Tag*> tags)
{
    std::stable_sort(tags.begin(), tags.end(), [](const Tag* a, const Tag* b) { return a->name() < b->name(); });
    return tags;
}

QGraphicsOpacityEffect* opacityOf(QWidget* widget)
{
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(widget->graphicsEffect());
    if (!effect) {
        effect = new QGraphicsOpacityEffect(widget);
        widget->setGraphicsEffect(effect);
    }
    return effect;
}

} // namespace

FilterViewController::FilterViewController(
    TagFiltersDelegate* delegate, NotificationCenter& notificationCenter, QWidget* parent)
    : QWidget(parent)
    , m_delegate(delegate)
    , m_boldFont(systemFontOfSize(12, QFont::Bold))
{
    setObjectName(QStringLiteral("filterViewController"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    m_rowsView = new QWidget;
    m_checkboxContainer = new QWidget(m_rowsView);
    m_editControlsContainer = new QWidget(m_rowsView);
    m_editControlsContainer->hide();
    m_scrollArea = new QScrollArea(this);
    m_scrollArea->setFrameShape(QFrame::NoFrame);
    m_scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollArea->setWidgetResizable(false);
    // Tab goes from row to row; the rows scroll to the one the keyboard is on.
    m_scrollArea->setFocusPolicy(Qt::NoFocus);
    m_scrollArea->setWidget(m_rowsView);
    layout->addWidget(m_scrollArea);

    m_noTagsLabel
        = new QLabel(local(QStringLiteral("This board has no tags yet. Write #name in a card to add one.")), this);
    m_noTagsLabel->setWordWrap(true);
    m_noTagsLabel->hide();
    layout->addWidget(m_noTagsLabel);
    m_messageLabel = new QLabel(this);
    m_messageLabel->setWordWrap(true);
    m_messageLabel->hide();
    layout->addWidget(m_messageLabel);

    auto* buttons = new QHBoxLayout;
    m_clearAllButton = new QPushButton(local(QStringLiteral("Clear All")), this);
    m_clearAllButton->setAutoDefault(false);
    connect(m_clearAllButton, &QPushButton::clicked, this, &FilterViewController::clearAllFilter);
    m_editButton = new QPushButton(local(QStringLiteral("Edit")), this);
    m_editButton->setAutoDefault(false);
    connect(m_editButton, &QPushButton::clicked, this, &FilterViewController::editButtonClicked);
    m_doneShortcut = new QShortcut(QKeySequence(Qt::Key_Return), this);
    m_doneShortcut->setContext(Qt::WindowShortcut);
    m_doneShortcut->setEnabled(false);
    connect(m_doneShortcut, &QShortcut::activated, this, &FilterViewController::editButtonClicked);
    buttons->addWidget(m_clearAllButton);
    buttons->addStretch();
    buttons->addWidget(m_editButton);
    layout->addLayout(buttons);

    buildRows();
    notificationCenter.addObserver(
        this, NotificationName::tagValueChanged, [this](const NotificationCenter::Notification& notification) {
            if (Tag* tag = TagRenaming::affectedTag(notification.userInfo))
                tagValueChanged(tag, TagRenaming::newColour(notification.userInfo));
        });
}

FilterViewController::~FilterViewController() = default;

void FilterViewController::buildRows()
{
    // The old rows may be what is reporting now: they go quietly, once it is done.
    for (QWidget* container : {m_checkboxContainer, m_editControlsContainer})
        for (QWidget* control : container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            control->disconnect(this);
            if (auto* popup = qobject_cast<ColourPopupButton*>(control))
                popup->colourMenu()->disconnect(this);
            control->hide();
            control->deleteLater();
        }
    m_checkButtons.clear();
    m_badgeButtons.clear();
    m_textFields.clear();
    m_popupButtons.clear();
    m_tagPositionsToUpdate.clear();

    m_clearAllButton->setEnabled(false);
    m_tags.clear();
    if (m_delegate && m_delegate->kanban())
        m_tags = sortedByName(m_delegate->kanban()->tags());

    const int height = rowHeight * int(m_tags.size());
    m_rowsView->resize(rowsWidth, height);
    m_checkboxContainer->setGeometry(0, 0, rowsWidth, height);
    m_editControlsContainer->setGeometry(0, 0, rowsWidth, height);
    const int visible = std::min(int(m_tags.size()), visibleRows);
    m_scrollArea->setFixedSize(
        rowsWidth + (int(m_tags.size()) > visibleRows ? m_scrollArea->verticalScrollBar()->sizeHint().width() : 0),
        rowHeight * visible);
    m_scrollArea->setVisible(!m_tags.isEmpty());
    m_noTagsLabel->setVisible(m_tags.isEmpty());

    for (int row = 0; row < m_tags.size(); ++row)
        addRow(row, m_tags.at(row));
    // The keyboard goes down the tags, then to the buttons under them.
    QWidget* previous = nullptr;
    for (QCheckBox* checkBox : std::as_const(m_checkButtons)) {
        if (previous)
            setTabOrder(previous, checkBox);
        previous = checkBox;
    }
    if (previous) {
        setTabOrder(previous, m_clearAllButton);
        setTabOrder(m_clearAllButton, m_editButton);
    }
}

void FilterViewController::addRow(int row, Tag* tag)
{
    const int y = rowHeight * row;

    // The count's pill grows with its digits, at the row's end; the title takes what is left.
    const QString count = QString::number(tag->items().size());
    const QSize badgeSize = ColorCountButtonCell(count).sizeThatFits(rowHeight - 4).toSize().expandedTo(QSize(30, 0));
    const int badgeLeft = rowsWidth - badgeSize.width();
    auto* checkBox = new QCheckBox(m_checkboxContainer);
    checkBox->setGeometry(0, y, badgeLeft - 10, rowHeight);
    checkBox->setFont(m_boldFont);
    const std::optional<QList<Tag*>> filter = m_delegate->tagFilter();
    if (filter && filter->contains(tag)) {
        checkBox->setChecked(true);
        m_clearAllButton->setEnabled(true);
    }
    connect(checkBox, &QCheckBox::clicked, this, &FilterViewController::setFilter);
    m_checkButtons.append(checkBox);
    checkBox->show();

    auto* badge = new CountBadge(m_checkboxContainer);
    badge->setGeometry(badgeLeft, y + 2, badgeSize.width(), rowHeight - 4);
    badge->setText(count);
    QPalette badgePalette = badge->palette();
    badgePalette.setColor(QPalette::Button, tagColour(tag->colour()));
    badge->setPalette(badgePalette);
    badge->setFocusPolicy(Qt::NoFocus);
    m_badgeButtons.append(badge);
    badge->show();

    auto* field = new EditingTextField(row, m_editControlsContainer);
    field->setAccessibleName(local(QStringLiteral("Tag")));
    field->setGeometry(0, y, 180, rowHeight);
    connect(field, &EditingTextField::tagNameChanged, this, &FilterViewController::tagNameChanged);
    m_textFields.append(field);
    field->show();

    auto* popup = new ColourPopupButton(row, m_editControlsContainer);
    popup->setGeometry(180, y, 40, rowHeight);
    popup->selectItem(tag->colour());
    popup->setAccessibleName(local(QStringLiteral("Colour")));
    connect(popup->colourMenu(), &ColourPopupButtonMenu::colourChosen, this, &FilterViewController::colourChanged);
    m_popupButtons.append(popup);
    popup->show();

    refreshRow(row);
}

void FilterViewController::refreshRow(int row)
{
    const Tag* tag = m_tags.at(row);
    QCheckBox* checkBox = m_checkButtons.at(row);
    checkBox->setText(QLatin1Char('#') + tag->name());
    // Found by the tag's name, as the tags' editor names it.
    checkBox->setAccessibleName(tag->name());
    QPalette palette = checkBox->palette();
    // The tag's colour, made readable on the popover.
    palette.setColor(QPalette::WindowText, readableOn(tagColour(tag->colour()), palette.color(QPalette::Window)));
    checkBox->setPalette(palette);
    m_textFields.at(row)->setText(tag->name());
}

void FilterViewController::setFilter()
{
    QList<Tag*> checked;
    for (int row = 0; row < m_checkButtons.size(); ++row)
        if (m_checkButtons.at(row)->isChecked())
            checked.append(m_tags.at(row));
    m_clearAllButton->setEnabled(!checked.isEmpty());
    if (m_delegate)
        m_delegate->setTagFilter(checked.isEmpty() ? std::nullopt : std::optional<QList<Tag*>>(checked));
}

void FilterViewController::clearAllFilter()
{
    for (QCheckBox* checkBox : std::as_const(m_checkButtons))
        checkBox->setChecked(false);
    if (m_delegate)
        m_delegate->setTagFilter(std::nullopt);
    m_clearAllButton->setEnabled(false);
}

void FilterViewController::editButtonClicked()
{
    // Leaving the editor applies a name being typed.
    if (m_viewIsEditing)
        for (EditingTextField* field : std::as_const(m_textFields))
            field->endEditing();
    m_viewIsEditing = !m_viewIsEditing;
    m_doneShortcut->setEnabled(m_viewIsEditing);
    if (m_viewIsEditing) {
        m_editButton->setText(local(QStringLiteral("Done")));
        crossFade(m_editControlsContainer, m_checkboxContainer);
    } else {
        m_editButton->setText(local(QStringLiteral("Edit")));
        crossFade(m_checkboxContainer, m_editControlsContainer);
    }
}

void FilterViewController::crossFade(QWidget* to, QWidget* from)
{
    QGraphicsOpacityEffect* toOpacity = opacityOf(to);
    QGraphicsOpacityEffect* fromOpacity = opacityOf(from);
    toOpacity->setOpacity(0.0);
    to->show();
    m_animator.run(
        fadeSeconds,
        [&] {
            m_animator.setValue(to, "opacity", 0.0, 1.0, [toOpacity](double value) { toOpacity->setOpacity(value); });
            m_animator.setValue(
                from, "opacity", 1.0, 0.0, [fromOpacity](double value) { fromOpacity->setOpacity(value); });
        },
        [this, from] {
            from->hide();
            if (m_viewIsEditing) {
                m_tagPositionsToUpdate.clear();
                return;
            }
            for (int row : std::as_const(m_tagPositionsToUpdate))
                if (row < m_tags.size())
                    refreshRow(row);
            m_tagPositionsToUpdate.clear();
        });
}

void FilterViewController::colourChanged(int pos, int colour)
{
    if (m_delegate && pos >= 0 && pos < m_tags.size())
        m_delegate->changeTagColour(m_tags.at(pos), colour);
}

void FilterViewController::tagNameChanged(EditingTextField* field)
{
    const int row = field->tag();
    if (!m_delegate || row < 0 || row >= m_tags.size())
        return;
    Tag* tag = m_tags.at(row);
    const QString refusal = TagRenaming::nameRefusal(field->text().trimmed());
    // The board may ask first, and the popover may close while it does.
    const QPointer<FilterViewController> self(this);
    const QPointer<EditingTextField> editedField(field);
    m_delegate->renameTag(tag, field->text());
    if (!self)
        return;
    m_messageLabel->setText(refusal);
    m_messageLabel->setVisible(!refusal.isEmpty());
    // The popover grows or shrinks with the message, which takes its own room below the rows.
    if (QWidget* popover = window(); popover != this)
        popover->adjustSize();
    if (editedField && !tag->isDeleted())
        editedField->setText(tag->name());
}

void FilterViewController::hideEvent(QHideEvent* event)
{
    for (EditingTextField* field : std::as_const(m_textFields))
        field->endEditing();
    QWidget::hideEvent(event);
}

void FilterViewController::tagValueChanged(Tag* tag, std::optional<int> newColour)
{
    // A merge, or its undo, changed which tags the board has.
    if (boardTagsChanged()) {
        buildRows();
        return;
    }
    const int row = int(m_tags.indexOf(tag));
    if (row < 0)
        return;
    m_tagPositionsToUpdate.append(row);
    refreshRow(row);
    if (newColour)
        m_popupButtons.at(row)->selectItem(*newColour);
}

bool FilterViewController::boardTagsChanged() const
{
    const Kanban* kanban = m_delegate ? m_delegate->kanban() : nullptr;
    const QList<Tag*> boardTags = kanban ? kanban->tags() : QList<Tag*>();
    return QSet<Tag*>(boardTags.cbegin(), boardTags.cend()) != QSet<Tag*>(m_tags.cbegin(), m_tags.cend());
}
