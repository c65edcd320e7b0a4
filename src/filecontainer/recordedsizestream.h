#pragma once

#include "stream/istreamread.h"

namespace ZRV::Stream::FileContainer {

// Passes its source's bytes through unchanged and holds the source to the size a package records
// in its header: a read that takes the source beyond that size, or one that finds the source
// ended short of it, fails (-1, error string naming both counts). atEnd() is true only once the
// source ended at exactly that size.
class RecordedSizeStream : public IStreamRead
{
    Q_OBJECT

public:
    RecordedSizeStream(QSharedPointer<QIODevice> source, qint64 recordedSize, QObject* parent = nullptr);

    bool isSequential() const override;
    bool atEnd() const override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;

private:
    qint64 fail(const QString& message);

    const qint64 recordedSize_;
    qint64 delivered_ = 0;
};

} // namespace ZRV::Stream::FileContainer
