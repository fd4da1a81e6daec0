#include "sendaway/FileRangeDevice.h"

#include <algorithm>

namespace sendaway {

FileRangeDevice::FileRangeDevice(const QString &path, qint64 begin, qint64 end, QObject *parent)
    : QIODevice(parent), _file(path), _begin(std::max<qint64>(0, begin)), _end(std::max(_begin, end)) {}

bool FileRangeDevice::open(OpenMode mode) {
    if ((mode & WriteOnly) || !_file.open(QIODevice::ReadOnly))
        return false;
    if (_file.size() < _end || !_file.seek(_begin)) {
        _file.close();
        return false;
    }
    // Unbuffered: the file's own position is the only one, so seek() and reset() stay exact.
    return QIODevice::open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

void FileRangeDevice::close() {
    _file.close();
    QIODevice::close();
}

bool FileRangeDevice::seek(qint64 pos) {
    if (pos < 0 || pos > size() || !_file.seek(_begin + pos))
        return false;
    return QIODevice::seek(pos);
}

bool FileRangeDevice::atEnd() const { return !isOpen() || pos() >= size(); }

qint64 FileRangeDevice::readData(char *data, qint64 maxSize) {
    const qint64 left = _end - _file.pos();
    if (left <= 0)
        return 0;
    return _file.read(data, std::min(left, maxSize));
}

} // namespace sendaway
