#pragma once

#include <QString>
#include <cstdint>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace hv {

// The history file's schema version, in PRAGMA user_version.
inline constexpr int kHistorySchemaVersion = 1;

// A SQLite call that failed: its result code and message.
struct SqliteError {
    int code = 0;
    QString message;
};

// One connection, closed with the object.
class SqliteConnection {
public:
    SqliteConnection() = default;
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    // flags: SQLITE_OPEN_*; throws SqliteError.
    void open(const QString& path, int flags);
    void close();
    bool isOpen() const { return m_db != nullptr; }
    sqlite3* handle() const { return m_db; }
    // Runs statements that return nothing worth keeping; throws SqliteError.
    void exec(const char* sql);
    // The first column of the first row as text (a PRAGMA's answer); throws SqliteError.
    QString text(const char* sql);
    std::int64_t integer(const char* sql);
    SqliteError lastError(int code) const;

private:
    sqlite3* m_db = nullptr;
};

// A prepared statement, reset before each use.
class SqliteStatement {
public:
    SqliteStatement(SqliteConnection& db, const char* sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    SqliteStatement& reset();
    SqliteStatement& bind(int index, std::int64_t value);
    SqliteStatement& bindNull(int index);
    SqliteStatement& bind(int index, const QString& value);
    // True while there is a row; throws SqliteError.
    bool step();
    void run() { step(); }
    bool isNull(int column) const;
    std::int64_t integer(int column) const;
    QString text(int column) const;

private:
    SqliteConnection& m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

}  // namespace hv
