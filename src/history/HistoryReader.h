#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "history/HistorySample.h"

namespace hv {

class SqliteConnection;

// Read-only, any thread; works while the tray program writes (the file is in WAL mode).
class HistoryReader {
public:
    ~HistoryReader();
    // Opens the database read-only; nullptr and a readable message in *error when it cannot.
    static std::unique_ptr<HistoryReader> open(const QString& path, QString* error);
    // Hosts (title, address) stored under that exact title, in first-seen order.
    QList<QPair<QString, QString>> hostsWithTitle(const QString& title) const;
    // One host's samples with fromMs <= timeMs < toMs, oldest first.
    std::vector<HistorySample> samples(const QString& title, const QString& address,
                                       std::int64_t fromMs, std::int64_t toMs) const;

private:
    HistoryReader();
    std::unique_ptr<SqliteConnection> m_db;
};

}  // namespace hv
