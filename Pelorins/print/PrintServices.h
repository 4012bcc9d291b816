#pragma once

class AlertPresenter;
class FilePanelPresenter;
class PrintInfo;
class PrintPanelPresenter;

// What the print window and the print job need from outside: the shared settings and the panels
// that ask the user.
struct PrintServices
{
    PrintInfo& printInfo;
    FilePanelPresenter& filePanels;
    PrintPanelPresenter& printPanels;
    AlertPresenter& alerts;
};
