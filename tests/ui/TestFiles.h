// File helpers of the UI tests: a file's SHA-256 and a folder's entries.
#pragma once

#include <QCryptographicHash>
#include <QFile>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace testfiles {

// Hex SHA-256 of a file; empty when it cannot be read.
inline std::string sha256(const std::filesystem::path& file) {
    QFile f(QString::fromStdString(file.string()));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&f);
    return hash.result().toHex().toStdString();
}

// The names in a folder, sorted.
inline std::vector<std::string> entriesOf(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace testfiles
