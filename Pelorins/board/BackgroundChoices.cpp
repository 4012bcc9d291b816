#include "Pelorins/board/BackgroundChoices.h"

#include "Pelorins/board/BackgroundPictureFiles.h"
#include "PelorinsKit/model/DisplayItem.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/NotificationName.h"
#include "PelorinsKit/model/PictureFolders.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/NotificationCenter.h"
#include "Platform/widgets/AlertPresenter.h"
#include "Platform/widgets/FilePanelPresenter.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

const QString BackgroundChoices::openPanelMessage
    = QStringLiteral("Choose a picture you want to use as your background");

BackgroundChoices::BackgroundChoices(Services services)
    : m_services(std::move(services))
{
    if (!m_services.notificationCenter)
        m_services.notificationCenter = &NotificationCenter::shared();
}

void BackgroundChoices::apply(DisplayItem* board, const std::function<void(DisplayItem&)>& change, const void* sender,
    Order order, bool deletePrevious) const
{
    const QString previous = board ? board->bgImage() : QString();
    if (board)
        change(*board);
    if (order == Order::saveThenAnnounce && m_services.save)
        m_services.save();
    m_services.notificationCenter->post(NotificationName::backgroundChanged, sender);
    if (order == Order::announceThenSave && m_services.save)
        m_services.save();
    const auto* kanban = dynamic_cast<const Kanban*>(board);
    if (deletePrevious && kanban && previous != kanban->bgImage())
        BackgroundPictureFiles::removeUnshared(*kanban, previous);
}

std::optional<QString> BackgroundChoices::copyChosenPicture(
    const DisplayItem& board, QWidget* window, bool announceExisting) const
{
    if (!window || !m_services.filePanelPresenter)
        return std::nullopt;
    FilePanelPresenter::OpenPanel panel;
    panel.identifier = QStringLiteral("customBackground");
    panel.message = openPanelMessage;
    panel.allowedFileTypes = BackgroundPictureFiles::allowedFileTypes;
    panel.directory = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (panel.directory.isEmpty())
        ConsoleLog::write(QStringLiteral("Could not get photos directory"));
    const std::optional<QString> chosen = m_services.filePanelPresenter->runOpenPanel(panel, window);
    if (!chosen)
        return std::nullopt;
    const std::optional<QString> folder = PictureFolders::picturesFolderURL();
    if (!folder)
        return std::nullopt;
    if (const QString reason = BackgroundPictureFiles::refusal(*chosen); !reason.isEmpty()) {
        refuse(reason, window);
        return std::nullopt;
    }
    // Named after the board, so two boards choosing one file keep a copy each.
    const QString fileName = board.uniqueIdentifier() + QLatin1Char('.') + QFileInfo(*chosen).suffix();
    if (announceExisting && QFileInfo::exists(QDir(*folder).filePath(fileName)))
        ConsoleLog::write(QStringLiteral("file already exists"));
    QString error;
    if (!BackgroundPictureFiles::copyIn(*chosen, fileName, &error)) {
        refuse(error, window);
        return std::nullopt;
    }
    return fileName;
}

void BackgroundChoices::refuse(const QString& reason, QWidget* window) const
{
    ConsoleLog::write(QStringLiteral("Something happend during copy ") + reason);
    if (!m_services.alertPresenter)
        return;
    AlertPresenter::Alert alert;
    alert.messageText = QStringLiteral("The picture cannot be used as the background.");
    alert.informativeText = reason.isEmpty() ? QString() : reason.at(0).toUpper() + reason.mid(1) + QLatin1Char('.');
    alert.buttonTitles = {QStringLiteral("OK")};
    m_services.alertPresenter->runModal(alert, window);
}
