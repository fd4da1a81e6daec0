#pragma once
// A read-only window [begin, end) of a file, presented as a device of its own that starts
// at 0: one upload request streams exactly its part of the video from disk, however large
// the file is. reset() goes back to the window's start, as a network stack expects when it
// sends a request again.
#include <QFile>
#include <QIODevice>

namespace sendaway {

class FileRangeDevice : public QIODevice {
    Q_OBJECT
public:
    FileRangeDevice(const QString &path, qint64 begin, qint64 end, QObject *parent = nullptr);

    // Opens the file and the window; false when the file cannot be read or is shorter
    // than the window's end.
    bool open(OpenMode mode) override;
    void close() override;
    bool isSequential() const override { return false; }
    qint64 size() const override { return _end - _begin; }
    bool seek(qint64 pos) override;
    bool atEnd() const override;

    qint64 begin() const { return _begin; }
    qint64 end() const { return _end; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QFile _file;
    qint64 _begin;
    qint64 _end;
};

} // namespace sendaway
