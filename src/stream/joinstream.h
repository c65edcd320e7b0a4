#pragma once

#include "stream/istreamread.h"
#include "zrvstreams_export.h"

#include <QList>

namespace ZRV::Stream {

// Several devices read one after another as one sequential read-only stream.
// readData returns 0 once every part is at its end; a part whose read fails ends the call with
// ErrorOperation carrying the part's error text. atEnd() is true once every part is at its end
// and the caller has received every byte. Closing the join leaves its parts open.
class ZRVSTREAMS_EXPORT JoinStream : public IStreamRead
{
    Q_OBJECT

public:
    // Null parts are dropped.
    explicit JoinStream(const QList<QSharedPointer<QIODevice>>& streams, QObject* parent = nullptr);

    // Ignores a null device. A part added after open() is not opened by the join.
    void addStream(QSharedPointer<QIODevice> stream);
    // When set, a part found at its end while reading is closed, and reset() is refused.
    bool autoRemove() const;
    void setAutoRemove(bool autoRemove);

    bool isSequential() const override;
    // Only ReadOnly is accepted; opens each part not yet open for reading, and fails at the
    // first part that does not open.
    bool open(OpenMode mode) override;
    qint64 pos() const override;
    // Sum of the parts' sizes (a sequential part may report 0).
    qint64 size() const override;
    bool seek(qint64 pos) override;
    bool atEnd() const override;
    // Rewinds every part; false with auto-remove set or when a part cannot rewind.
    bool reset() override;
    // Waits on the first part not at its end, or else on the last part: a sequential part such as
    // a QProcess reports its end whenever nothing is buffered, and only waiting tells.
    bool waitForReadyRead(int msecs) override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;

private:
    QList<QSharedPointer<QIODevice>> parts_;
    qint64 position_ = 0;
    bool autoRemove_ = false;
};

} // namespace ZRV::Stream
