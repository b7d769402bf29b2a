#include "core/common/SqlConnection.h"

#include <QAtomicInt>
#include <QSqlDatabase>

namespace {
QAtomicInt g_connections;
}

SqlConnection::SqlConnection(const QString& prefix)
    : m_name(QStringLiteral("%1-%2").arg(prefix).arg(g_connections.fetchAndAddRelaxed(1))) {}

SqlConnection::~SqlConnection() {
    close();
}

void SqlConnection::close() {
    if (!QSqlDatabase::contains(m_name))
        return;
    {
        // The handle must be gone before the connection is removed.
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}
