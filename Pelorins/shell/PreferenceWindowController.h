#pragma once

#include <QRect>
#include <memory>

class DueDatePrefViewController;
class QWidget;
class UserDefaults;

// The preferences window: the due-date pane, centred on the screen when it opens.
class PreferenceWindowController
{
public:
    static constexpr int windowWidth = 460;
    static constexpr int windowHeight = 260;

    explicit PreferenceWindowController(UserDefaults& defaults);
    ~PreferenceWindowController();

    QWidget* window() const { return m_window.get(); }
    DueDatePrefViewController* contentViewController() const { return m_pane; }

    // Shows the window in front, centred the first time.
    void showWindow();

    // The window's frame on a screen of `screenFrame`: at most 460 x 260, centred within it.
    static QRect centredFrame(const QRect& screenFrame);

private:
    void windowDidLoad();

    std::unique_ptr<QWidget> m_window;
    DueDatePrefViewController* m_pane = nullptr;
    bool m_loaded = false;
};
