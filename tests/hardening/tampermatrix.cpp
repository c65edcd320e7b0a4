#include "hardening/tampermatrix.h"

#include "core/exception/base.h"
#include "support/testbytes.h"

#include <gtest/gtest.h>
#include <iostream>
#include <stdexcept>

TamperMatrix::TamperMatrix(QString name, Reader reader)
    : name_(std::move(name))
    , reader_(std::move(reader))
{
}

TamperMatrix::Outcome TamperMatrix::readToEnd(QIODevice& stream)
{
    try {
        return {ReadBack, readUntilAtEnd(stream, 4096)};
    } catch (const ZRV::Exception::Base&) {
        return {ThrownWhileReading, {}};
    }
}

void TamperMatrix::addFile(const QString& name, const QByteArray& bytes)
{
    fileNames_.append(name);
    files_.append(bytes);
}

void TamperMatrix::run(const QList<quint8>& masks)
{
    const Outcome clean = reader_(files_);
    if (clean.verdict != ReadBack)
        throw std::runtime_error(qPrintable(name_ + ": the untouched files do not read back"));
    original_ = clean.data;

    for (int file = 0; file < files_.size(); ++file) {
        const QByteArray& bytes = files_[file];
        for (int offset = 0; offset < bytes.size(); ++offset)
            for (quint8 mask : masks)
                tryVariant(
                    file, flipped(bytes, offset, mask),
                    QString("%1 byte %2 xor 0x%3").arg(fileNames_[file]).arg(offset).arg(mask, 2, 16, QChar('0')));
        for (int length = 0; length < bytes.size(); ++length)
            tryVariant(file, bytes.left(length), QString("%1 cut to %2 bytes").arg(fileNames_[file]).arg(length));
    }
}

void TamperMatrix::tryVariant(int file, const QByteArray& variant, const QString& description)
{
    QList<QByteArray> variantFiles = files_;
    variantFiles[file] = variant;
    const Outcome outcome = reader_(variantFiles);
    ++tried_;
    ++counts_[outcome.verdict];
    if (outcome.verdict != ReadBack)
        return;
    if (outcome.data != original_)
        accepted_.append(description);
    else
        ++readAsOriginal_;
}

void TamperMatrix::expectNothingAccepted() const
{
    std::cout << qPrintable(name_) << ": " << tried_ << " variants tried; refused at open "
              << counts_.value(RefusedAtOpen) << ", thrown while reading " << counts_.value(ThrownWhileReading)
              << ", validate() false " << counts_.value(FailedValidation) << ", read back as the original "
              << readAsOriginal_ << ", changed data accepted " << accepted_.size() << "\n";
    EXPECT_GT(tried_, 0);
    EXPECT_TRUE(accepted_.isEmpty()) << qPrintable(accepted_.join("\n"));
}
