#include "Pelorins/shell/DueDatePrefViewController.h"

#include "PelorinsKit/model/DateHelpers.h"
#include "PelorinsKit/model/DueSoonDefinition.h"
#include "PelorinsKit/model/LocalizedString.h"
#include "PelorinsKit/model/NotificationName.h"
#include "Platform/core/NotificationCenter.h"
#include "Platform/core/UserDefaults.h"

#include <QComboBox>
#include <QFormLayout>
#include <QSignalBlocker>
#include <QTimeEdit>

DueDatePrefViewController::DueDatePrefViewController(UserDefaults& defaults, QWidget* parent)
    : QWidget(parent)
    , m_defaults(defaults)
    , m_dueTimePicker(new QTimeEdit(this))
    , m_dueSoonPopUpButton(new QComboBox(this))
{
    m_dueTimePicker->setObjectName(QStringLiteral("dueTimePicker"));
    m_dueTimePicker->setDisplayFormat(QStringLiteral("HH:mm"));
    m_dueSoonPopUpButton->setObjectName(QStringLiteral("dueSoonPopUpButton"));
    // In the order of the definitions' raw values.
    m_dueSoonPopUpButton->addItems({local(QStringLiteral("Due today")), local(QStringLiteral("Within 24 hours")),
        local(QStringLiteral("Within 2 days")), local(QStringLiteral("Within 3 days")),
        local(QStringLiteral("Within 4 days")), local(QStringLiteral("Within 5 days")),
        local(QStringLiteral("Within 1 week"))});

    auto* form = new QFormLayout(this);
    form->addRow(local(QStringLiteral("Cards fall due at:")), m_dueTimePicker);
    form->addRow(local(QStringLiteral("A card is due soon when it is due:")), m_dueSoonPopUpButton);

    viewDidLoad();
    connect(m_dueTimePicker, &QTimeEdit::timeChanged, this, [this] { timeChanged(m_dueTimePicker); });
    connect(m_dueSoonPopUpButton, &QComboBox::currentIndexChanged, this,
        [this] { definitionChanged(m_dueSoonPopUpButton); });
}

void DueDatePrefViewController::viewDidLoad()
{
    const QSignalBlocker timeBlocker(m_dueTimePicker);
    const QSignalBlocker definitionBlocker(m_dueSoonPopUpButton);
    m_dueTimePicker->setTime(
        DateHelpers::nearestDeadline(QDateTime::currentDateTimeUtc(), m_defaults).toLocalTime().time());
    const std::optional<DueSoonDefinition> definition
        = dueSoonDefinitionFromRawValue(m_defaults.integerForKey(dueSoonDefinitionKey));
    m_dueSoonPopUpButton->setCurrentIndex(definition ? int(*definition) : -1);
}

void DueDatePrefViewController::timeChanged(QTimeEdit* sender)
{
    const QTime time = sender->time();
    m_defaults.setValue(DateHelpers::dueHourKey, time.hour());
    m_defaults.setValue(DateHelpers::dueMinuteKey, time.minute());
    m_defaults.synchronize();
}

void DueDatePrefViewController::definitionChanged(QComboBox* sender)
{
    // A pop-up without a selection names no definition; storing its -1 would break due dates.
    const int index = sender->currentIndex();
    if (!dueSoonDefinitionFromRawValue(index))
        return;
    m_defaults.setValue(dueSoonDefinitionKey, index);
    m_defaults.synchronize();
    NotificationCenter::shared().post(NotificationName::dueSoonDefinitionChanged);
}
