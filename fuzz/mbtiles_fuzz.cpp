// Fuzzes the MBTiles reader: the bytes as a map file the user chose, opened, its metadata read and
// a few tiles looked up (in both row orders, inside and outside its bounds).
#include "core/maps/MbTilesFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("input.mbtiles"));
    {
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        out.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    MbTilesFile file(path);
    if (file.open()) {
        QByteArray bytes;
        for (int z : {file.minZoom(), file.maxZoom()}) {
            const int x = TileColumn((file.bounds().west + file.bounds().east) / 2, z);
            const int y = TileRow((file.bounds().south + file.bounds().north) / 2, z);
            if (file.covers(z, x, y))
                file.tile(z, x, y, &bytes);
            file.tile(z, 0, 0, &bytes);
            MbTilesFile::imageType(bytes);
        }
    }
    return 0;
}
