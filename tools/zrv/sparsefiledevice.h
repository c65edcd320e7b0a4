#pragma once

#include <QIODevice>

// A read-only file that tells, for each read, whether the bytes it returned lie wholly in a
// hole of a sparse file: it sets its dynamic property "IS_USED" to 0 for such a read (and
// returns zeros without touching the disk) and to 1 otherwise. Read one block per call, so the
// mark speaks for that block. Falls back to "used" where the file system cannot say.
class SparseFileDevice : public QIODevice
{
    Q_OBJECT

public:
    explicit SparseFileDevice(QString path, QObject* parent = nullptr);
    ~SparseFileDevice() override;

    bool open(OpenMode mode) override;
    void close() override;
    qint64 size() const override;
    bool seek(qint64 pos) override;
    bool atEnd() const override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 maxSize) override;

private:
    bool liesInHole(qint64 offset, qint64 length) const;

    QString path_;
    int descriptor_ = -1;
    qint64 size_ = 0;
    qint64 position_ = 0;
};
