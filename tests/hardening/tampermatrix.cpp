#include "hardening/tampermatrix.h"

#include "core/exception/base.h"
#include "support/testbytes.h"

#include <QTextStream>
#include <algorithm>
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
        for (int offset = 0; offset < bytes.size(); ++offset) {
            for (quint8 mask : masks)
                tryVariant(file, flipped(bytes, offset, mask),
                           QString("%1 byte %2 xor 0x%3").arg(fileNames_[file]).arg(offset).arg(mask, 2, 16, QChar('0')),
                           offset);
        }
        for (int length = 0; length < bytes.size(); ++length)
            tryVariant(file, bytes.left(length), QString("%1 cut to %2 bytes").arg(fileNames_[file]).arg(length), -1);
    }
}

void TamperMatrix::tryVariant(int file, const QByteArray& variant, const QString& description, int changedOffset)
{
    QList<QByteArray> variantFiles = files_;
    variantFiles[file] = variant;
    const Outcome outcome = reader_(variantFiles);
    ++tried_;
    ++counts_[outcome.verdict];
    if (outcome.verdict != ReadBack)
        return;
    if (outcome.data != original_) {
        accepted_.append(description);
    } else {
        ++readAsOriginal_;
        if (changedOffset >= 0)
            ignoredOffsets_[fileNames_[file]].append(changedOffset);
    }
}

namespace {

// "3-5, 9" for the sorted offsets 3 4 5 9 (each listed once whatever the number of masks).
QString ranges(QList<int> offsets)
{
    std::sort(offsets.begin(), offsets.end());
    offsets.erase(std::unique(offsets.begin(), offsets.end()), offsets.end());
    QStringList parts;
    for (int i = 0; i < offsets.size();) {
        int j = i;
        while (j + 1 < offsets.size() && offsets[j + 1] == offsets[j] + 1)
            ++j;
        parts.append(i == j ? QString::number(offsets[i]) : QString("%1-%2").arg(offsets[i]).arg(offsets[j]));
        i = j + 1;
    }
    return parts.join(", ");
}

} // namespace

QString TamperMatrix::report() const
{
    QString text;
    QTextStream out(&text);
    out << name_ << ": " << tried_ << " variants tried; refused at open " << counts_.value(RefusedAtOpen)
        << ", thrown while reading " << counts_.value(ThrownWhileReading) << ", validate() false "
        << counts_.value(FailedValidation) << ", read back as the original " << readAsOriginal_
        << ", changed data accepted " << accepted_.size() << "\n";
    for (auto it = ignoredOffsets_.cbegin(); it != ignoredOffsets_.cend(); ++it)
        out << "  ignored bytes of " << it.key() << ": " << ranges(it.value()) << "\n";
    return text;
}

void TamperMatrix::expectNothingAccepted() const
{
    std::cout << qPrintable(report());
    EXPECT_GT(tried_, 0);
    EXPECT_TRUE(accepted_.isEmpty()) << qPrintable(accepted_.join("\n"));
}
