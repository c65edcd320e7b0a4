#pragma once

#include "tooltest.h"

#include <QMap>

// Runs zrv against an S3 store: the test gateway the CTest fixture started, or the store named by
// ZRV_S3_ENDPOINT and the AWS_* variables (tests/cloud/README.md). Each test has a bucket of its
// own, made and removed with s3cmd, and zrv finds the store through the AWS_* environment.
class S3ToolTest : public ToolTest
{
protected:
    void SetUp() override;
    void TearDown() override;

    // s3://BUCKET/KEY in the test's bucket.
    QString url(const QString& key) const { return QStringLiteral("s3://%1/%2").arg(bucket_, key); }
    // Runs s3cmd with the store's settings; its exit code, -1 when it hung.
    int s3cmd(const QStringList& arguments) const;
    // Stores `bytes` under `key` with s3cmd.
    void put(const QString& key, const QByteArray& bytes) const;
    // The object's bytes as s3cmd reads them; empty when there is none.
    QByteArray get(const QString& key) const;
    // `zrv init` with 4 KiB blocks and cheap key derivation.
    Run initStore(const QString& repository, const QStringList& options = {}) const;

    QMap<QString, QString> settings_;
    QString bucket_;
};
