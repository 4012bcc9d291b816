#pragma once

#include <QString>
#include <functional>
#include <optional>

class AlertPresenter;
class DisplayItem;
class FilePanelPresenter;
class NotificationCenter;
class QObject;
class QWidget;

// The steps every choice of a board background shares. The new background is written to the
// board, saved and announced before the custom picture file it replaces is deleted, so a failure
// on the way never leaves the board naming a deleted file.
class BackgroundChoices
{
public:
    struct Services
    {
        // The program's save routine.
        std::function<void()> save;
        // Required: chooses the custom picture.
        FilePanelPresenter* filePanelPresenter = nullptr;
        // Tells the user why a picture was refused; without one only the console hears it.
        AlertPresenter* alertPresenter = nullptr;
        // The shared centre when null.
        NotificationCenter* notificationCenter = nullptr;
    };
    enum class Order { saveThenAnnounce, announceThenSave };

    static const QString openPanelMessage;

    explicit BackgroundChoices(Services services);

    // Changes the board through `change` (nothing without a board), saves and posts
    // "BackgroundChanged" with `sender` in `order`, then deletes the board's earlier custom
    // picture when `deletePrevious` and no board names it any more.
    void apply(DisplayItem* board, const std::function<void(DisplayItem&)>& change, const void* sender, Order order,
        bool deletePrevious) const;

    // Asks for a PNG or JPEG in the user's Pictures folder, as a sheet of `window`, and copies
    // it into the pictures folder as "<board's identifier>.<its extension>". The copy's file
    // name; none when cancelled or without a window, or when the picture was refused or could not
    // be copied, which an alert and the console line "Something happend during copy " tell.
    // With `announceExisting` a copy that replaces a file prints "file already exists" first.
    std::optional<QString> copyChosenPicture(const DisplayItem& board, QWidget* window, bool announceExisting) const;

private:
    void refuse(const QString& reason, QWidget* window) const;

    Services m_services;
};
