#pragma once

#include "PelorinsKit/notes/AttributedString.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

class ManagedObject;
class NodePlan;
class ManagedObjectContext;
class ManagedObjectModel;

// Makes new objects from the JSON node format (see JSONWriter): archive import, paste of cards
// and columns, duplication and undo of deletions in the sidebar. It creates objects and sets
// their values and relationships; it never saves and never places the top-level objects.
//
// A payload is checked whole before anything is made, since it may come from another machine,
// another version or a hostile file: it must be an array of one-key objects naming classes of
// the model (never "Root"), with values of the types the model gives their attributes, nodes
// nested at most `maximumNodeDepth` deep, no object that would contain itself, no board whose done
// column is also one of its stage columns, and only safe picture folder, file and background
// names. A payload that fails is refused with a console line and makes nothing. Keys that name no
// property of the class are skipped, so archives of newer versions still read; relationships the
// format does not carry (a card's picture records) are skipped with a console line.
class JSONReader
{
public:
    static constexpr int maximumNodeDepth = 128;
    // Decoded bytes of one picture carried in notes as Base64.
    static constexpr qsizetype maximumPictureBytes = 32 * 1024 * 1024;
    // Upper bound of its Base64 text.
    static constexpr qsizetype maximumPictureText = (maximumPictureBytes + 2) / 3 * 4 + 4;
    // Far above any real archive (the whole reference dataset exports to a fraction of it), low
    // enough that a hostile file cannot exhaust memory while it is read.
    static constexpr qint64 maximumArchiveBytes = qint64(512) * 1024 * 1024;

    // The store manager keeps the reader of its main context (CoreDataManager::jsonReader()).
    explicit JSONReader(ManagedObjectContext* managedObjectContext);
    JSONReader(const JSONReader&) = delete;
    JSONReader& operator=(const JSONReader&) = delete;

    ManagedObjectContext* managedObjectContext() const { return m_managedObjectContext; }

    // The objects made by the current payload by the "objectIDURI" their nodes carried. A node
    // whose URI is here already gives that object again; callers empty it before a new payload.
    QHash<QString, ManagedObject*>& importedObjects() { return m_importedObjects; }
    void setImportedObjects(const QHash<QString, ManagedObject*>& importedObjects)
    {
        m_importedObjects = importedObjects;
    }
    // Every identifier replaced because it was in use, old to new, for the life of the reader.
    const QHash<QString, QString>& oldToNewUUIDMappings() const { return m_oldToNewUUIDMappings; }

    // One object per entry of each dictionary, in order; empty dictionaries give none. An
    // identifier already used by an object of the same entity is replaced by a new one, and
    // history entries follow the new identifiers of their columns. Empty, with `error` set and a
    // console line, when the payload is refused.
    QList<ManagedObject*> makeObjectsFromArrayOf(const QJsonArray& dictionaryObjects, QString* error = nullptr);

    // Archives: a file of JSON text whose top level is an array of folder and board nodes.
    // The nodes of an archive, read as they stream by without a document of them (see NodePlan),
    // checked whole against `model` as makeObjectsFromArrayOf checks a payload, and holding only
    // folders and boards at the top. Text in UTF-16 or UTF-32 with a byte order mark is read too.
    // Nothing, with the reason, when the archive is refused. Touches no context, so it may run on
    // any thread. The file at `path` is read a block at a time, never held whole; a file of more
    // than `maximumArchiveBytes` is refused. `unreadable` tells a file that could not be read (or
    // is too large) from a refused archive.
    static std::optional<NodePlan> checkedArchiveFile(
        const QString& path, const ManagedObjectModel& model, QString* error, bool* unreadable);
    // The objects of an archive's bytes, as makeObjectsFromArrayOf makes those of its nodes.
    QList<ManagedObject*> makeObjectsFromArchiveData(const QByteArray& data, QString* error = nullptr);
    // The objects of an archive file, read as checkedArchiveFile reads it. A file that cannot be
    // read gives none, with `error` and `unreadable` set but no console line.
    QList<ManagedObject*> makeObjectsFromArchiveFile(
        const QString& path, QString* error = nullptr, bool* unreadable = nullptr);
    // The objects of an archive read by checkedArchive, checked again against importedObjects().
    // `finish`, when given, sees each object made once its values and relationships are set.
    QList<ManagedObject*> makeObjectsFromArchive(
        const NodePlan& archive, QString* error = nullptr, const std::function<void(ManagedObject*)>& finish = {});

    // Notes from their dictionary form (see AttributedStringDictionary.h): none when "string" is
    // not a text or "runs" not an array of objects. Styles are rebuilt from the style names;
    // runs are clipped to the text; a picture carried as Base64 under "NSAttachment" is written
    // to a new picture folder. Unsafe picture names are dropped with a console line.
    static std::optional<AttributedString> attributedStringFrom(const QJsonObject& dict);

private:
    class Builder;

    // The objects of a plan, once it passed the check.
    QList<ManagedObject*> build(const NodePlan& plan, QString* error);
    // The plan of an archive's bytes, not yet checked.
    static std::optional<NodePlan> archivePlan(const QByteArray& data, const ManagedObjectModel& model, QString* error);
    // The plan of an archive file, not yet checked.
    static std::optional<NodePlan> archiveFilePlan(
        const QString& path, const ManagedObjectModel& model, QString* error, bool* unreadable);
    // The bytes of an archive file, at most `maximumArchiveBytes`; nothing, with the reason, when
    // it cannot be read.
    static std::optional<QByteArray> readArchiveFile(const QString& path, QString* error);
    static QList<ManagedObject*> refused(const QString& refusal, QString* error);

    ManagedObjectContext* m_managedObjectContext = nullptr;
    QHash<QString, ManagedObject*> m_importedObjects;
    QHash<QString, QString> m_oldToNewUUIDMappings;
};
