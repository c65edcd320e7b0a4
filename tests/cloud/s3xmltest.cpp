#include "cloud/s3xml.h"

#include <gtest/gtest.h>

using ZRV::Cloud::S3Xml;

TEST(S3Xml, readsListingPagesAndRefusesDoubtfulOnes)
{
    const QByteArray head =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><ListBucketResult xmlns=\"http://s3.amazonaws.com/doc/2006-03-01/\">"
        "<Name>b</Name><Prefix>p/</Prefix><KeyCount>2</KeyCount>";
    const QByteArray contents =
        "<Contents><Key>p/a &amp; b</Key><LastModified>2026-12-06T08:00:01.250Z</LastModified><ETag>\"e\"</ETag>"
        "<Size>12</Size></Contents><Contents><Key>p/\xc3\xbc</Key><LastModified>x</LastModified><Size>0</Size>"
        "</Contents>";
    const struct
    {
        const char* name;
        QByteArray body;
        bool readable;
        const char* token;
    } rows[] = {
        {"more to come",
         head + contents
             + "<IsTruncated>true</IsTruncated><NextContinuationToken>t/+=</NextContinuationToken></ListBucketResult>",
         true, "t/+="},
        {"last page", head + contents + "<IsTruncated>false</IsTruncated></ListBucketResult>", true, ""},
        {"truncated without a token", head + contents + "<IsTruncated>true</IsTruncated></ListBucketResult>", false,
         ""},
        {"a token on the last page",
         head + contents
             + "<IsTruncated>false</IsTruncated><NextContinuationToken>t</NextContinuationToken></ListBucketResult>",
         false, ""},
        {"entry without a size", head + "<Contents><Key>k</Key></Contents></ListBucketResult>", false, ""},
        {"negative size", head + "<Contents><Key>k</Key><Size>-1</Size></Contents></ListBucketResult>", false, ""},
        {"cut short", head + contents.left(40), false, ""},
        {"an error", "<Error><Code>AccessDenied</Code></Error>", false, ""},
        {"no XML", "garbage", false, ""},
    };
    for (const auto& row : rows) {
        const auto listing = S3Xml::listing(row.body);
        ASSERT_EQ(bool(listing), row.readable) << row.name;
        if (!listing)
            continue;
        ASSERT_EQ(listing->entries.size(), 2);
        EXPECT_EQ(listing->entries[0].path, "p/a & b");
        EXPECT_EQ(listing->entries[0].size, 12);
        EXPECT_EQ(listing->entries[1].path, QString::fromUtf8("p/\xc3\xbc"));
        EXPECT_EQ(listing->entries[1].size, 0);
        EXPECT_EQ(listing->entries[0].modified, QDateTime(QDate(2026, 12, 6), QTime(8, 0, 1, 250), Qt::UTC));
        EXPECT_FALSE(listing->entries[1].modified.isValid()) << "an unreadable time is none";
        EXPECT_EQ(listing->continuationToken, row.token);
    }
}

TEST(S3Xml, readsErrorsAndWritesTheCompletionBody)
{
    const struct
    {
        QByteArray body;
        const char* error;
    } rows[] = {
        {"<?xml version=\"1.0\"?><Error><Code>NoSuchKey</Code><Message>The key &lt;k&gt;</Message><Key>k</Key></Error>",
         "NoSuchKey: The key <k>"},
        {"<Error><Code>NoSuchBucket</Code><BucketName>b</BucketName></Error>", "NoSuchBucket"},
        {"<Error><Message>no code</Message></Error>", ""},
        {"<CompleteMultipartUploadResult><ETag>x</ETag></CompleteMultipartUploadResult>", ""},
        {"<html>500</html>", ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(S3Xml::error(row.body), row.error) << row.body.toStdString();
    EXPECT_EQ(S3Xml::text("<InitiateMultipartUploadResult><Bucket>b</Bucket><UploadId>2~a/b</UploadId>"
                          "</InitiateMultipartUploadResult>",
                          "UploadId"),
              "2~a/b");
    EXPECT_EQ(S3Xml::completeMultipartUpload({"\"a\"", "\"b\""}),
              "<CompleteMultipartUpload><Part><PartNumber>1</PartNumber><ETag>&quot;a&quot;</ETag></Part>"
              "<Part><PartNumber>2</PartNumber><ETag>&quot;b&quot;</ETag></Part></CompleteMultipartUpload>");
}
