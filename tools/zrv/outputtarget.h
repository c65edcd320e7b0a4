#pragma once

#include <QFile>
#include <QSaveFile>
#include <memory>

// Where a command writes its result: a file, written under a temporary name beside it and put
// in place only by commit(), or standard output ("-"), which streams as it goes. A file target
// destroyed without commit() leaves nothing behind.
class OutputTarget
{
public:
    explicit OutputTarget(const QString& path);

    QIODevice& device();
    // Throws ToolError when the data cannot be put in place.
    void commit();

private:
    QString path_;
    std::unique_ptr<QSaveFile> file_;
    std::unique_ptr<QFile> standardOutput_;
};
