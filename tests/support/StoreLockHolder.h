#pragma once

#include <QFile>
#include <QString>
#include <gtest/gtest.h>
#include <sqlite3.h>

// Another program's connection to a store, holding the lock its statements take until it is
// destroyed: "BEGIN IMMEDIATE" as a writer does, "PRAGMA locking_mode=EXCLUSIVE; BEGIN
// EXCLUSIVE" to keep every other connection out.
class StoreLockHolder
{
public:
    StoreLockHolder(const QString& path, const char* sql)
    {
        sqlite3_open(QFile::encodeName(path).constData(), &m_db);
        char* message = nullptr;
        EXPECT_EQ(sqlite3_exec(m_db, sql, nullptr, nullptr, &message), SQLITE_OK) << (message ? message : "");
        sqlite3_free(message);
    }
    ~StoreLockHolder() { sqlite3_close_v2(m_db); }
    StoreLockHolder(const StoreLockHolder&) = delete;
    StoreLockHolder& operator=(const StoreLockHolder&) = delete;

private:
    sqlite3* m_db = nullptr;
};
