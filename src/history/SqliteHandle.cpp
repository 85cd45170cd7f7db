#include "history/SqliteHandle.h"

#include <sqlite3.h>

namespace hv {

SqliteConnection::~SqliteConnection() { close(); }

void SqliteConnection::open(const QString& path, int flags) {
    close();
    const int code = sqlite3_open_v2(path.toUtf8().constData(), &m_db, flags, nullptr);
    if (code != SQLITE_OK) {
        const SqliteError error = lastError(code);
        close();
        throw error;
    }
    sqlite3_extended_result_codes(m_db, 1);
}

void SqliteConnection::close() {
    if (m_db) sqlite3_close_v2(m_db);
    m_db = nullptr;
}

SqliteError SqliteConnection::lastError(int code) const {
    const char* text = m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(code);
    return {code, QString::fromUtf8(text ? text : sqlite3_errstr(code))};
}

void SqliteConnection::exec(const char* sql) {
    char* message = nullptr;
    const int code = sqlite3_exec(m_db, sql, nullptr, nullptr, &message);
    if (code != SQLITE_OK) {
        SqliteError error{code, QString::fromUtf8(message ? message : sqlite3_errstr(code))};
        sqlite3_free(message);
        throw error;
    }
}

QString SqliteConnection::text(const char* sql) {
    SqliteStatement s(*this, sql);
    return s.step() ? s.text(0) : QString();
}

std::int64_t SqliteConnection::integer(const char* sql) {
    SqliteStatement s(*this, sql);
    return s.step() ? s.integer(0) : 0;
}

SqliteStatement::SqliteStatement(SqliteConnection& db, const char* sql) : m_db(db) {
    const int code = sqlite3_prepare_v2(db.handle(), sql, -1, &m_stmt, nullptr);
    if (code != SQLITE_OK) throw db.lastError(code);
}

SqliteStatement::~SqliteStatement() { sqlite3_finalize(m_stmt); }

SqliteStatement& SqliteStatement::reset() {
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
    return *this;
}

SqliteStatement& SqliteStatement::bind(int index, std::int64_t value) {
    sqlite3_bind_int64(m_stmt, index, value);
    return *this;
}

SqliteStatement& SqliteStatement::bindNull(int index) {
    sqlite3_bind_null(m_stmt, index);
    return *this;
}

SqliteStatement& SqliteStatement::bind(int index, const QString& value) {
    const QByteArray utf8 = value.toUtf8();
    sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    return *this;
}

bool SqliteStatement::step() {
    const int code = sqlite3_step(m_stmt);
    if (code == SQLITE_ROW) return true;
    if (code == SQLITE_DONE) return false;
    const SqliteError error = m_db.lastError(code);
    sqlite3_reset(m_stmt);
    throw error;
}

bool SqliteStatement::isNull(int column) const {
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

std::int64_t SqliteStatement::integer(int column) const {
    return sqlite3_column_int64(m_stmt, column);
}

QString SqliteStatement::text(int column) const {
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    return QString::fromUtf8(bytes, sqlite3_column_bytes(m_stmt, column));
}

}  // namespace hv
