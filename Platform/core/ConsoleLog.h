#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// The one way the program and its framework write console lines. Each line goes to standard
// output, newline-terminated; tests capture lines to assert on their exact text.
class ConsoleLog
{
public:
    static void write(const QString& line);

    // Captures every line written while it lives, instead of printing it.
    class Capture
    {
    public:
        Capture();
        ~Capture();
        Capture(const Capture&) = delete;
        Capture& operator=(const Capture&) = delete;

        QStringList lines() const { return m_lines; }
        bool contains(const QString& line) const { return m_lines.contains(line); }
        void clear() { m_lines.clear(); }

    private:
        QStringList m_lines;
        Capture* m_previous = nullptr;
        friend class ConsoleLog;
    };
};
