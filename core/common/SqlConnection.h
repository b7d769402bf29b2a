// A Qt SQL connection name owned by one object (a map file, its writer): unique in the process,
// and the connection under it is closed and removed from Qt's registry by close() and on destruction.
#pragma once

#include <QString>

class SqlConnection {
public:
    explicit SqlConnection(const QString& prefix);
    ~SqlConnection();
    SqlConnection(const SqlConnection&) = delete;
    SqlConnection& operator=(const SqlConnection&) = delete;

    const QString& name() const { return m_name; }
    void close(); // no-op when no connection was added under the name

private:
    QString m_name;
};
