#pragma once

#include <QIODevice>
#include <QSharedPointer>
#include <QString>
#include <functional>
#include <map>

// The named stream chains the benchmark can run. A chain is built over the input file (not yet
// opened) and returns the top stream, which the benchmark opens read-only and reads to the end.
// A file adds chains with file-scope Registration objects:
//     static const ChainRegistry::Registration gzipCompress("gzip-compress", "what it runs",
//         [](QSharedPointer<QIODevice> input) { return QSharedPointer<QIODevice>(...); });
class ChainRegistry
{
public:
    using Builder = std::function<QSharedPointer<QIODevice>(QSharedPointer<QIODevice> input)>;

    struct Chain
    {
        QString description;
        Builder build;
    };

    class Registration
    {
    public:
        Registration(const char* name, const char* description, Builder build);
    };

    // Chains by name, in name order.
    static const std::map<QString, Chain>& chains();

private:
    static std::map<QString, Chain>& registry();
};
