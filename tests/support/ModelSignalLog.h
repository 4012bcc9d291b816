#pragma once

#include <QAbstractItemModel>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <utility>

// The row signals of an item model, in order, as short lines: "inserted Work 1-1", "removed top
// 0-0", "moved Work 2-2 to Later 0", "reset", and "title Plan" when an item's display text
// changes. A parent is named by its display text, the top level "top". Changes of other roles are
// only counted, since views ask for them again whenever they like.
class ModelSignalLog
{
public:
    explicit ModelSignalLog(QAbstractItemModel& model)
    {
        QObject::connect(
            &model, &QAbstractItemModel::rowsInserted, &m_receiver, [this](const QModelIndex& p, int first, int last) {
                add(QStringLiteral("inserted %1 %2-%3").arg(name(p)).arg(first).arg(last));
            });
        QObject::connect(
            &model, &QAbstractItemModel::rowsRemoved, &m_receiver, [this](const QModelIndex& p, int first, int last) {
                add(QStringLiteral("removed %1 %2-%3").arg(name(p)).arg(first).arg(last));
            });
        QObject::connect(&model, &QAbstractItemModel::rowsMoved, &m_receiver,
            [this](const QModelIndex& from, int first, int last, const QModelIndex& to, int row) {
                add(QStringLiteral("moved %1 %2-%3 to %4 %5")
                        .arg(name(from))
                        .arg(first)
                        .arg(last)
                        .arg(name(to))
                        .arg(row));
            });
        QObject::connect(
            &model, &QAbstractItemModel::modelReset, &m_receiver, [this] { add(QStringLiteral("reset")); });
        QObject::connect(&model, &QAbstractItemModel::dataChanged, &m_receiver,
            [this](const QModelIndex& from, const QModelIndex&, const QList<int>& roles) {
                if (roles.contains(Qt::DisplayRole))
                    add(QStringLiteral("title %1").arg(name(from)));
                else
                    for (int role : roles)
                        ++m_roleChanges[role];
            });
    }
    ModelSignalLog(const ModelSignalLog&) = delete;
    ModelSignalLog& operator=(const ModelSignalLog&) = delete;

    // The lines logged since the last call.
    QStringList take() { return std::exchange(m_lines, {}); }
    // How many change signals named `role` (never the display role) since the log began.
    int changesOf(int role) const { return m_roleChanges.value(role); }

private:
    static QString name(const QModelIndex& index)
    {
        return index.isValid() ? index.data().toString() : QStringLiteral("top");
    }
    void add(const QString& line) { m_lines.append(line); }

    // The connections end with the log, whichever of log and model goes first.
    QObject m_receiver;
    QStringList m_lines;
    QHash<int, int> m_roleChanges;
};
