#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QMap>
#include <QString>
#include <functional>

// Feeds a reader every single-byte change and every truncation of a set of files (a container,
// or a map and its data files) and tallies how each variant was caught. A variant whose data
// reads back exactly as the original was not caught, and needs not be: the byte it changed is
// one that the reader ignores. Any other data that reads back without an error is a failure.
class TamperMatrix
{
public:
    enum Verdict { RefusedAtOpen, ThrownWhileReading, FailedValidation, ReadBack };

    struct Outcome
    {
        Verdict verdict;
        QByteArray data; // what was read, for ReadBack
    };
    // Opens and reads one variant of the files, in the order they were added.
    using Reader = std::function<Outcome(const QList<QByteArray>& files)>;

    TamperMatrix(QString name, Reader reader);

    // Reads a stream to its end; a library exception on the way is the verdict.
    static Outcome readToEnd(QIODevice& stream);

    void addFile(const QString& name, const QByteArray& bytes);
    // Each byte position of each file is tried once per mask (byte XOR mask).
    void run(const QList<quint8>& masks);

    // Prints how the variants were caught and fails the running test for every variant accepted
    // with other data.
    void expectNothingAccepted() const;
    // Variants that read back exactly as the original: bytes the reader ignores.
    int readAsOriginal() const { return readAsOriginal_; }

private:
    void tryVariant(int file, const QByteArray& variant, const QString& description);

    const QString name_;
    const Reader reader_;
    QList<QString> fileNames_;
    QList<QByteArray> files_;
    QByteArray original_;
    int tried_ = 0;
    QMap<Verdict, int> counts_;
    int readAsOriginal_ = 0;
    QStringList accepted_; // variants that read back other data without an error
};
