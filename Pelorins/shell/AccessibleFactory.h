#pragma once

#include <QString>

class QAccessibleInterface;
class QObject;

// The program's own accessible interfaces, for widgets whose meaning Qt cannot see from their
// class: cards, section headers, the welcome's page dots, and the board, its columns and their
// lists, whose children are read as they lie. Every other widget keeps Qt's.
class AccessibleFactory
{
public:
    // Installs the factory; later calls change nothing.
    static void install();
    // The interface for `object`, asked under the name of each class it derives from in turn;
    // none for what Qt describes itself.
    static QAccessibleInterface* create(const QString& className, QObject* object);
};
