#pragma once

#include <QFile>
#include <QIODevice>
#include <QSharedPointer>
#include <QString>
#include <functional>
#include <map>

// The named stream chains the benchmark can run. A chain is built over the input file (not yet
// opened) and returns the top stream, which the benchmark opens read-only and reads to the end
// into the output file. A chain whose result has a verdict (an HMAC trailer, a container's
// validate()) adds a check, asked after the top stream was read to its end.
// A file adds chains with file-scope Registration objects:
//     static const ChainRegistry::Registration gzipCompress("gzip-compress", "what it runs",
//         [](const ChainRegistry::Context& run) { return QSharedPointer<QIODevice>(...); });
class ChainRegistry
{
public:
    struct Context
    {
        QSharedPointer<QFile> input;
        // Chains that keep files of their own beside the output (block maps) find them from here.
        QString outputPath;
        // Workers the chain's streams may use (ZRVBENCH_WORKERS, default 1: the single-threaded path).
        int workers = 1;
    };
    using Builder = std::function<QSharedPointer<QIODevice>(const Context& run)>;
    // Why the top stream's result is not good; empty when it is.
    using Check = std::function<QString(QIODevice& top)>;

    struct Chain
    {
        QString description;
        Builder build;
        Check check;
    };

    class Registration
    {
    public:
        Registration(const char* name, const char* description, Builder build, Check check = {});
    };

    // Chains by name, in name order.
    static const std::map<QString, Chain>& chains();

private:
    static std::map<QString, Chain>& registry();
};
