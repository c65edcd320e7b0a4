#pragma once

#include <QIODevice>
#include <QSharedPointer>

// A container to read, from a file or a pipe: its version, known from its first bytes, and a
// device that yields the whole container from its first byte. Pipes cannot be rewound, so the
// bytes looked at are kept and put back in front of the rest.
class ContainerInput
{
public:
    // What the header says.
    struct Summary
    {
        int version = 0;
        bool compressed = false;
        int cipher = 6; // the library's algorithm number; 6 is none
        int kdfIterations = 0;
        unsigned long long dataSize = 0;
        int headerSize = 0;
    };

    // Throws ToolError when the input cannot be opened or is no container.
    explicit ContainerInput(const QString& path);

    int version() const { return summary_.version; }
    const Summary& summary() const { return summary_; }
    bool encrypted() const { return summary_.cipher != 6; }
    // Only an encrypted version 2 container carries a header tag and an HMAC trailer.
    bool authenticated() const { return summary_.version == 2 && encrypted(); }
    QSharedPointer<QIODevice> device() const { return device_; }

private:
    Summary summary_;
    QSharedPointer<QIODevice> device_;
};
